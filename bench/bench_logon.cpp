// The whole log-on on a large site, against merely reading every row that the
// log-on reads, in the same run.
//
// Site: 2,000 journals (5 top-level, 4 levels), 20,000 CONFORMS rows with
// rights, 30 references of 1,000 rows, 100,000 equipment items in 6 levels.
// SQLite always; PostgreSQL when LOGDESK_TEST_PG holds connection words.
//
//   build/bench/bench_logon --benchmark_counters_tabular=true

#include "DMUnit.h"
#include "Error.h"
#include "JConnection.h"
#include "MagCommon.h"
#include "Messages.h"
#include "SHA.h"
#include "Schema.h"

#include <QApplication>
#include <QFile>
#include <QMap>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QUuid>
#include <benchmark/benchmark.h>

using namespace platform;

namespace
{

struct Site {
    ServerKind kind;
    QString address;
    QString database; // what the dialog's "Имя базы данных" holds
};

QMap<QString, QString> pgWords()
{
    QMap<QString, QString> words;
    for (const QString& w : qEnvironmentVariable("LOGDESK_TEST_PG").split(u' ', Qt::SkipEmptyParts))
        if (w.contains(u'='))
            words.insert(w.section(u'=', 0, 0), w.section(u'=', 1));
    return words;
}

// Inserts rows with one prepared statement.
void insertRows(Server& s, const QString& table, int columns,
                const std::function<QVariantList(int)>& row, int count)
{
    QStringList marks;
    for (int i = 0; i < columns; ++i)
        marks.append("?");
    QSqlQuery q(s.database());
    q.prepare("INSERT INTO " + table + " VALUES (" + marks.join(',') + ")");
    for (int i = 0; i < count; ++i) {
        for (const QVariant& v : row(i))
            q.addBindValue(v);
        if (!q.exec())
            throw Error("insert into " + table + " failed");
    }
}

void fillSite(Server& s)
{
    Transaction t(s);
    database::CreateSystemTables(s);
    s.execute("INSERT INTO PERSONS (UID, FIO, PWDHASH, GID) VALUES (1, 'Оператор', '" +
              signature::Sha1Hex("bench") + "', 2)");
    // Journals: 5 top-level, each with 7 groups, each with 7 sub-groups, each
    // with 7 journals: 5 * (1 + 7 + 49 + 343) = 2,000.
    QStringList paths, names;
    for (int a = 0; a < 5; ++a) {
        const QString pa = QString("J%1`").arg(a), na = QString("Журнал %1`").arg(a);
        paths << pa;
        names << na;
        for (int b = 0; b < 7; ++b) {
            const QString pb = pa + QString("G%1`").arg(b), nb = na + QString("Группа %1`").arg(b);
            paths << pb;
            names << nb;
            for (int c = 0; c < 7; ++c) {
                const QString pc = pb + QString("S%1`").arg(c),
                              nc = nb + QString("Раздел %1`").arg(c);
                paths << pc;
                names << nc;
                for (int d = 0; d < 7; ++d) {
                    paths << pc + QString("L%1`").arg(d);
                    names << nc + QString("Лист %1`").arg(d);
                }
            }
        }
    }
    insertRows(
        s, "MAGS", 5,
        [&](int i) {
            const QString desc = names[i].section(u'`', -2, -2);
            return QVariantList{paths[i], desc, names[i],
                                paths[i].count(u'`') == 1 ? QVariant("EXT") : QVariant(),
                                QVariant()};
        },
        int(paths.size()));
    // 10 rights rows per journal.
    insertRows(
        s, "CONFORMS", 5,
        [&](int i) {
            const int j = i / 10, f = i % 10;
            const QString field = f == 0 ? QString("ALL") : QString("F%1").arg(f);
            return QVariantList{paths[j], field, QString("Поле %1").arg(f),
                                f < 4 ? QVariant(QString("REF%1 (Справочник)").arg(f)) : QVariant(),
                                QString("U1=r,w(1>2|3;2>3)\r\nG2=r,w,c\r\nALL=r")};
        },
        20000);
    for (int r = 0; r < 30; ++r) {
        const QString table = QString("REF%1").arg(r);
        s.execute(database::ReferenceTableStatement(table));
        s.execute(QString("INSERT INTO REFS (NAME, REFERENCETABLE) VALUES ('Справочник %1', '%2')")
                      .arg(r)
                      .arg(table));
        insertRows(
            s, table, 2,
            [&](int i) {
                return QVariantList{i + 1, QString("Значение %1 справочника").arg(i + 1)};
            },
            1000);
    }
    // Equipment: 6 levels of 5, 5, 5, 8, 10 and 9 children, cut at 100,000.
    int n = 0;
    QSqlQuery q(s.database());
    q.prepare("INSERT INTO EQUIPMENT VALUES (?, ?, ?, ?)");
    std::function<void(const QString&, const QString&, int)> level =
        [&](const QString& path, const QString& full, int depth) {
            static const int fan[] = {5, 5, 5, 8, 10, 9};
            if (depth == 6)
                return;
            for (int i = 0; i < fan[depth] && n < 100000; ++i) {
                const QString p = path + QString("E%1`").arg(i);
                const QString name = QString("Оборудование %1.%2").arg(depth).arg(i);
                const QString f = full + name + u'`';
                q.addBindValue(p);
                q.addBindValue(name);
                q.addBindValue(QString("C%1").arg(n));
                q.addBindValue(f);
                if (!q.exec())
                    throw Error("insert into EQUIPMENT failed");
                ++n;
                level(p, f, depth + 1);
            }
        };
    level(QString(), QString(), 0);
    t.commit();
}

struct Sites {
    QTemporaryDir dir;
    std::vector<std::pair<std::string, Site>> list;
    std::unique_ptr<Server> pgAdmin;
    QString pgDatabase;
    Sites()
    {
        Site lite{ServerKind::BDE, QString(), dir.filePath("site.db")};
        Server s(ServerKind::BDE);
        s.setDatabaseName(lite.database);
        s.setCreateIfMissing(true);
        s.open();
        fillSite(s);
        list.push_back({"SQLite", lite});
        const auto w = pgWords();
        if (!w.isEmpty()) {
            pgAdmin = std::make_unique<Server>(ServerKind::TCP);
            pgAdmin->setAddress(w.value("host") + ":" + w.value("port"));
            pgAdmin->setDatabaseName("postgres");
            pgAdmin->setUserName(w.value("user"));
            pgAdmin->setPassword(w.value("password"));
            pgAdmin->open();
            pgDatabase = "bench_" + QUuid::createUuid().toString(QUuid::Id128).left(12);
            pgAdmin->execute("CREATE DATABASE " + pgDatabase +
                             " TEMPLATE template0 ENCODING 'UTF8'");
            Server p(ServerKind::TCP);
            p.setAddress(w.value("host") + ":" + w.value("port"));
            p.setDatabaseName(pgDatabase);
            p.setUserName(w.value("user"));
            p.setPassword(w.value("password"));
            p.open();
            fillSite(p);
            list.push_back({"PostgreSQL", Site{ServerKind::TCP, p.address(),
                                               pgDatabase + ":" + w.value("user")}});
        }
    }
    ~Sites()
    {
        if (pgAdmin)
            pgAdmin->execute("DROP DATABASE IF EXISTS " + pgDatabase + " WITH (FORCE)");
    }
};

std::unique_ptr<Sites>& sitesHolder()
{
    static std::unique_ptr<Sites> s;
    return s;
}

Sites& sites()
{
    if (!sitesHolder())
        sitesHolder() = std::make_unique<Sites>();
    return *sitesHolder();
}

QString switchOf(const Site& site)
{
    return site.kind == ServerKind::BDE ? "x /BDE" : "x /RDA";
}

void logOnOnce(const Site& site, bool withCacheFile, benchmark::State& state)
{
    state.PauseTiming();
    database::TDM dm(switchOf(site));
    dm.Timer1->stop();
    startup::HeadlessLogOnView view;
    dm.currentServer()->setDatabaseName(site.database.section(u':', 0, 0));
    const QString cache = catalogue::EquipmentCachePath(dm);
    if (!withCacheFile)
        QFile::remove(cache);
    database::LogOn().ReferencesLoaded = false;
    state.ResumeTiming();
    startup::ConnectAndLogOn(dm, view, site.address, site.database, "1", "bench");
    state.PauseTiming();
    if (!dm.currentServer()->connected() || view.equipmentTree().count() < 100000)
        state.SkipWithError("log-on failed");
    startup::Disconnect(dm, view);
    state.ResumeTiming();
}

// Reads every row that the log-on reads, touching each value, nothing more.
void rawReadOnce(const Site& site, bool withCacheFile)
{
    Server s(site.kind);
    s.setAddress(site.address);
    s.setDatabaseName(site.database.section(u':', 0, 0));
    const QString user = site.database.section(u':', 1);
    s.setUserName(user.isEmpty() ? "logdesk" : user);
    s.setPassword("bench");
    s.open();
    QStringList statements = {"select * from PERSONS", "SELECT * FROM refs",
                              "SELECT * FROM CONFORMS",
                              "SELECT * from mags order by FULLDESCRIPTION"};
    for (int r = 0; r < 30; ++r)
        statements.append(QString("Select * from  REF%1 order by aCode").arg(r));
    if (withCacheFile) {
        statements.append("Select count(FULLPATH) as C from Equipment");
    } else {
        statements.append(
            "Select FULLPATH, DESCRIPTION, CODE, FULLDESCRIPTION from Equipment order by FULLPATH");
    }
    qint64 touched = 0;
    for (const QString& text : statements) {
        QSqlQuery q = s.execute(text);
        const int columns = q.record().count();
        while (q.next())
            for (int c = 0; c < columns; ++c)
                touched += q.value(c).isValid();
    }
    if (withCacheFile) {
        database::TDM dm(switchOf(site));
        dm.currentServer()->setDatabaseName(s.databaseName());
        QFile f(catalogue::EquipmentCachePath(dm));
        if (f.open(QIODevice::ReadOnly))
            touched += f.readAll().size();
    }
    benchmark::DoNotOptimize(touched);
}

void BM_LogOn(benchmark::State& state, size_t siteIndex, bool withCacheFile)
{
    const Site& site = sites().list.at(siteIndex).second;
    if (withCacheFile) { // make sure the file exists and is current
        database::TDM dm(switchOf(site));
        startup::HeadlessLogOnView view;
        startup::ConnectAndLogOn(dm, view, site.address, site.database, "1", "bench");
        startup::Disconnect(dm, view);
    }
    for (auto _ : state)
        logOnOnce(site, withCacheFile, state);
}

void BM_RawRead(benchmark::State& state, size_t siteIndex, bool withCacheFile)
{
    const Site& site = sites().list.at(siteIndex).second;
    for (auto _ : state)
        rawReadOnce(site, withCacheFile);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    SetMessageHandler([](const Message& m) {
        fprintf(stderr, "message: %s\n", m.text.toUtf8().constData());
        return MsgAnswer::Ok;
    });
    benchmark::Initialize(&argc, argv);
    for (size_t i = 0; i < sites().list.size(); ++i) {
        const std::string name = sites().list[i].first;
        for (bool cache : {false, true}) {
            const std::string suffix = name + (cache ? "/cache_present" : "/cache_absent");
            benchmark::RegisterBenchmark(("LogOn/" + suffix).c_str(), BM_LogOn, i, cache)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(3);
            benchmark::RegisterBenchmark(("RawRead/" + suffix).c_str(), BM_RawRead, i, cache)
                ->Unit(benchmark::kMillisecond)
                ->Iterations(3);
        }
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    sitesHolder().reset(); // while the database drivers are still there
    return 0;
}

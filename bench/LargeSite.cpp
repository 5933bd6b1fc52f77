#include "LargeSite.h"

#include "Error.h"
#include "Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRandomGenerator>

using namespace platform;

namespace bench
{

namespace
{

constexpr int kRowsPerInsert = 200;
constexpr quint32 kSeed = 4711;
const char* const kReferences[] = {"REF_A", "REF_B", "REF_C"};
constexpr int kCodesPerReference = 40;
// Equipment: this many children per node, level by level.
constexpr int kFanOut = 10;

// Inserts rows in multi-row statements of bound values.
class BatchInsert
{
public:
    BatchInsert(Server& server, const QString& table, const QStringList& columns)
        : m_server(server),
          m_head("INSERT INTO " + table + " (" + columns.join(u',') + ") VALUES "),
          m_columns(int(columns.size()))
    {
    }
    void row(const QVariantList& values)
    {
        m_values += values;
        if (++m_rows == kRowsPerInsert)
            flush();
    }
    void flush()
    {
        if (m_rows == 0)
            return;
        QString marks = "(" + QString("?,").repeated(m_columns);
        marks.chop(1);
        marks += ")";
        QStringList all;
        for (int i = 0; i < m_rows; ++i)
            all.append(marks);
        m_server.execute(m_head + all.join(u','), m_values);
        m_values.clear();
        m_rows = 0;
    }

private:
    Server& m_server;
    QString m_head;
    int m_columns;
    QVariantList m_values;
    int m_rows = 0;
};

QStringList buildEquipment(Server& server, int count, QRandomGenerator& rng)
{
    QStringList paths;
    paths.reserve(count);
    BatchInsert insert(server, "EQUIPMENT", {"FULLPATH", "DESCRIPTION", "CODE", "FULLDESCRIPTION"});
    struct Node {
        QString path, fullDescription;
    };
    std::vector<Node> level{{QString(), QString()}};
    while (paths.size() < count) {
        std::vector<Node> next;
        for (const Node& parent : level) {
            for (int c = 0; c < kFanOut && paths.size() < count; ++c) {
                const QString name = QString("Узел %1").arg(c + 1);
                Node n{parent.path + QString("N%1`").arg(c + 1),
                       parent.fullDescription + name + u'`'};
                const QVariant code =
                    rng.bounded(3u) == 0 ? QVariant() : QVariant(QString("C-%1").arg(paths.size()));
                insert.row({n.path, name, code, n.fullDescription});
                paths.append(n.path);
                next.push_back(std::move(n));
            }
            if (paths.size() >= count)
                break;
        }
        level = std::move(next);
    }
    insert.flush();
    return paths;
}

} // namespace

void BuildLargeSite(Server& server, const LargeSiteSize& size)
{
    const bool pg = server.dialect() == SqlDialect::PostgreSQL;
    QRandomGenerator rng(kSeed);
    Transaction transaction(server);
    database::CreateSystemTables(server);
    server.execute("INSERT INTO PERSONS (UID, FIO, PWDHASH) VALUES (1, 'Оператор', NULL)");
    for (const char* path : {"BIG`", "BIG`A`", "BIG`B`"})
        server.execute("INSERT INTO MAGS (FULLPATH, DESCRIPTION, FULLDESCRIPTION, EXTTABLE) VALUES "
                       "(?, ?, ?, ?)",
                       {QString(path), QString("Журнал ") + path, QString("Журнал ") + path,
                        QString(path) == "BIG`" ? QVariant(QString(kLargeExtTable)) : QVariant()});
    server.execute(database::ExtensionTableStatement(kLargeExtTable));
    const QString dbl = pg ? "double precision" : "double";
    for (const QString& column :
         {QString("R1 integer"), QString("R2 integer"), QString("R3 integer"),
          QString("N1 integer"), QString("N2 integer"), "AMOUNT " + dbl,
          QString("NOTE varchar(100)"), QString("CHECKED timestamp"), QString("DETAILS text")})
        server.execute(QString("ALTER TABLE ") + kLargeExtTable + " ADD " + column);
    // A site keeps the extension table's record number indexed; the join and
    // the save find their row by it.
    server.execute(QString("CREATE INDEX EXT_BIG_RECID ON ") + kLargeExtTable + " (RECID)");

    int refIndex = 0;
    for (const char* table : kReferences) {
        server.execute(database::ReferenceTableStatement(table));
        server.execute("INSERT INTO REFS (NAME, REFERENCETABLE) VALUES (?, ?)",
                       {QString("Справочник ") + table, QString(table)});
        BatchInsert codes(server, table, {"aCode", "aValue"});
        for (int c = 1; c <= kCodesPerReference; ++c)
            codes.row({c, QString("Значение %1 %2").arg(table).arg(c)});
        codes.flush();
        server.execute(
            "INSERT INTO CONFORMS (FULLPATH, FIELDNAME, RUSNAME, REFNAME) VALUES ('BIG`', ?, ?, ?)",
            {QString("R%1").arg(++refIndex), QString("Поле %1").arg(refIndex),
             QString(table) + " (Справочник)"});
    }
    server.execute("INSERT INTO CONFORMS (FULLPATH, FIELDNAME, RUSNAME, REFNAME) VALUES "
                   "('BIG`', 'OBJECT', 'Объект', 'Equipment (Оборудование)')");

    const QStringList equipment = buildEquipment(server, size.equipment, rng);
    const QDateTime start(QDate(2025, 1, 1), QTime(0, 0));
    {
        BatchInsert core(server, "CORETABLE",
                         {"RECID", "FULLPATH", "DATECREATE", "DATE1", "DATE2", "OBJECT", "COMMENT",
                          "NUM", "STATE"});
        BatchInsert ext(
            server, kLargeExtTable,
            {"RECID", "R1", "R2", "R3", "N1", "N2", "AMOUNT", "NOTE", "CHECKED", "DETAILS"});
        for (int id = 1; id <= size.records; ++id) {
            const QDateTime d1 = start.addSecs(qint64(id) * 150);
            core.row({id,
                      id % 3 == 0   ? "BIG`"
                      : id % 3 == 1 ? "BIG`A`"
                                    : "BIG`B`",
                      d1, d1, d1.addSecs(3600),
                      equipment[int(rng.bounded(quint32(equipment.size())))],
                      QString("Запись номер %1").arg(id), id, int(rng.bounded(4u))});
            auto code = [&] { return int(1 + rng.bounded(quint32(kCodesPerReference))); };
            ext.row({id, code(), code(), code(), int(rng.bounded(1000u)), int(rng.bounded(1000u)),
                     double(rng.bounded(100000u)) / 100.0, QString("Примечание %1").arg(id % 97),
                     d1.addDays(1),
                     QString("Подробности записи %1: осмотр, замеры, выводы.").arg(id)});
        }
        core.flush();
        ext.flush();
    }
    transaction.commit();
}

bool LargeSitePostgresAvailable()
{
    return !qEnvironmentVariable("LOGDESK_TEST_PG").isEmpty();
}

void ConfigureLargeSite(Server& server, const LargeSiteSize& size)
{
    const QString name = QString("ld_bench_%1_%2").arg(size.records).arg(size.equipment);
    if (server.kind() == ServerKind::BDE) {
        const QString file = QDir::temp().filePath(name + ".db");
        server.setDatabaseName(file);
        if (QFileInfo::exists(file))
            return;
        const QString building = file + ".building";
        QFile::remove(building);
        {
            Server builder(ServerKind::BDE);
            builder.setDatabaseName(building);
            builder.setCreateIfMissing(true);
            builder.open();
            BuildLargeSite(builder, size);
        }
        QFile::rename(building, file);
        return;
    }
    QMap<QString, QString> words;
    for (const QString& w : qEnvironmentVariable("LOGDESK_TEST_PG").split(u' ', Qt::SkipEmptyParts))
        if (const qsizetype eq = w.indexOf(u'='); eq > 0)
            words.insert(w.left(eq), w.mid(eq + 1));
    const QString address = words.value("host", "127.0.0.1") + ":" + words.value("port", "5432");
    auto configure = [&](Server& s, const QString& database) {
        s.setAddress(address);
        s.setDatabaseName(database);
        s.setUserName(words.value("user", "logdesk"));
        s.setPassword(words.value("password"));
    };
    configure(server, name);
    Server admin(ServerKind::TCP);
    configure(admin, "postgres");
    admin.open();
    QSqlQuery exists = admin.execute("SELECT 1 FROM pg_database WHERE datname=?", {name});
    if (exists.next())
        return;
    const QString building = name + "_building";
    admin.execute("DROP DATABASE IF EXISTS " + building);
    admin.execute("CREATE DATABASE " + building + " ENCODING 'UTF8' TEMPLATE template0");
    {
        Server builder(ServerKind::TCP);
        configure(builder, building);
        builder.open();
        BuildLargeSite(builder, size);
        builder.execute("ANALYZE");
    }
    admin.execute("ALTER DATABASE " + building + " RENAME TO " + name);
}

} // namespace bench

#include "TestDatabase.h"

#include "Error.h"

#include <QMap>
#include <QUuid>

using namespace platform;

namespace
{

QMap<QString, QString> pgWords()
{
    QMap<QString, QString> words;
    for (const QString& w :
         qEnvironmentVariable("LOGDESK_TEST_PG").split(u' ', Qt::SkipEmptyParts)) {
        const qsizetype eq = w.indexOf(u'=');
        if (eq > 0)
            words.insert(w.left(eq), w.mid(eq + 1));
    }
    return words;
}

// The maintenance connection that creates and drops the test databases.
std::unique_ptr<Server> pgAdmin(const QMap<QString, QString>& w)
{
    auto s = std::make_unique<Server>(ServerKind::TCP);
    s->setAddress(w.value("host", "127.0.0.1") + ":" + w.value("port", "5432"));
    s->setDatabaseName(w.value("dbname", "postgres"));
    s->setUserName(w.value("user", "logdesk"));
    s->setPassword(w.value("password"));
    s->open();
    return s;
}

} // namespace

std::vector<Backend> AvailableBackends()
{
    std::vector<Backend> b{Backend::SQLite};
    if (!qEnvironmentVariable("LOGDESK_TEST_PG").isEmpty())
        b.push_back(Backend::PostgreSQL);
    return b;
}

std::string BackendName(const testing::TestParamInfo<Backend>& info)
{
    return info.param == Backend::SQLite ? "SQLite" : "PostgreSQL";
}

TestDatabase::TestDatabase(Backend backend) : m_backend(backend)
{
    if (backend == Backend::SQLite) {
        m_databaseName = m_dir.filePath("test.db");
        // An empty file is an empty database.
        QFile f(m_databaseName);
        if (!f.open(QIODevice::WriteOnly))
            throw Error("cannot create " + m_databaseName);
        return;
    }
    const auto w = pgWords();
    m_address = w.value("host", "127.0.0.1") + ":" + w.value("port", "5432");
    m_user = w.value("user", "logdesk");
    m_password = w.value("password");
    m_databaseName = "ld_" + QUuid::createUuid().toString(QUuid::Id128).left(20);
    pgAdmin(w)->execute("CREATE DATABASE " + m_databaseName +
                        " ENCODING 'UTF8' TEMPLATE template0");
}

TestDatabase::~TestDatabase()
{
    if (m_backend != Backend::PostgreSQL)
        return;
    try {
        pgAdmin(pgWords())->execute("DROP DATABASE IF EXISTS " + m_databaseName + " WITH (FORCE)");
    } catch (const std::exception& e) {
        ADD_FAILURE() << "cannot drop test database: " << e.what();
    }
}

ServerKind TestDatabase::kind() const
{
    return m_backend == Backend::SQLite ? ServerKind::BDE : ServerKind::TCP;
}

void TestDatabase::configure(Server& server) const
{
    server.setDatabaseName(m_databaseName);
    server.setAddress(m_address);
    server.setUserName(m_user);
    server.setPassword(m_password);
}

std::unique_ptr<Server> TestDatabase::connect() const
{
    auto s = std::make_unique<Server>(kind());
    configure(*s);
    s->open();
    return s;
}

QStringList TestDatabase::ctlOptions() const
{
    if (m_backend == Backend::SQLite)
        return {"--bde", "--database", m_databaseName};
    return {"--rda", "--address", m_address, "--database", m_databaseName + ":" + m_user};
}

void BackendTest::SetUp()
{
    db = std::make_unique<TestDatabase>(GetParam());
    server = db->connect();
}

void BackendTest::TearDown()
{
    server.reset();
    db.reset();
}

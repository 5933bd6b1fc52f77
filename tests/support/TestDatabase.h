#pragma once
// A fresh, empty database for one test: a temporary SQLite file always, and a
// throwaway PostgreSQL database when LOGDESK_TEST_PG holds connection words
// ("host=... port=... user=... password=..."). Tests that touch SQL run on
// every backend through BackendTest.

#include "Server.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

enum class Backend { SQLite, PostgreSQL };

std::vector<Backend> AvailableBackends();
std::string BackendName(const testing::TestParamInfo<Backend>& info);

class TestDatabase
{
public:
    explicit TestDatabase(Backend backend);
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    Backend backend() const { return m_backend; }
    platform::ServerKind kind() const;
    // What a user types in the connection dialog for this database.
    QString address() const { return m_address; }
    QString databaseName() const { return m_databaseName; }
    QString dbUser() const { return m_user; }
    QString dbPassword() const { return m_password; }
    // logdeskctl connection options for this database.
    QStringList ctlOptions() const;

    // A connected server on the database.
    std::unique_ptr<platform::Server> connect() const;
    // Sets a server's connection settings for the database (not opened).
    void configure(platform::Server& server) const;

private:
    Backend m_backend;
    QTemporaryDir m_dir;
    QString m_address;
    QString m_databaseName;
    QString m_user;
    QString m_password;
};

// A test run once per available backend, with a fresh database and server.
class BackendTest : public testing::TestWithParam<Backend>
{
protected:
    void SetUp() override;
    void TearDown() override;
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<platform::Server> server;
};

#define INSTANTIATE_BACKENDS(Suite)                                                                \
    INSTANTIATE_TEST_SUITE_P(Backends, Suite, testing::ValuesIn(AvailableBackends()), BackendName)

#pragma once
// A database server: the one SQL connection that every dataset runs through.
//
//   ADO  ODBC (QODBC): the database name is a data source name or a whole
//        "DRIVER=...;..." connection string
//   BDE  the embedded engine (QSQLITE): the database name is the file
//   TCP  PostgreSQL over TCP (QPSQL): address "host" or "host:port"
//
// Settings changed while connected take effect at the next open.

#include "Field.h"

#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <vector>

namespace platform
{

enum class ServerKind { ADO, BDE, TCP };
enum class SqlDialect { SQLite, PostgreSQL, Other };

class Server : public QObject
{
    Q_OBJECT
public:
    explicit Server(ServerKind kind, QObject* parent = nullptr);
    ~Server() override;

    ServerKind kind() const { return m_kind; }
    QString databaseName() const { return m_databaseName; }
    void setDatabaseName(const QString& name);
    QString userName() const { return m_userName; }
    void setUserName(const QString& name);
    QString password() const { return m_password; }
    void setPassword(const QString& password);
    QString address() const { return m_address; }
    void setAddress(const QString& address);
    QString applicationName() const { return m_applicationName; }
    void setApplicationName(const QString& name);
    // Embedded engine only: create the database file when it does not exist
    // (for the tools that make databases). Otherwise a missing file fails.
    void setCreateIfMissing(bool on) { m_createIfMissing = on; }

    // Opens the connection; raises with the server's text when it fails.
    void open();
    void close();
    bool connected() const { return m_connected; }
    // Sends a trivial statement. On failure the server is marked not
    // connected and false is returned; nothing is reported.
    bool keepAlive();

    SqlDialect dialect() const { return m_dialect; }
    QSqlDatabase database() const;

    // Runs a statement whose "?" marks take values in order. Raises with the
    // server's text when it fails. Date-times are bound in the fixed text form
    // on the embedded engine and PostgreSQL, so they compare as moments.
    QSqlQuery execute(const QString& text, const QVariantList& values = {});
    // The columns of an executed query, names in upper case; a name that
    // occurs twice gets "_1", "_2", ... appended.
    std::vector<FieldDef> describeColumns(QSqlQuery& query) const;
    // Key columns of a table for updates: its primary key, upper case.
    QStringList primaryKey(const QString& table) const;

    // Transactions; nested calls count and only the outermost one commits.
    void beginTransaction();
    void commit();
    void rollback();
    bool inTransaction() const { return m_transactionDepth > 0; }

private:
    QVariant bindable(const QVariant& v) const;
    void checkConnected() const;

    ServerKind m_kind;
    QString m_connectionName;
    QString m_databaseName;
    QString m_userName;
    QString m_password;
    QString m_address = QStringLiteral("127.0.0.1");
    QString m_applicationName;
    bool m_createIfMissing = false;
    bool m_connected = false;
    SqlDialect m_dialect = SqlDialect::Other;
    int m_transactionDepth = 0;
};

// Transaction guard: rolls back unless commit() was called.
class Transaction
{
public:
    explicit Transaction(Server& server) : m_server(server) { m_server.beginTransaction(); }
    ~Transaction()
    {
        if (!m_done)
            try {
                m_server.rollback();
            } catch (...) {
            }
    }
    void commit()
    {
        m_server.commit();
        m_done = true;
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    Server& m_server;
    bool m_done = false;
};

} // namespace platform

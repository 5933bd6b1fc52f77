#pragma once
// Query: a dataset filled by a SELECT on a server, or a statement run with
// execSql. Parameters are written ":NAME" in the text and set by name; values
// composed with SqlStatement travel as bound values too. With ReadOnly off and
// automatic update on, each Post and Delete of a query over one table is
// written back to it (an appended row as an insert, an edited row as an update
// of the row read). The whole result is fetched at Open.
//
// Table: a query over one whole table, by name.

#include "DataSet.h"
#include "SqlStatement.h"

#include <QStringList>
#include <QVariantMap>

namespace platform
{

class Server;

class Query : public DataSet
{
    Q_OBJECT
public:
    explicit Query(QObject* parent = nullptr);

    Server* server() const { return m_server; }
    void setServer(Server* server) { m_server = server; }

    // The statement text, as lines.
    QString sqlText() const;
    void setSql(const SqlStatement& statement);
    void setSql(const QString& text) { setSql(SqlStatement(text)); }
    void setSql(const char* text) { setSql(SqlStatement(text)); }
    void addSqlLine(const QString& line);
    void clearSql();

    // Parameters by name (without the colon); letter case is ignored.
    void setParam(const QString& name, const QVariant& value);
    void clearParams() { m_params.clear(); }
    const QVariantMap& params() const { return m_params; }

    // Runs the statement without a result. Raises when the server rejects it.
    void execSql();
    // Closes and opens again, keeping the position where possible.
    void refresh();

    // With automatic update off, edits stay in memory (the updatable memory
    // dataset). On by default.
    bool autoUpdate() const { return m_autoUpdate; }
    void setAutoUpdate(bool on) { m_autoUpdate = on; }
    // Text placed before a server error raised by Open.
    void setOpenErrorPrefix(const QString& prefix) { m_openErrorPrefix = prefix; }

    // The table that Post writes to, or empty when the statement is not a
    // query over exactly one table.
    QString updateTable() const;

protected:
    void doOpen() override;
    void writeBack(const Row& old, const Row& row) override;
    void writeDelete(const Row& row) override;
    // The statement that Open runs.
    virtual SqlStatement selectStatement() const;

private:
    // Text with every ":NAME" turned into "?" and the values in order.
    void resolveParameters(const SqlStatement& s, QString& text, QVariantList& values) const;
    void keyCondition(const Row& old, SqlStatement& s);
    Server* requireServer() const;
    QString requireUpdateTable() const;

    Server* m_server = nullptr;
    SqlStatement m_sql;
    QVariantMap m_params; // upper-case names
    bool m_autoUpdate = true;
    QString m_openErrorPrefix;
    QStringList m_keyColumns; // found at the first write
    QString m_keyTable;
};

class Table : public Query
{
    Q_OBJECT
public:
    explicit Table(QObject* parent = nullptr) : Query(parent) {}
    QString tableName() const { return m_tableName; }
    void setTableName(const QString& name) { m_tableName = name.trimmed(); }

protected:
    SqlStatement selectStatement() const override;

private:
    QString m_tableName;
};

} // namespace platform

#include "Query.h"

#include "Error.h"
#include "Server.h"

#include <QRegularExpression>
#include <QSqlQuery>

namespace platform
{

Query::Query(QObject* parent) : DataSet(parent) {}

QString Query::sqlText() const
{
    return m_sql.text();
}

void Query::setSql(const SqlStatement& statement)
{
    m_sql = statement;
    m_keyColumns.clear();
    m_keyTable.clear();
}

void Query::addSqlLine(const QString& line)
{
    SqlStatement s = m_sql;
    if (!s.text().isEmpty())
        s << QStringLiteral("\r\n");
    s << line;
    setSql(s);
}

void Query::clearSql()
{
    setSql(SqlStatement());
}

void Query::setParam(const QString& name, const QVariant& value)
{
    m_params.insert(name.toUpper(), value);
}

Server* Query::requireServer() const
{
    if (!m_server)
        throw Error(QStringLiteral("%1: no database server").arg(objectName()));
    return m_server;
}

void Query::resolveParameters(const SqlStatement& s, QString& text, QVariantList& values) const
{
    const QString& in = s.text();
    text.clear();
    text.reserve(in.size());
    values.clear();
    int positional = 0;
    QChar quote;
    for (qsizetype i = 0; i < in.size(); ++i) {
        const QChar c = in[i];
        if (!quote.isNull()) {
            text += c;
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == u'\'' || c == u'"') {
            quote = c;
            text += c;
        } else if (c == u'?') {
            if (positional >= s.values().size())
                throw Error(QStringLiteral("Statement has more values than given"));
            values.append(s.values()[positional++]);
            text += c;
        } else if (c == u':' && i + 1 < in.size() && (in[i + 1].isLetter() || in[i + 1] == u'_') &&
                   !(i > 0 && in[i - 1] == u':')) {
            qsizetype j = i + 1;
            while (j < in.size() && (in[j].isLetterOrNumber() || in[j] == u'_'))
                ++j;
            const QString name = in.mid(i + 1, j - i - 1).toUpper();
            auto it = m_params.constFind(name);
            if (it == m_params.constEnd())
                throw Error(QStringLiteral("Parameter '%1' not found").arg(name));
            values.append(*it);
            text += u'?';
            i = j - 1;
        } else {
            text += c;
        }
    }
}

SqlStatement Query::selectStatement() const
{
    return m_sql;
}

void Query::doOpen()
{
    Server* server = requireServer();
    QString text;
    QVariantList values;
    resolveParameters(selectStatement(), text, values);
    QSqlQuery q;
    try {
        q = server->execute(text, values);
    } catch (const Error& e) {
        throw Error(m_openErrorPrefix + e.text());
    }
    if (!q.isSelect())
        throw Error(m_openErrorPrefix + QStringLiteral("The statement returns no result set"));
    setFieldDefs(server->describeColumns(q));
    const std::vector<int> slotOfDef = bindFieldsToDefs();
    const int columns = int(m_fieldDefs.size());
    const int slotTotal = slotCount();
    while (q.next()) {
        Row row(static_cast<size_t>(slotTotal));
        for (int c = 0; c < columns; ++c) {
            const int slot = slotOfDef[size_t(c)];
            if (slot >= 0)
                row[size_t(slot)] = ConvertForField(q.value(c), m_fieldDefs[size_t(c)]);
        }
        m_rows.push_back(std::move(row));
    }
}

void Query::execSql()
{
    Server* server = requireServer();
    QString text;
    QVariantList values;
    resolveParameters(m_sql, text, values);
    server->execute(text, values);
}

void Query::refresh()
{
    const int position = recNo();
    close();
    open();
    if (position > 0)
        setRecNo(position);
}

QString Query::updateTable() const
{
    static const QRegularExpression single(
        QStringLiteral(
            R"(^\s*select\s+.+?\s+from\s+([A-Za-z_][A-Za-z0-9_]*)\s*(?:\s(?:where|order)\s.*)?$)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = single.match(selectStatement().text());
    if (!m.hasMatch())
        return QString();
    const QString rest = selectStatement().text().mid(m.capturedEnd(1));
    static const QRegularExpression join(
        QStringLiteral(R"(^\s*(,|join\b|left\b|inner\b|cross\b|right\b))"),
        QRegularExpression::CaseInsensitiveOption);
    if (join.match(rest).hasMatch())
        return QString();
    return m.captured(1);
}

QString Query::requireUpdateTable() const
{
    const QString table = updateTable();
    if (table.isEmpty())
        throw Error(QStringLiteral("%1: cannot write back a query that is not over one table")
                        .arg(objectName()));
    return table;
}

void Query::keyCondition(const Row& old, SqlStatement& s)
{
    const QString table = updateTable();
    if (m_keyTable != table || m_keyColumns.isEmpty()) {
        m_keyTable = table;
        m_keyColumns.clear();
        for (const QString& k : requireServer()->primaryKey(table))
            if (findField(k))
                m_keyColumns.append(k);
        if (m_keyColumns.isEmpty() && findField(QStringLiteral("RECID")))
            m_keyColumns.append(QStringLiteral("RECID"));
        if (m_keyColumns.isEmpty()) {
            // No key: the row is found by all of its comparable values.
            for (int i = 0; i < fieldCount(); ++i) {
                const Field* f = field(i);
                if (f->kind() == FieldKind::Data && !IsBlobType(f->type()) &&
                    f->type() != FieldType::Float && f->type() != FieldType::BCD &&
                    f->type() != FieldType::Currency)
                    m_keyColumns.append(f->name());
            }
        }
    }
    s << " WHERE ";
    bool firstColumn = true;
    for (const QString& k : m_keyColumns) {
        const QVariant& v = old[size_t(findField(k)->slot())];
        s << (firstColumn ? "" : " AND ") << k;
        if (IsNullValue(v))
            s << " IS NULL";
        else
            (s << "=").bind(v);
        firstColumn = false;
    }
}

void Query::writeBack(const Row& old, const Row& row)
{
    if (!m_autoUpdate || readOnly())
        return;
    const QString table = requireUpdateTable();
    SqlStatement s;
    if (old.empty()) {
        QStringList columns;
        for (int i = 0; i < fieldCount(); ++i) {
            const Field* f = field(i);
            if (f->kind() != FieldKind::Data || IsNullValue(row[size_t(f->slot())]))
                continue;
            columns.append(f->name());
        }
        if (columns.isEmpty()) {
            s << "INSERT INTO " << table << " DEFAULT VALUES";
        } else {
            s << "INSERT INTO " << table << " (" << columns.join(u',') << ") VALUES (";
            for (int c = 0; c < columns.size(); ++c) {
                if (c > 0)
                    s << ",";
                s.bind(row[size_t(findField(columns[c])->slot())]);
            }
            s << ")";
        }
        requireServer()->execute(s.text(), s.values());
        return;
    }
    s << "UPDATE " << table << " SET ";
    bool any = false;
    for (int i = 0; i < fieldCount(); ++i) {
        const Field* f = field(i);
        if (f->kind() != FieldKind::Data)
            continue;
        const size_t slot = size_t(f->slot());
        if (SameValue(old[slot], row[slot]))
            continue;
        s << (any ? "," : "") << f->name() << "=";
        s.bind(row[slot]);
        any = true;
    }
    if (!any)
        return;
    keyCondition(old, s);
    QSqlQuery q = requireServer()->execute(s.text(), s.values());
    if (q.numRowsAffected() == 0)
        throw Error(QStringLiteral("Record not found or changed by another user"));
}

void Query::writeDelete(const Row& row)
{
    if (!m_autoUpdate || readOnly())
        return;
    SqlStatement s;
    s << "DELETE FROM " << requireUpdateTable();
    keyCondition(row, s);
    QSqlQuery q = requireServer()->execute(s.text(), s.values());
    if (q.numRowsAffected() == 0)
        throw Error(QStringLiteral("Record not found or changed by another user"));
}

SqlStatement Table::selectStatement() const
{
    return SqlStatement(QStringLiteral("SELECT * FROM ") + m_tableName);
}

} // namespace platform

#include "Server.h"

#include "Error.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlRecord>
#include <QSqlResult>
#include <QUuid>
#include <sqlite3.h>

namespace platform
{

namespace
{

QString errorText(const QSqlError& e)
{
    QString t = e.databaseText().trimmed();
    if (t.isEmpty())
        t = e.driverText().trimmed();
    if (t.isEmpty())
        t = e.text().trimmed();
    return t;
}

// Field type of a declared column type such as "varchar(100)" or "timestamp".
FieldDef defFromDeclaredType(const QString& name, const QString& declared)
{
    FieldDef d;
    d.name = name;
    const QString t = declared.trimmed().toLower();
    static const QRegularExpression sized(QStringLiteral(R"(\(\s*(\d+))"));
    const QRegularExpressionMatch m = sized.match(t);
    const int size = m.hasMatch() ? m.captured(1).toInt() : 0;
    auto starts = [&](const char* p) { return t.startsWith(QLatin1String(p)); };
    if (starts("varchar") || starts("character varying") || starts("nvarchar") ||
        starts("varchar2") || starts("string")) {
        d.type = FieldType::String;
        d.size = size > 0 ? size : 255;
    } else if (starts("char") || starts("nchar") || starts("character") || starts("bpchar")) {
        d.type = FieldType::String;
        d.size = size > 0 ? size : 1;
        d.fixedChar = true;
    } else if (starts("bigint") || starts("int8")) {
        d.type = FieldType::Largeint;
    } else if (starts("smallint") || starts("int2") || starts("tinyint")) {
        d.type = FieldType::Smallint;
    } else if (starts("int") || starts("mediumint")) {
        d.type = FieldType::Integer;
    } else if (starts("timestamp") || starts("datetime")) {
        d.type = FieldType::DateTime;
    } else if (starts("date")) {
        d.type = FieldType::Date;
    } else if (starts("time")) {
        d.type = FieldType::Time;
    } else if (starts("bool") || starts("bit")) {
        d.type = FieldType::Boolean;
    } else if (starts("real") || starts("double") || starts("float")) {
        d.type = FieldType::Float;
    } else if (starts("numeric") || starts("decimal") || starts("money")) {
        d.type = FieldType::BCD;
    } else if (starts("text") || starts("memo") || starts("clob") || starts("longtext") ||
               starts("ntext")) {
        d.type = FieldType::Memo;
    } else if (starts("blob") || starts("bytea") || starts("image") || starts("longblob") ||
               starts("binary") || starts("varbinary")) {
        d.type = FieldType::Blob;
    } else {
        d.type = FieldType::Unknown;
    }
    return d;
}

// Field type of a PostgreSQL column from its type number. No server column is
// marked required: the embedded engine cannot tell, and a record snapshot must
// come out the same on every server kind.
FieldDef defFromPostgres(const QSqlField& f, const QString& name)
{
    FieldDef d;
    d.name = name;
    const int len = f.length() > 0 ? int(f.length()) : 0;
    switch (f.typeID()) {
    case 16:
        d.type = FieldType::Boolean;
        break;
    case 17:
        d.type = FieldType::Blob;
        break;
    case 20:
        d.type = FieldType::Largeint;
        break;
    case 21:
        d.type = FieldType::Smallint;
        break;
    case 23:
        d.type = FieldType::Integer;
        break;
    case 25:
        d.type = FieldType::Memo;
        break;
    case 700:
    case 701:
        d.type = FieldType::Float;
        break;
    case 1042:
        d.type = FieldType::String;
        d.size = len > 0 ? len : 1;
        d.fixedChar = true;
        break;
    case 1043:
        d.type = FieldType::String;
        d.size = len > 0 ? len : 255;
        break;
    case 1082:
        d.type = FieldType::Date;
        break;
    case 1083:
        d.type = FieldType::Time;
        break;
    case 1114:
    case 1184:
        d.type = FieldType::DateTime;
        break;
    case 1700:
        d.type = FieldType::BCD;
        break;
    default:
        d.type = FieldType::Unknown;
        break;
    }
    return d;
}

// Field type of an ODBC column from its SQL type number.
FieldDef defFromOdbc(const QSqlField& f, const QString& name)
{
    FieldDef d;
    d.name = name;
    const int len = f.length() > 0 ? int(f.length()) : 0;
    switch (f.typeID()) {
    case 1:
    case -8:
        d.type = FieldType::String;
        d.size = len > 0 ? len : 1;
        d.fixedChar = true;
        break;
    case 12:
    case -9:
        d.type = FieldType::String;
        d.size = len > 0 ? len : 255;
        break;
    case -1:
    case -10:
        d.type = FieldType::Memo;
        break;
    case 4:
        d.type = FieldType::Integer;
        break;
    case 5:
    case -6:
        d.type = FieldType::Smallint;
        break;
    case -5:
        d.type = FieldType::Largeint;
        break;
    case 6:
    case 7:
    case 8:
        d.type = FieldType::Float;
        break;
    case 2:
    case 3:
        d.type = FieldType::BCD;
        break;
    case -7:
        d.type = FieldType::Boolean;
        break;
    case 9:
    case 91:
        d.type = FieldType::Date;
        break;
    case 10:
    case 92:
        d.type = FieldType::Time;
        break;
    case 11:
    case 93:
        d.type = FieldType::DateTime;
        break;
    case -2:
    case -3:
    case -4:
        d.type = FieldType::Blob;
        break;
    default:
        d.type = FieldType::Unknown;
        break;
    }
    return d;
}

// Where the driver gives no declared type (expressions), the value type.
FieldType typeFromMeta(int metaType)
{
    switch (metaType) {
    case QMetaType::Int:
    case QMetaType::UInt:
        return FieldType::Integer;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return FieldType::Largeint;
    case QMetaType::Double:
    case QMetaType::Float:
        return FieldType::Float;
    case QMetaType::Bool:
        return FieldType::Boolean;
    case QMetaType::QDate:
        return FieldType::Date;
    case QMetaType::QTime:
        return FieldType::Time;
    case QMetaType::QDateTime:
        return FieldType::DateTime;
    case QMetaType::QByteArray:
        return FieldType::Blob;
    default:
        return FieldType::String;
    }
}

} // namespace

Server::Server(ServerKind kind, QObject* parent)
    : QObject(parent), m_kind(kind),
      m_connectionName(QStringLiteral("logdesk-") +
                       QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

Server::~Server()
{
    close();
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::removeDatabase(m_connectionName);
}

void Server::setDatabaseName(const QString& name)
{
    if (!m_connected)
        m_databaseName = name;
}
void Server::setUserName(const QString& name)
{
    if (!m_connected)
        m_userName = name;
}
void Server::setPassword(const QString& password)
{
    if (!m_connected)
        m_password = password;
}
void Server::setAddress(const QString& address)
{
    if (!m_connected)
        m_address = address;
}
void Server::setApplicationName(const QString& name)
{
    if (!m_connected)
        m_applicationName = name;
}

QSqlDatabase Server::database() const
{
    return QSqlDatabase::database(m_connectionName, false);
}

void Server::open()
{
    if (m_connected)
        return;
    const char* driver = m_kind == ServerKind::BDE   ? "QSQLITE"
                         : m_kind == ServerKind::TCP ? "QPSQL"
                                                     : "QODBC";
    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
                          ? QSqlDatabase::database(m_connectionName, false)
                          : QSqlDatabase::addDatabase(QLatin1String(driver), m_connectionName);
    if (!db.isValid())
        throw Error(
            QStringLiteral("The database driver %1 is not available").arg(QLatin1String(driver)));
    db.setDatabaseName(m_databaseName);
    db.setUserName(m_userName);
    db.setPassword(m_password);
    QString options;
    switch (m_kind) {
    case ServerKind::BDE: {
        if (m_databaseName.trimmed().isEmpty())
            throw Error(QStringLiteral("No database file given"));
        if (!m_createIfMissing && !QFileInfo::exists(m_databaseName))
            throw Error(QStringLiteral("Database file not found: %1").arg(m_databaseName));
        options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000");
        break;
    }
    case ServerKind::TCP: {
        QString host = m_address.trimmed();
        const qsizetype colon = host.lastIndexOf(u':');
        if (colon > 0) {
            bool ok = false;
            const int port = host.mid(colon + 1).toInt(&ok);
            if (!ok)
                throw Error(QStringLiteral("Invalid server address: %1").arg(m_address));
            db.setPort(port);
            host.truncate(colon);
        }
        db.setHostName(host);
        options = QStringLiteral("connect_timeout=15");
        if (!m_applicationName.isEmpty())
            options += QStringLiteral(";application_name=") + m_applicationName;
        break;
    }
    case ServerKind::ADO:
        break;
    }
    db.setConnectOptions(options);
    if (!db.open()) {
        const QString text = errorText(db.lastError());
        db.close();
        throw Error(text.isEmpty() ? QStringLiteral("Unable to connect to the database") : text);
    }
    switch (db.driver()->dbmsType()) {
    case QSqlDriver::SQLite:
        m_dialect = SqlDialect::SQLite;
        break;
    case QSqlDriver::PostgreSQL:
        m_dialect = SqlDialect::PostgreSQL;
        break;
    default:
        m_dialect = SqlDialect::Other;
        break;
    }
    m_connected = true;
    m_transactionDepth = 0;
    if (m_dialect == SqlDialect::SQLite) {
        // Prefix tests with LIKE must respect letter case, as on other servers.
        execute(QStringLiteral("PRAGMA case_sensitive_like = ON"));
    } else if (m_dialect == SqlDialect::PostgreSQL) {
        execute(QStringLiteral("SET datestyle TO ISO, YMD"));
    }
}

void Server::close()
{
    m_connected = false;
    m_transactionDepth = 0;
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
}

bool Server::keepAlive()
{
    if (!m_connected)
        return false;
    try {
        execute(QStringLiteral("SELECT 1"));
        return true;
    } catch (const Error&) {
        close();
        return false;
    }
}

void Server::checkConnected() const
{
    if (!m_connected)
        throw Error(QStringLiteral("Not connected to the database server"));
}

QVariant Server::bindable(const QVariant& v) const
{
    if (!v.isValid() || v.isNull())
        return QVariant();
    if (m_dialect == SqlDialect::Other)
        return v;
    switch (v.typeId()) {
    case QMetaType::QDateTime:
        return DateTimeToSqlText(v.toDateTime());
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    default:
        return v;
    }
}

QSqlQuery Server::execute(const QString& text, const QVariantList& values)
{
    checkConnected();
    QSqlQuery q(database());
    q.setForwardOnly(true);
    bool ok;
    if (values.isEmpty()) {
        ok = q.exec(text);
    } else {
        ok = q.prepare(text);
        if (ok) {
            for (const QVariant& v : values)
                q.addBindValue(bindable(v));
            ok = q.exec();
        }
    }
    if (!ok) {
        const QString message = errorText(q.lastError());
        throw Error(message.isEmpty() ? QStringLiteral("The statement failed: ") + text : message);
    }
    return q;
}

std::vector<FieldDef> Server::describeColumns(QSqlQuery& query) const
{
    const QSqlRecord rec = query.record();
    std::vector<FieldDef> defs;
    defs.reserve(size_t(rec.count()));
    sqlite3_stmt* stmt = nullptr;
    if (m_dialect == SqlDialect::SQLite && m_kind == ServerKind::BDE) {
        const QVariant h = query.result()->handle();
        if (h.isValid() && qstrcmp(h.typeName(), "sqlite3_stmt*") == 0)
            stmt = *static_cast<sqlite3_stmt* const*>(h.constData());
    }
    QHash<QString, int> seen;
    for (int i = 0; i < rec.count(); ++i) {
        const QSqlField f = rec.field(i);
        QString name = f.name().trimmed().toUpper();
        const int n = seen.value(name, 0);
        seen.insert(name, n + 1);
        if (n > 0)
            name += QStringLiteral("_") + QString::number(n);
        FieldDef d;
        if (stmt) {
            const char* decl = sqlite3_column_decltype(stmt, i);
            d = defFromDeclaredType(name, decl ? QString::fromUtf8(decl) : QString());
        } else if (m_dialect == SqlDialect::PostgreSQL) {
            d = defFromPostgres(f, name);
        } else {
            d = defFromOdbc(f, name);
        }
        if (d.type == FieldType::Unknown) {
            d.type = typeFromMeta(f.metaType().id());
            if (d.type == FieldType::String)
                d.size = f.length() > 0 ? int(f.length()) : 255;
        }
        defs.push_back(d);
    }
    return defs;
}

QStringList Server::primaryKey(const QString& table) const
{
    QStringList names;
    const QSqlDatabase db = database();
    QSqlIndex index =
        db.primaryIndex(m_dialect == SqlDialect::PostgreSQL ? table.toLower() : table);
    for (int i = 0; i < index.count(); ++i)
        names.append(index.fieldName(i).toUpper());
    return names;
}

void Server::beginTransaction()
{
    checkConnected();
    if (m_transactionDepth++ > 0)
        return;
    if (m_dialect == SqlDialect::SQLite) {
        // Take the write lock at once: two deferred transactions that both
        // read and then write would block each other until one fails.
        try {
            execute(QStringLiteral("BEGIN IMMEDIATE"));
        } catch (...) {
            m_transactionDepth = 0;
            throw;
        }
        return;
    }
    QSqlDatabase db = database();
    if (!db.transaction()) {
        m_transactionDepth = 0;
        throw Error(errorText(db.lastError()));
    }
}

void Server::commit()
{
    if (m_transactionDepth == 0)
        return;
    if (--m_transactionDepth > 0)
        return;
    QSqlDatabase db = database();
    if (!db.commit()) {
        const QString text = errorText(db.lastError());
        db.rollback();
        throw Error(text);
    }
}

void Server::rollback()
{
    if (m_transactionDepth == 0)
        return;
    // An inner failure ends the whole transaction.
    m_transactionDepth = 0;
    database().rollback();
}

} // namespace platform

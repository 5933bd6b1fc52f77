#include "DMUnit.h"

#include "Error.h"
#include "Schema.h"

#include <QCoreApplication>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

using namespace platform;

namespace database
{

namespace
{
TDM* g_dm = nullptr;
constexpr int kKeepAliveMs = 30000;
} // namespace

TDM* DM()
{
    return g_dm;
}

QString TopLevelPath(const QString& path)
{
    const qsizetype end = path.indexOf(kPathSeparator);
    return end < 0 ? path : path.left(end + 1);
}

QString HistoryKindText(int kind)
{
    switch (kind) {
    case HistoryCreated:
        return QStringLiteral("Создана");
    case HistoryChanged:
        return QStringLiteral("Изменена");
    case HistoryLocked:
        return QStringLiteral("Заблокирована");
    case HistorySigned:
        return QStringLiteral("Подписана");
    case HistoryRevoked:
        return QStringLiteral("Подпись отозвана");
    default:
        return QStringLiteral("???");
    }
}

ServerKind ChooseServerKind(const QString& commandLine)
{
    const QStringList words = commandLine.split(u' ');
    for (int i = 1; i <= 30 && i < words.size(); ++i) {
        if (words[i].compare(QLatin1String("/BDE"), Qt::CaseInsensitive) == 0)
            return ServerKind::BDE;
        if (words[i].compare(QLatin1String("/RDA"), Qt::CaseInsensitive) == 0)
            return ServerKind::TCP;
    }
    return ServerKind::ADO;
}

QString ProgramCommandLine()
{
#ifdef Q_OS_WIN
    return QString::fromWCharArray(GetCommandLineW());
#else
    return QCoreApplication::arguments().join(u' ');
#endif
}

namespace
{

// Every conversion of a local date-time (each DATE field of every fetched
// row) makes the C library read the time zone anew while TZ is unset; naming
// the system's own zone file once keeps the rules and drops the re-reading.
void keepLocalTimeZoneLoaded()
{
#ifdef __GLIBC__
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
#endif
}

} // namespace

TDM::TDM(const QString& commandLine, QObject* parent) : QObject(parent)
{
    keepLocalTimeZoneLoaded();
    setObjectName(QStringLiteral("DM"));
    ServerADO = new Server(ServerKind::ADO, this);
    ServerBDE = new Server(ServerKind::BDE, this);
    ServerTCP = new Server(ServerKind::TCP, this);
    switch (ChooseServerKind(commandLine)) {
    case ServerKind::BDE:
        m_current = ServerBDE;
        break;
    case ServerKind::TCP:
        m_current = ServerTCP;
        break;
    case ServerKind::ADO:
        m_current = ServerADO;
        break;
    }

    auto make = [this](platform::Query* q, const char* name) {
        q->setObjectName(QLatin1String(name));
        attach(q);
        return q;
    };
    GRQuery = make(new platform::Query(this), "GRQuery");
    GRQuery->setAutoUpdate(false);
    GRQuery->setOpenErrorPrefix(QStringLiteral("Unable to retrieve query result: "));
    Query = make(new platform::Query(this), "Query");
    Query->setReadOnly(true);
    Query1 = make(new platform::Query(this), "Query1");
    MagQuery = make(new platform::Query(this), "MagQuery");
    MagQuery->setReadOnly(true);
    MagQuery->setAutoCalcFields(false);
    MagQuery->setSql(QStringLiteral("select FULLPATH,FULLDESCRIPTION,DESCRIPTION from mags"));
    HistoryQ = make(new platform::Query(this), "HistoryQ");
    HistoryQ->setReadOnly(true);
    HistoryQ->setSql(
        QStringLiteral("select HISTORY.KIND, HISTORY.UID, HISTORY.DATECREATE, HISTORY.COMMENT, \r\n"
                       "       HISTORY.SIGNATURE, HISTORY.RECCONTEXT,\r\n"
                       "       PERSONS.FIO, PERSONS.PUBLICKEY\r\n"
                       "from HISTORY\r\n"
                       "LEFT JOIN PERSONS ON HISTORY.UID=PERSONS.UID\r\n"
                       "where  (HISTORY.RecID=:RecID) \r\n"
                       "order by IDX"));
    createHistoryFields();
    ConformsTable = static_cast<Table*>(make(new Table(this), "ConformsTable"));
    ConformsTable->setTableName(QStringLiteral("CONFORMS"));
    ConformsTable->setReadOnly(true);
    ConformsTable->setAutoCalcFields(false);
    UsersTable = make(new platform::Query(this), "UsersTable");
    UsersTable->setAutoCalcFields(false);
    UsersTable->setSql(QStringLiteral("select * from PERSONS"));
    Refs = static_cast<Table*>(make(new Table(this), "Refs"));
    Refs->setTableName(QStringLiteral("refs"));
    ARef = make(new platform::Query(this), "ARef");
    m_detached = new QObject(this);

    Timer1 = new QTimer(this);
    Timer1->setInterval(kKeepAliveMs);
    connect(Timer1, &QTimer::timeout, this, &TDM::keepAlive);
    Timer1->start();
    g_dm = this;
}

TDM::~TDM()
{
    if (g_dm == this)
        g_dm = nullptr;
}

void TDM::attach(platform::Query* q)
{
    q->setServer(m_current);
}

void TDM::keepAlive()
{
    // A failed request only marks the server not connected; nobody is told.
    if (m_current == ServerTCP && ServerTCP->connected())
        ServerTCP->keepAlive();
}

DataSet* TDM::findDataSet(const QString& name) const
{
    if (auto* exact = findChild<DataSet*>(name, Qt::FindDirectChildrenOnly))
        return exact;
    // Component names do not depend on letter case ("RefDSStates" is "RefDSSTATES").
    for (auto* ds : findChildren<DataSet*>(QString(), Qt::FindDirectChildrenOnly))
        if (ds->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return ds;
    return nullptr;
}

std::unique_ptr<platform::Query> TDM::newQuery() const
{
    auto q = std::make_unique<platform::Query>();
    q->setServer(m_current);
    return q;
}

void TDM::execSql(const SqlStatement& statement) const
{
    m_current->execute(statement.text(), statement.values());
}

bool TDM::TableExist(const QString& table, Server* server)
{
    try {
        // Only whether the table opens matters; no row needs to come back.
        platform::Query probe;
        probe.setServer(server);
        probe.setReadOnly(true);
        probe.setSql(QStringLiteral("SELECT * FROM ") + table + QStringLiteral(" WHERE 1=0"));
        probe.open();
        probe.close();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool TDM::DBIsCorrect()
{
    m_missingTable.clear();
    QString list = QString::fromLatin1(kSystemTableList);
    list.replace(u';', u',');
    for (const QString& name : list.split(u',')) {
        if (!TableExist(name, m_current)) {
            m_missingTable = name;
            return false;
        }
    }
    return true;
}

int TDM::MaxID(const QString& table, const QString& field) const
{
    auto q = newQuery();
    q->setReadOnly(true);
    q->setSql(ReplaceEmptyLiterals(QStringLiteral("SELECT MAX(") + field +
                                   QStringLiteral(") as  MaxId from ") + table));
    q->open();
    const Field* f = q->fieldByName(QStringLiteral("MaxId"));
    const qint64 max = f->isNull() ? 0 : f->asInteger();
    return max < 1 ? 1 : int(max + 1);
}

} // namespace database

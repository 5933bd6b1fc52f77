#include "CtlSupport.h"

#include "Error.h"
#include "Messages.h"

#include <QFile>

using namespace platform;

namespace ctl
{

std::unique_ptr<database::TDM> MakeDataModule(const Invocation& inv)
{
    QString commandLine = QStringLiteral("logdeskctl");
    if (inv.has("bde"))
        commandLine += QStringLiteral(" /BDE");
    else if (inv.has("rda"))
        commandLine += QStringLiteral(" /RDA");
    auto dm = std::make_unique<database::TDM>(commandLine);
    dm->Timer1->stop();
    return dm;
}

void ConnectServer(database::TDM& dm, const Invocation& inv, bool create)
{
    Server* server = dm.currentServer();
    if (server == dm.ServerTCP)
        server->setAddress(inv.opt("address", QStringLiteral("127.0.0.1")));
    const QStringList fields = inv.opt("database").split(u':');
    server->setDatabaseName(fields.value(0));
    server->setUserName(fields.value(1));
    server->setPassword(inv.opt("password"));
    if (server->userName().isEmpty()) {
        server->setUserName(QString::fromUtf8(startup::kProgramDbUser));
        server->setPassword(QString::fromUtf8(startup::kProgramDbPassword));
    }
    server->setCreateIfMissing(create);
    server->open();
}

void LogOnUser(database::TDM& dm, const Invocation& inv, startup::HeadlessLogOnView& view)
{
    QStringList shown;
    MessageHandler previous = SetMessageHandler([&](const Message& m) {
        shown.append(m.text);
        return MsgAnswer::Ok;
    });
    startup::ConnectAndLogOn(dm, view, inv.opt("address", QStringLiteral("127.0.0.1")),
                             inv.opt("database"), inv.opt("user"), inv.opt("password"));
    SetMessageHandler(std::move(previous));
    if (!dm.currentServer()->connected()) {
        for (const QString& text : shown)
            inv.err << text << "\n";
        if (shown.isEmpty())
            inv.err << "logdeskctl: the log-on failed\n";
        inv.err.flush();
        throw Failure{1};
    }
}

QByteArray ReadFileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
    return file.readAll();
}

void WriteFileBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw Error(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

int IntArg(const QString& text, const char* what)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok)
        throw Error(
            QStringLiteral("%1 must be a whole number, not '%2'").arg(QLatin1String(what), text));
    return n;
}

} // namespace ctl

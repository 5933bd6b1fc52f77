// logdeskctl: the administrator's command line over the logdesk libraries.

#include "Command.h"
#include "CtlSupport.h"

#include "Messages.h"
#include <QApplication>
#include <QTextStream>
#include <cstdio>
#include <exception>

namespace ctl
{

std::map<QString, Command>& commandTable()
{
    static std::map<QString, Command> table;
    return table;
}

} // namespace ctl

namespace
{

// Options that every command accepts: how to reach the database, as in the
// connection dialog and on the program's command line.
const QStringList kConnectionValueOptions = {"--address", "--database", "--user", "--password"};
const QStringList kConnectionFlags = {"--bde", "--rda"};

const char* kConnectionHelp =
    "Connection options (the same for every command):\n"
    "  --bde              the embedded SQLite engine; --database is the file\n"
    "  --rda              the PostgreSQL server; --address is host or host:port\n"
    "                     (neither: the default ODBC server; --database is a data\n"
    "                     source name or a DRIVER=...; connection string)\n"
    "  --address TEXT     the \"TCP сервера\" text\n"
    "  --database TEXT    the \"Имя базы данных\" text: NAME, or NAME:DBUSER to\n"
    "                     connect as DBUSER with --password\n"
    "  --user N           the journal user number (PERSONS.UID)\n"
    "  --password TEXT    the journal user's password\n";

void printUsage(QTextStream& out)
{
    out << "Usage: logdeskctl COMMAND [ARGS] [OPTIONS]\n\nCommands:\n";
    for (const auto& [name, cmd] : ctl::commandTable())
        out << "  " << cmd.usage << "\n";
    out << "\n"
        << kConnectionHelp
        << "  --                 every later word is an argument, even one that starts with \"-\"\n"
        << "\n'logdeskctl COMMAND --help' describes one command.\n";
}

void printCommandHelp(QTextStream& out, const ctl::Command& cmd)
{
    out << "Usage: logdeskctl " << cmd.usage << "\n\n" << cmd.help << "\n\n" << kConnectionHelp;
}

} // namespace

int main(int argc, char** argv)
{
    // A widget application, so that commands can lay out and render forms;
    // without a display it draws offscreen.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // Messages go to standard error; questions are declined unless a command
    // says otherwise.
    platform::SetMessageHandler(platform::PrintMessage);
    QCoreApplication::setOrganizationName("Brenholt");
    QCoreApplication::setApplicationName("logdesk");
    QTextStream out(stdout);
    QTextStream err(stderr);

    QStringList words = app.arguments().mid(1);
    if (words.isEmpty() || words.first() == "--help" || words.first() == "-h") {
        printUsage(out);
        return words.isEmpty() ? 1 : 0;
    }
    const QString name = words.takeFirst();
    auto it = ctl::commandTable().find(name);
    if (it == ctl::commandTable().end()) {
        err << "logdeskctl: unknown command '" << name << "'\n";
        printUsage(err);
        return 2;
    }
    const ctl::Command& cmd = it->second;

    ctl::Invocation inv{{}, {}, out, err};
    bool optionsEnded = false;
    for (int i = 0; i < words.size(); ++i) {
        const QString& w = words[i];
        // After "--" every word is an argument, even one that starts with "-"
        // (key and signature texts can).
        if (optionsEnded) {
            inv.args.append(w);
            continue;
        }
        if (w == "--") {
            optionsEnded = true;
            continue;
        }
        if (w == "--help" || w == "-h") {
            printCommandHelp(out, cmd);
            return 0;
        }
        if (kConnectionFlags.contains(w) ||
            (w.startsWith("--") && !kConnectionValueOptions.contains(w) &&
             !cmd.valueOptions.contains(w) && w.size() > 2)) {
            inv.opts[w.mid(2)] = "1";
        } else if (kConnectionValueOptions.contains(w) || cmd.valueOptions.contains(w)) {
            if (i + 1 >= words.size()) {
                err << "logdeskctl: " << w << " needs a value\n";
                return 2;
            }
            inv.opts[w.mid(2)] = words[++i];
        } else {
            inv.args.append(w);
        }
    }
    try {
        const int rc = cmd.run(inv);
        out.flush();
        return rc;
    } catch (const ctl::Failure& f) {
        out.flush();
        return f.code;
    } catch (const std::exception& e) {
        out.flush();
        err << "logdeskctl: " << QString::fromUtf8(e.what()) << "\n";
        return 2;
    }
}

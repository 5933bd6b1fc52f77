#pragma once
// The command table of logdeskctl. Each cmd_*.cpp file registers its commands
// with a static CommandRegistration, so main.cpp never needs to know them.

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <map>

namespace ctl
{

// What a command gets: its own words (options already taken out) and the
// connection options shared by every command.
struct Invocation {
    QStringList args;                // positional words after the command name
    std::map<QString, QString> opts; // --name value (or "1" for flags)
    QTextStream& out;
    QTextStream& err;

    bool has(const QString& name) const { return opts.count(name) != 0; }
    QString opt(const QString& name, const QString& fallback = {}) const
    {
        auto it = opts.find(name);
        return it == opts.end() ? fallback : it->second;
    }
};

// A command returns the process exit status. Throwing std::exception or
// ctl::Failure prints the message on standard error and exits 2.
using CommandFn = std::function<int(Invocation&)>;

struct Command {
    QString name;
    QString usage;            // one line: "add-user UID FIO PASSWORD [GID]"
    QString help;             // what it does, several lines allowed
    QStringList valueOptions; // its own options that take a value ("--mode")
    CommandFn run;
};

std::map<QString, Command>& commandTable();

struct CommandRegistration {
    explicit CommandRegistration(Command c) { commandTable()[c.name] = std::move(c); }
};

} // namespace ctl

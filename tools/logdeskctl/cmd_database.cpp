// Commands that create and check databases and log users on.

#include "CtlSupport.h"
#include "DemoSite.h"
#include "Error.h"
#include "Schema.h"

#include <QDir>

using namespace platform;

namespace ctl
{
namespace
{

int initDb(Invocation& inv)
{
    auto dm = MakeDataModule(inv);
    ConnectServer(*dm, inv, true);
    database::CreateSystemTables(*dm->currentServer());
    inv.out << "created the ten system tables\n";
    return 0;
}

int checkDb(Invocation& inv)
{
    auto dm = MakeDataModule(inv);
    ConnectServer(*dm, inv);
    if (dm->DBIsCorrect()) {
        inv.out << "correct: all ten system tables exist\n";
        return 0;
    }
    inv.out << "missing table: " << dm->missingTable() << "\n";
    return 1;
}

int addUser(Invocation& inv)
{
    if (inv.args.size() < 3 || inv.args.size() > 4)
        throw Error("usage: add-user UID FIO PASSWORD [GID]");
    auto dm = MakeDataModule(inv);
    ConnectServer(*dm, inv);
    const int uid = IntArg(inv.args[0], "UID");
    const int gid = inv.args.size() == 4 ? IntArg(inv.args[3], "GID") : 0;
    AddUser(*dm, uid, inv.args[1], inv.args[2], gid);
    inv.out << "added user " << uid << "\n";
    return 0;
}

int logon(Invocation& inv)
{
    auto dm = MakeDataModule(inv);
    startup::HeadlessLogOnView view;
    LogOnUser(*dm, inv, view);
    inv.out << view.caption() << "\n";
    return 0;
}

int demoDb(Invocation& inv)
{
    auto dm = MakeDataModule(inv);
    ConnectServer(*dm, inv, true);
    if (database::TDM::TableExist("MAGS", dm->currentServer()))
        throw Error("the database already holds system tables; give a new database");
    const QString keys = QDir(inv.opt("keys", "demo-keys")).absolutePath();
    CreateDemoSite(*dm, keys);
    inv.out << "created the demo site; users:\n";
    for (int i = 0; i < kDemoUserCount; ++i)
        inv.out << "  " << kDemoUsers[i].uid << " " << QString::fromUtf8(kDemoUsers[i].fio)
                << " password " << QString::fromUtf8(kDemoUsers[i].password) << ", key token "
                << keys << "/user" << kDemoUsers[i].uid << "\n";
    return 0;
}

int setPublicKey(Invocation& inv)
{
    if (inv.args.size() != 2)
        throw Error("usage: set-public-key UID TEXT");
    auto dm = MakeDataModule(inv);
    ConnectServer(*dm, inv);
    SetPublicKey(*dm, IntArg(inv.args[0], "UID"), inv.args[1]);
    inv.out << "set the public key of user " << inv.args[0] << "\n";
    return 0;
}

const CommandRegistration registrations[] = {
    CommandRegistration{
        Command{"init-db",
                "init-db",
                "Creates the ten system tables (MAGS, SQLTOKENS, CORETABLE, EQUIPMENT, HISTORY,\n"
                "PERSONS, REFS, CONFORMS, NEXTNUMS, USERFORMS) on the server. With --bde a\n"
                "missing database file is created.",
                {},
                initDb}},
    CommandRegistration{
        Command{"check-db",
                "check-db",
                "Checks that the ten system tables exist. Prints \"correct\" and exits 0, or\n"
                "names the first missing table and exits 1.",
                {},
                checkDb}},
    CommandRegistration{
        Command{"add-user",
                "add-user UID FIO PASSWORD [GID]",
                "Adds a journal user; PWDHASH is the SHA-1 digest of the password (code page\n"
                "1251). Without GID the group is NULL (taken as 0).",
                {},
                addUser}},
    CommandRegistration{
        Command{"logon",
                "logon --user N --password TEXT",
                "Runs the program's log-on headless. Prints the main window caption, or the\n"
                "exact failure message on standard error and exits 1.",
                {},
                logon}},
    CommandRegistration{
        Command{"demo-db",
                "demo-db [--keys DIR]",
                "Creates a demo site in a new database (with --bde the file is created): the\n"
                "system tables, users with known passwords and key pairs, journals with\n"
                "extension tables, rights, references and equipment. Each user's secret key\n"
                "goes to a software key token on USB in DIR/user<UID> (DIR: demo-keys);\n"
                "start the program with LOGDESK_KEYTOKEN_DIR=DIR/user<UID> to sign as him.",
                {"--keys"},
                demoDb}},
    CommandRegistration{
        Command{"set-public-key",
                "set-public-key UID TEXT",
                "Stores a user's public signature key (PERSONS.PUBLICKEY). Put \"--\" before\n"
                "a text that starts with \"-\".",
                {},
                setPublicKey}},
};

} // namespace
} // namespace ctl

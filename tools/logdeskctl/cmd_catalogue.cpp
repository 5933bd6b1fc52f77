// Catalogue maintenance that a site administrator scripts: journals,
// extension tables, references and equipment, each through the data module's
// own operation.

#include "CtlSupport.h"
#include "Error.h"
#include "MagCommon.h"
#include "Messages.h"

using namespace platform;

namespace ctl
{
namespace
{

void requireArgs(const Invocation& inv, int least, int most, const char* usage)
{
    if (inv.args.size() < least || inv.args.size() > most)
        throw Error(QStringLiteral("usage: ") + QLatin1String(usage));
}

std::unique_ptr<database::TDM> connected(const Invocation& inv)
{
    auto dm = MakeDataModule(inv);
    ConnectServer(*dm, inv);
    return dm;
}

// The FULLDESCRIPTION of a new node: its parent's (from table), its name and
// the level separator.
QString fullDescriptionOf(database::TDM& dm, const QString& table, const QString& path,
                          const QString& name)
{
    const QString parent = catalogue::ParentPath(path);
    QString prefix;
    if (!parent.isEmpty()) {
        auto q = dm.newQuery();
        SqlStatement s(QStringLiteral("SELECT FULLDESCRIPTION FROM ") + table +
                       QStringLiteral(" WHERE FULLPATH="));
        s.quoted(parent);
        q->setSql(s);
        q->open();
        if (q->isEmpty())
            throw Error(QStringLiteral("no parent '%1' in %2").arg(parent, table));
        prefix = q->fieldByName(QStringLiteral("FULLDESCRIPTION"))->asString();
    }
    return prefix + name + u'`';
}

// Runs an operation that may show messages: they are printed, and an error
// message makes the command fail. Questions are answered OK only with --yes.
int withMessages(const Invocation& inv, const std::function<void()>& operation)
{
    bool failed = false;
    const bool yes = inv.has("yes");
    MessageHandler previous = SetMessageHandler([&](const Message& m) {
        inv.err << m.caption << ": " << m.text << "\n";
        failed = failed || m.icon == MsgIcon::Error;
        if (m.buttons == MsgButtons::Ok)
            return MsgAnswer::Ok;
        return yes ? (m.buttons == MsgButtons::YesNo ? MsgAnswer::Yes : MsgAnswer::Ok)
                   : (m.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel);
    });
    try {
        operation();
    } catch (...) {
        SetMessageHandler(std::move(previous));
        throw;
    }
    SetMessageHandler(std::move(previous));
    inv.err.flush();
    return failed ? 1 : 0;
}

int journalAdd(Invocation& inv)
{
    requireArgs(inv, 2, 2, "journal-add PATH DESCRIPTION [--no-conforms]");
    auto dm = connected(inv);
    const QString& path = inv.args[0];
    dm->InsertMags(inv.args[1], path, fullDescriptionOf(*dm, "MAGS", path, inv.args[1]),
                   inv.has("no-conforms") ? 1 : 0);
    inv.out << "added journal " << path << "\n";
    return 0;
}

int journalUpdate(Invocation& inv)
{
    requireArgs(inv, 2, 3, "journal-update PATH DESCRIPTION [EXTTABLE]");
    auto dm = connected(inv);
    dm->UpdateMags(inv.args[0], inv.args[1], inv.args.value(2));
    inv.out << "updated journal " << inv.args[0] << "\n";
    return 0;
}

int journalDelete(Invocation& inv)
{
    requireArgs(inv, 1, 1, "journal-delete PATH [--drop-ext]");
    auto dm = connected(inv);
    const QString& path = inv.args[0];
    dm->CascadingDelete(path, inv.has("drop-ext") ? dm->ExtTableOf(path) : QString());
    inv.out << "deleted journal " << path << " with the journals below it and their records\n";
    return 0;
}

int extCreate(Invocation& inv)
{
    requireArgs(inv, 1, 1, "ext-create TABLE");
    auto dm = connected(inv);
    dm->CreateUT(inv.args[0]);
    inv.out << "created extension table " << inv.args[0] << "\n";
    return 0;
}

int extAlter(Invocation& inv)
{
    requireArgs(inv, 1, 3, "ext-alter \"TABLE CHANGE\" [FIELD PATH]");
    auto dm = connected(inv);
    dm->AlterUT(inv.args[0], inv.args.value(1), inv.args.value(2));
    inv.out << "altered " << inv.args[0] << "\n";
    return 0;
}

int extDelete(Invocation& inv)
{
    requireArgs(inv, 1, 1, "ext-delete TABLE [--yes]");
    auto dm = connected(inv);
    const QString& table = inv.args[0];
    const int rc = withMessages(inv, [&] { dm->UTclear(table); });
    inv.out << (dm->UTExist(table) ? "kept " : "deleted ") << table << "\n";
    return rc;
}

int refAdd(Invocation& inv)
{
    requireArgs(inv, 2, 2, "ref-add TABLE NAME");
    auto dm = connected(inv);
    const int rc = withMessages(inv, [&] { dm->AddReference(inv.args[0], inv.args[1]); });
    if (rc == 0)
        inv.out << "added reference " << inv.args[0] << "\n";
    return rc;
}

int refDelete(Invocation& inv)
{
    requireArgs(inv, 1, 1, "ref-delete TABLE");
    auto dm = connected(inv);
    dm->DeleteReference(inv.args[0]);
    inv.out << "deleted reference " << inv.args[0] << "\n";
    return 0;
}

int eqAdd(Invocation& inv)
{
    requireArgs(inv, 2, 3, "eq-add PATH DESCRIPTION [CODE]");
    auto dm = connected(inv);
    const QString& path = inv.args[0];
    dm->AddEquipment(inv.args[1], path, fullDescriptionOf(*dm, "EQUIPMENT", path, inv.args[1]),
                     inv.args.value(2));
    inv.out << "added equipment " << path << "\n";
    return 0;
}

int eqUpdate(Invocation& inv)
{
    requireArgs(inv, 3, 4, "eq-update OLDPATH NEWPATH DESCRIPTION [CODE]");
    auto dm = connected(inv);
    dm->UpdateEquipment(inv.args[0], inv.args[1],
                        fullDescriptionOf(*dm, "EQUIPMENT", inv.args[1], inv.args[2]), inv.args[2],
                        inv.args.value(3));
    inv.out << "updated equipment " << inv.args[0] << "\n";
    return 0;
}

int eqDelete(Invocation& inv)
{
    requireArgs(inv, 1, 1, "eq-delete PATH");
    auto dm = connected(inv);
    dm->DeleteEquipment(inv.args[0]);
    inv.out << "deleted equipment " << inv.args[0] << " and the nodes below it\n";
    return 0;
}

const CommandRegistration registrations[] = {
    CommandRegistration{
        Command{"journal-add",
                "journal-add PATH DESCRIPTION [--no-conforms]",
                "Adds a journal (MAGS row; FULLDESCRIPTION from its parent's) and, unless\n"
                "--no-conforms, the description of its OBJECT field linked to the equipment.",
                {},
                journalAdd}},
    CommandRegistration{
        Command{"journal-update",
                "journal-update PATH DESCRIPTION [EXTTABLE]",
                "Sets a journal's name and extension table (none without EXTTABLE).",
                {},
                journalUpdate}},
    CommandRegistration{
        Command{"journal-delete",
                "journal-delete PATH [--drop-ext]",
                "Deletes a journal and every journal below it with their records and history,\n"
                "and the journal's own field descriptions. --drop-ext also drops the extension\n"
                "table of its top-level journal.",
                {},
                journalDelete}},
    CommandRegistration{Command{"ext-create",
                                "ext-create TABLE",
                                "Creates an extension table (RecID only).",
                                {},
                                extCreate}},
    CommandRegistration{
        Command{"ext-alter",
                "ext-alter \"TABLE CHANGE\" [FIELD PATH]",
                "Runs ALTER TABLE TABLE CHANGE (\"EXT_OPER ADD LOAD integer\") and deletes the\n"
                "description of FIELD in the journal PATH.",
                {},
                extAlter}},
    CommandRegistration{
        Command{"ext-delete",
                "ext-delete TABLE [--yes]",
                "Deletes an extension table that no journal uses, with the descriptions of its\n"
                "columns, after the program's question (answered OK with --yes).",
                {},
                extDelete}},
    CommandRegistration{Command{"ref-add",
                                "ref-add TABLE NAME",
                                "Creates a reference table (aCode, aValue) with its REFS row.",
                                {},
                                refAdd}},
    CommandRegistration{
        Command{"ref-delete",
                "ref-delete TABLE",
                "Drops a reference table, removes its REFS row and the links of the fields\n"
                "that name it.",
                {},
                refDelete}},
    CommandRegistration{Command{"eq-add",
                                "eq-add PATH DESCRIPTION [CODE]",
                                "Adds an equipment node (FULLDESCRIPTION from its parent's).",
                                {},
                                eqAdd}},
    CommandRegistration{
        Command{"eq-update",
                "eq-update OLDPATH NEWPATH DESCRIPTION [CODE]",
                "Changes one equipment node's row; the nodes below it keep their paths.",
                {},
                eqUpdate}},
    CommandRegistration{Command{"eq-delete",
                                "eq-delete PATH",
                                "Deletes an equipment node and every node below it.",
                                {},
                                eqDelete}},
};

} // namespace
} // namespace ctl

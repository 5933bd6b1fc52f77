// Commands that show what a user sees of the catalogue after log-on.

#include "CtlSupport.h"
#include "Error.h"
#include "MagCommon.h"

using namespace catalogue;

namespace ctl
{
namespace
{

void printJournal(QTextStream& out, const TreeNode* node)
{
    const auto* j = static_cast<const JournalNode*>(node);
    const QString indent(2 * node->level(), u' ');
    out << indent << j->caption << "  [" << j->info.FullPath << "]  ext=" << j->info.ExtTable
        << "\n";
    for (const QString& line :
         j->info.Permissions.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        out << indent << "    " << line << "\n";
}

int journals(Invocation& inv)
{
    auto dm = MakeDataModule(inv);
    startup::HeadlessLogOnView view;
    LogOnUser(*dm, inv, view);
    for (TreeNode* n = view.journalTree().first(); n; n = n->next())
        printJournal(inv.out, n);
    return 0;
}

int checkRight(Invocation& inv)
{
    if (inv.args.size() != 3)
        throw platform::Error("usage: check-right PATH FIELD RIGHT");
    auto dm = MakeDataModule(inv);
    startup::HeadlessLogOnView view;
    LogOnUser(*dm, inv, view);
    const QString word =
        CheckRight(view.journalTree().first(), inv.args[0], inv.args[1], inv.args[2]);
    if (word.isEmpty())
        return 1;
    inv.out << word << "\n";
    return 0;
}

int equipment(Invocation& inv)
{
    auto dm = MakeDataModule(inv);
    startup::HeadlessLogOnView view;
    LogOnUser(*dm, inv, view);
    for (TreeNode* n = view.equipmentTree().first(); n; n = n->next()) {
        const auto* e = static_cast<const EquipmentNode*>(n);
        inv.out << QString(2 * n->level(), u' ') << e->caption;
        if (!e->info.FullPath.isEmpty())
            inv.out << "  [" << e->info.FullPath << "]";
        if (!e->info.Code.isEmpty())
            inv.out << "  code=" << e->info.Code;
        inv.out << "\n";
    }
    return 0;
}

const CommandRegistration registrations[] = {
    CommandRegistration{
        Command{"journals",
                "journals --user N --password TEXT",
                "Logs on and prints the user's journal tree, one journal a line with its\n"
                "FullPath and extension table, followed by its prepared rights lines.",
                {},
                journals}},
    CommandRegistration{
        Command{"check-right",
                "check-right PATH FIELD RIGHT --user N --password TEXT",
                "Logs on and asks CheckRight from the first top-level journal for the record\n"
                "path PATH, the field (or ALL) and the right letter (r, w, c, d). Prints the\n"
                "granting word and exits 0, or prints nothing and exits 1.",
                {},
                checkRight}},
    CommandRegistration{
        Command{"equipment",
                "equipment --user N --password TEXT",
                "Logs on and prints the main window's equipment tree, one item a line.",
                {},
                equipment}},
};

} // namespace
} // namespace ctl

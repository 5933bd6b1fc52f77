// Commands for packed record contexts (the snapshots that signatures cover).

#include "ContextPacking.h"
#include "CtlSupport.h"
#include "Error.h"
#include "Query.h"

using namespace platform;

namespace ctl
{
namespace
{

// The extension table of the record's own top-level journal.
QString extensionTableOf(database::TDM& dm, int recId)
{
    auto q = dm.newQuery();
    q->setReadOnly(true);
    q->setSql("select FULLPATH from CORETABLE where RECID=" + QString::number(recId));
    q->open();
    if (q->isEmpty())
        throw Error(QString("no record %1").arg(recId));
    const QString path = q->fieldByName("FULLPATH")->asString();
    q->close();
    SqlStatement s("select EXTTABLE from MAGS where FULLPATH=");
    s.quoted(path.left(path.indexOf(u'`') + 1));
    q->setSql(s);
    q->open();
    return q->isEmpty() ? QString() : q->fieldByName("EXTTABLE")->asString().trimmed();
}

int packContext(Invocation& inv)
{
    if (inv.args.size() != 1)
        throw Error("usage: pack-context RECID");
    auto dm = MakeDataModule(inv);
    ConnectServer(*dm, inv);
    const int recId = IntArg(inv.args[0], "RECID");
    inv.out << signature::PackRecordContext(*dm->currentServer(), recId,
                                            extensionTableOf(*dm, recId))
            << "\n";
    return 0;
}

int unpackContext(Invocation& inv)
{
    if (inv.args.size() != 1)
        throw Error("usage: unpack-context TEXT");
    DataSet snapshot;
    signature::UnpackRecordContext(inv.args[0], snapshot);
    for (snapshot.first(); !snapshot.eof(); snapshot.next()) {
        for (int i = 0; i < snapshot.fieldCount(); ++i) {
            const Field* f = snapshot.field(i);
            inv.out << f->name() << " (type " << int(f->type()) << ", size " << f->size()
                    << ") = " << (f->isNull() ? QString("NULL") : f->asString()) << "\n";
        }
    }
    return 0;
}

const CommandRegistration registrations[] = {
    CommandRegistration{
        Command{"pack-context",
                "pack-context RECID",
                "Prints the packed context of a record: its CORETABLE row joined with the\n"
                "extension row of its top-level journal, as a signature covers it.",
                {},
                packContext}},
    CommandRegistration{
        Command{"unpack-context",
                "unpack-context TEXT",
                "Prints the fields and values of a packed context (no database needed), or\n"
                "the error that the text gives.",
                {},
                unpackContext}},
};

} // namespace
} // namespace ctl

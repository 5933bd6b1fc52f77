// Commands on journal records: export a selection, add and delete records as
// a logged-on user, through the data module's own record operations.

#include "CtlSupport.h"
#include "DemoRecords.h"
#include "Error.h"
#include "MagCommon.h"
#include "RecordSelection.h"

using namespace platform;

namespace ctl
{
namespace
{

const char* const kNoDeleteRight = "У Вас нет прав на удаление этой записи.";
const char kSeparator = ';';

// A CSV value: quoted when it holds the separator, a quote or a line break.
QString csvValue(const QString& text)
{
    if (!text.contains(QLatin1Char(kSeparator)) && !text.contains(u'"') && !text.contains(u'\n') &&
        !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString exportText(const Field* f)
{
    const QVariant v = f->value();
    if (v.typeId() == QMetaType::QDateTime)
        return DateTimeToSqlText(v.toDateTime());
    return f->asString();
}

QDateTime dateArg(const Invocation& inv, const char* name)
{
    const QString text = inv.opt(QLatin1String(name));
    const QDateTime dt = DateTimeFromText(text.trimmed());
    if (!dt.isValid())
        throw Error(
            QStringLiteral("--%1 needs a date and time (yyyy-MM-dd[ hh:mm[:ss[.zzz]]]), not '%2'")
                .arg(QLatin1String(name), text));
    return dt;
}

void requireJournal(database::TDM& dm, const QString& path)
{
    auto q = dm.newQuery();
    SqlStatement s("SELECT FULLPATH FROM MAGS WHERE FULLPATH=");
    s.quoted(path);
    q->setSql(s);
    q->open();
    if (q->isEmpty())
        throw Error(QStringLiteral("no journal with the path '%1'").arg(path));
}

// The selection of the command's options, as the selection dialog would make it.
database::RecordSelection selectionOf(database::TDM& dm, const Invocation& inv,
                                      const QString& journal)
{
    database::RecordSelection selection;
    const int mode = IntArg(inv.opt("mode", "0"), "--mode");
    if (mode < 0 || mode > 3)
        throw Error(QStringLiteral("--mode must be 0 to 3, not %1").arg(mode));
    selection.dateMode = database::DateMode(mode);
    if (mode != 0) {
        selection.begin = dateArg(inv, "from");
        selection.end = dateArg(inv, "to");
    }
    if (!inv.has("states"))
        return selection;
    QString caption;
    DataSet* states = dm.GetStateLookup(journal, caption);
    if (!states || !states->active())
        throw Error(QStringLiteral("the journal '%1' has no state reference").arg(journal));
    QList<int> wanted;
    for (const QString& code : inv.opt("states").split(u',', Qt::SkipEmptyParts))
        wanted.append(IntArg(code.trimmed(), "a state code"));
    const Field* code = states->fieldByName(QStringLiteral("ACODE"));
    for (states->first(); !states->eof(); states->next()) {
        const int c = int(code->asInteger());
        selection.states.append({c, wanted.removeAll(c) > 0});
    }
    if (!wanted.isEmpty())
        throw Error(QStringLiteral("state code %1 is not in the journal's state reference")
                        .arg(wanted.first()));
    return selection;
}

int records(Invocation& inv)
{
    if (inv.args.size() != 1)
        throw Error("usage: records JOURNAL [--mode 0-3 --from DATE --to DATE --states CODES "
                    "--object PATH]");
    const QString journal = inv.args[0];
    auto dm = MakeDataModule(inv);
    ConnectServer(*dm, inv);
    requireJournal(*dm, journal);
    catalogue::CreateRefList(*dm);
    dm->ConformsTable->open();
    const database::SelectionCondition condition =
        database::ComposeSelectionCondition(selectionOf(*dm, inv, journal));
    dm->OpenUserQuery(journal, dm->ExtTableOf(journal), inv.opt("object"), false,
                      condition.conditions, condition.params);

    DataSet& records = *dm->GRQuery;
    inv.out << records.fieldNames().join(QLatin1Char(kSeparator)) << "\n";
    for (records.first(); !records.eof(); records.next()) {
        QStringList values;
        for (int i = 0; i < records.fieldCount(); ++i)
            values.append(csvValue(exportText(records.field(i))));
        inv.out << values.join(QLatin1Char(kSeparator)) << "\n";
    }
    return 0;
}

int addRecord(Invocation& inv)
{
    if (inv.args.isEmpty())
        throw Error("usage: add-record JOURNAL FIELD=VALUE ... [--count N]");
    const QString journal = inv.args[0];
    QList<QPair<QString, QString>> values;
    for (const QString& word : inv.args.mid(1)) {
        const qsizetype eq = word.indexOf(u'=');
        if (eq <= 0)
            throw Error(QStringLiteral("'%1' is not FIELD=VALUE").arg(word));
        values.append({word.left(eq), word.mid(eq + 1)});
    }
    const int count = IntArg(inv.opt("count", "1"), "--count");

    auto dm = MakeDataModule(inv);
    startup::HeadlessLogOnView view;
    LogOnUser(*dm, inv, view);
    const catalogue::JournalNode* node =
        catalogue::FindNodeByPath(view.journalTree().first(), journal);
    if (!node)
        throw Error(
            QStringLiteral("the journal '%1' is not in the user's journal tree").arg(journal));
    // As the main window: only a journal without children takes new records.
    if (node->hasChildren() ||
        catalogue::CheckRight(node, journal, QStringLiteral("ALL"), QStringLiteral("c")).isEmpty())
        throw Error(
            QStringLiteral("the user may not create records in the journal '%1'").arg(journal));

    dm->OpenUserQuery(journal, node->info.ExtTable, QString(), true, QString(), {});
    for (int i = 0; i < count; ++i) {
        dm->BeforeInsert(journal);
        dm->GRQuery->edit();
        for (const auto& [name, value] : values)
            dm->GRQuery->fieldByName(name)->setValue(value.isEmpty() ? QVariant()
                                                                     : QVariant(value));
        dm->UsrModify();
        inv.out << "added record " << dm->GRQuery->fieldByName(QStringLiteral("RECID"))->asInteger()
                << "\n";
    }
    return 0;
}

int deleteRecord(Invocation& inv)
{
    if (inv.args.size() != 1)
        throw Error("usage: delete-record RECID");
    const int recId = IntArg(inv.args[0], "RECID");
    auto dm = MakeDataModule(inv);
    startup::HeadlessLogOnView view;
    LogOnUser(*dm, inv, view);

    auto q = dm->newQuery();
    q->setSql(QStringLiteral("SELECT FULLPATH FROM CORETABLE WHERE RECID=") +
              QString::number(recId));
    q->open();
    if (q->isEmpty())
        throw Error(QStringLiteral("no record %1").arg(recId));
    const QString path = q->fieldByName(QStringLiteral("FULLPATH"))->asString();
    if (catalogue::CheckRight(view.journalTree().first(), path, QStringLiteral("ALL"),
                              QStringLiteral("d"))
            .isEmpty()) {
        inv.err << QString::fromUtf8(kNoDeleteRight) << "\n";
        inv.err.flush();
        return 1;
    }
    dm->OpenUserQuery(path, dm->ExtTableOf(path), QString(), false,
                      QStringLiteral(" and (coretable.RecID=") + QString::number(recId) + u')', {});
    if (!dm->GRQuery->locate(QStringLiteral("RECID"), recId))
        throw Error(QStringLiteral("no record %1").arg(recId));
    dm->UsrDelete();
    inv.out << "deleted record " << recId << "\n";
    return 0;
}

int demoRecords(Invocation& inv)
{
    auto dm = MakeDataModule(inv);
    ConnectServer(*dm, inv);
    const int before = dm->MaxID(QStringLiteral("CORETABLE"), QStringLiteral("RECID"));
    AddDemoRecords(*dm);
    inv.out << "added records " << before << " to "
            << dm->MaxID(QStringLiteral("CORETABLE"), QStringLiteral("RECID")) - 1 << "\n";
    return 0;
}

const CommandRegistration registrations[] = {
    CommandRegistration{
        Command{"records",
                "records JOURNAL [--mode 0-3 --from DATE --to DATE --states CODES --object PATH]",
                "Prints the records of a journal and of every journal below it as the record\n"
                "selection fetches them: every field with the lookup texts, \";\"-separated, with\n"
                "a header line. --mode: 0 all records, 1 by creation date, 2 by the date in the\n"
                "record (DATE1), 3 by the record's own range overlapping --from..--to (dates as\n"
                "yyyy-MM-dd[ hh:mm[:ss[.zzz]]]). --states: the state codes to include (\"1,3\").\n"
                "--object: only records of this equipment node and of the nodes below it.",
                {"--mode", "--from", "--to", "--states", "--object"},
                records}},
    CommandRegistration{
        Command{"add-record",
                "add-record JOURNAL FIELD=VALUE ... [--count N] --user N --password TEXT",
                "Logs on and creates a record in a journal as \"Создать\" and the record form do:\n"
                "the journal must have no children and the user the \"c\" right. Fields are\n"
                "named as in the record dataset; a lookup field (S_STATE=Закрыта) sets its code.\n"
                "With --count the same values are saved N times. Prints each new RECID.",
                {"--count"},
                addRecord}},
    CommandRegistration{
        Command{"delete-record",
                "delete-record RECID --user N --password TEXT",
                "Logs on and deletes a record with its extension row and its whole history,\n"
                "when the user has the \"d\" right on the record's journal.",
                {},
                deleteRecord}},
    CommandRegistration{
        Command{"demo-records",
                "demo-records",
                "Adds a few hundred demo records with history to every journal without\n"
                "children of a site whose journals, references and equipment exist.",
                {},
                demoRecords}},
};

} // namespace
} // namespace ctl

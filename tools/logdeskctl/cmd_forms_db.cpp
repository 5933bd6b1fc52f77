// Commands for stored forms in the database: import and export the stored
// objects of USERFORMS, check the form that serves a journal, and render a
// journal's form bound to its records as the user sees it.

#include "ComponentRegistry.h"
#include "CtlSupport.h"
#include "DataControls.h"
#include "DemoForms.h"
#include "Error.h"
#include "FormBinding.h"
#include "FormText.h"
#include "MagCommon.h"
#include "RecordSelection.h"
#include "StoredForms.h"
#include "TDBStream.h"
#include "UsUnit.h"

#include <QCoreApplication>
#include <QFile>
#include <QImage>

using namespace platform;

namespace ctl
{
namespace
{

// What form-render selects: the records of the last two months.
constexpr int kRenderMonths = 2;

int KindArg(const QString& text, bool formsOnly)
{
    const int kind = IntArg(text, "KIND");
    const int last = formsOnly ? database::RecordListForm : database::ReportTemplate;
    if (kind < database::RecordForm || kind > last)
        throw Error(formsOnly ? QStringLiteral("KIND must be 1 (record form) or 2 (list form)")
                              : QStringLiteral("KIND must be 1 (record form), 2 (list form) or 3 "
                                               "(report template)"));
    return kind;
}

// The name under which a stored object is kept. Forms are found under a
// single blank, so a blank or empty name is stored as one, as loading
// reads it.
QString StoredName(const QString& name)
{
    return name.trimmed().isEmpty() ? QStringLiteral(" ") : name;
}

// The stored form that serves a journal, searched as FindStoredForm does:
// the journal's own, else its nearest ancestor's. Sets servedBy to the
// journal it was stored for; empty bytes when there is none.
QByteArray FindFormStream(database::TDM& dm, const QString& path, const QString& name, int kind,
                          QString& servedBy)
{
    for (QString p = path; !p.isEmpty(); p = catalogue::ParentPath(p)) {
        database::TDBStream stream(dm);
        stream.LoadFromDB(p, name, kind);
        if (stream.size() > 0) {
            servedBy = p;
            return stream.bytes();
        }
    }
    return {};
}

int formImport(Invocation& inv)
{
    if (inv.args.size() != 4)
        throw Error("usage: form-import PATH KIND NAME FILE");
    const int kind = KindArg(inv.args[1], false);
    const QByteArray bytes = ReadFileBytes(inv.args[3]);
    // A form that would not read is refused before it replaces a good one.
    if (kind != database::ReportTemplate) {
        editing::ReadOptions check;
        check.createObjects = false;
        try {
            (void)editing::ReadComponent(bytes, check);
        } catch (const Error& e) {
            inv.err << e.text() << "\n";
            return 1;
        }
    }
    auto dm = MakeDataModule(inv);
    ConnectServer(*dm, inv);
    database::TDBStream stream(*dm);
    stream.bytes() = bytes;
    stream.SaveToDB(inv.args[0], StoredName(inv.args[2]), kind);
    inv.out << "stored " << bytes.size() << " bytes for " << inv.args[0] << "\n";
    return 0;
}

int formExport(Invocation& inv)
{
    if (inv.args.size() != 4)
        throw Error("usage: form-export PATH KIND NAME FILE");
    const int kind = KindArg(inv.args[1], false);
    auto dm = MakeDataModule(inv);
    ConnectServer(*dm, inv);
    database::TDBStream stream(*dm);
    stream.LoadFromDB(inv.args[0], inv.args[2], kind);
    if (stream.size() == 0) {
        inv.err << "no stored object of kind " << kind << " named '" << inv.args[2] << "' for "
                << inv.args[0] << "\n";
        return 1;
    }
    WriteFileBytes(inv.args[3], stream.bytes());
    inv.out << "exported " << stream.size() << " bytes into " << inv.args[3] << "\n";
    return 0;
}

int formCheckDb(Invocation& inv)
{
    if (inv.args.size() < 2 || inv.args.size() > 3)
        throw Error("usage: form-check-db PATH KIND [NAME]");
    const int kind = KindArg(inv.args[1], true);
    const QString name = inv.args.value(2);
    auto dm = MakeDataModule(inv);
    ConnectServer(*dm, inv);
    QString servedBy;
    const QByteArray bytes = FindFormStream(*dm, inv.args[0], name, kind, servedBy);
    if (bytes.isEmpty()) {
        inv.err << QString::fromUtf8(editing::kFormNotFound) << "\n";
        return 1;
    }
    editing::StreamComponent tree;
    editing::ReadOptions options;
    options.tree = &tree;
    try {
        (void)editing::ReadComponent(bytes, options);
    } catch (const Error& e) {
        inv.err << e.text() << "\n";
        return 1;
    }
    inv.out << "stored for " << servedBy << "\n";
    for (const QString& line : editing::PrintComponentTree(tree))
        inv.out << line << "\n";
    return 0;
}

int formRender(Invocation& inv)
{
    if (inv.args.size() != 3)
        throw Error("usage: form-render PATH KIND OUT.png");
    const QString path = inv.args[0];
    const int kind = KindArg(inv.args[1], true);
    editing::InstallDataControls();
    auto dm = MakeDataModule(inv);
    startup::HeadlessLogOnView view;
    LogOnUser(*dm, inv, view);
    // FindStoredForm tells the user why there is no form; the message
    // handler prints it.
    std::unique_ptr<editing::TUForm> form = editing::FindStoredForm(*dm, path, {}, kind);
    if (!form)
        return 1;

    database::RecordSelection selection;
    selection.dateMode = database::DateMode::RecordDate;
    selection.end = QDateTime::currentDateTime();
    selection.begin = selection.end.addMonths(-kRenderMonths);
    const database::SelectionCondition condition = database::ComposeSelectionCondition(selection);
    dm->OpenUserQuery(path, dm->ExtTableOf(path), {}, false, condition.conditions,
                      condition.params);

    editing::FormContext context;
    context.dm = dm.get();
    context.journals = &view.journalTree();
    context.chooser = &view.chooser();
    editing::SetUDataSet(*form, dm->GRQuery, context);
    form->setAttribute(Qt::WA_DontShowOnScreen);
    form->show();
    QCoreApplication::processEvents();
    const QImage image = form->grab().toImage();
    if (!image.save(inv.args[2], "PNG"))
        throw Error(QStringLiteral("cannot write %1").arg(inv.args[2]));
    inv.out << "rendered " << image.width() << "x" << image.height() << " with "
            << dm->GRQuery->recordCount() << " records into " << inv.args[2] << "\n";
    return 0;
}

int demoForms(Invocation& inv)
{
    if (!inv.args.isEmpty())
        throw Error("usage: demo-forms");
    auto dm = MakeDataModule(inv);
    ConnectServer(*dm, inv);
    AddDemoForms(*dm);
    for (const DemoForm& form : DemoForms())
        inv.out << "stored form of kind " << form.kind << " for " << form.path << "\n";
    return 0;
}

CommandRegistration importReg{
    Command{"form-import",
            "form-import PATH KIND NAME FILE",
            "Stores the file FILE in USERFORMS for the journal PATH as the object of KIND\n"
            "(1 record form, 2 list form, 3 report template) named NAME (' ' for forms;\n"
            "an empty or blank NAME is stored as ' '), replacing what is stored there.\n"
            "A form that does not read as a stored form is refused with the reader's text.",
            {},
            formImport}};

CommandRegistration exportReg{
    Command{"form-export",
            "form-export PATH KIND NAME FILE",
            "Writes the object of KIND named NAME stored for the journal PATH into FILE\n"
            "(exit 1 when there is none).",
            {},
            formExport}};

CommandRegistration checkDbReg{
    Command{"form-check-db",
            "form-check-db PATH KIND [NAME]",
            "Finds the form of KIND (1 record form, 2 list form) that serves the journal\n"
            "PATH, its own or its nearest ancestor's, prints the journal it is stored for\n"
            "and its tree; when there is none or it does not read, prints the program's\n"
            "exact message and exits 1.",
            {},
            formCheckDb}};

CommandRegistration renderReg{
    Command{"form-render",
            "form-render PATH KIND OUT.png",
            "Logs on as --user, finds the form of KIND (1 record form, 2 list form) that\n"
            "serves the journal PATH, binds it to the journal's records of the last two\n"
            "months with the user's rights, and saves a picture of it as PNG.",
            {},
            formRender}};

CommandRegistration demoFormsReg{
    Command{"demo-forms",
            "demo-forms",
            "Stores the demo site's record and list forms in a database that has the demo\n"
            "journals, replacing the forms stored for them.",
            {},
            demoForms}};

} // namespace
} // namespace ctl

// Commands for stored forms as files: compile the component notation to a
// component stream, and check a stream the way the program reads it.

#include "Command.h"
#include "ComponentRegistry.h"
#include "CtlSupport.h"
#include "Error.h"
#include "FormText.h"

#include <QApplication>
#include <QFile>

using namespace platform;

namespace ctl
{
namespace
{

int formCompile(Invocation& inv)
{
    if (inv.args.size() != 2)
        throw Error("usage: form-compile IN OUT");
    const QByteArray stream =
        editing::CompileFormText(QString::fromUtf8(ReadFileBytes(inv.args[0])));
    WriteFileBytes(inv.args[1], stream);
    inv.out << "compiled " << stream.size() << " bytes into " << inv.args[1] << "\n";
    return 0;
}

int formCheck(Invocation& inv)
{
    // "form-check PATH KIND [NAME]" checks a stored form instead of a file.
    if (inv.args.size() == 2 || inv.args.size() == 3)
        return commandTable().at(QStringLiteral("form-check-db")).run(inv);
    if (inv.args.size() != 1)
        throw Error("usage: form-check FILE | form-check PATH KIND [NAME]");
    const QByteArray stream = ReadFileBytes(inv.args[0]);
    editing::StreamComponent tree;
    editing::ReadOptions options;
    options.tree = &tree;
    // Without a widget application the stream is checked against the class
    // registry as a reading would, with the same failures, but no window is
    // made.
    options.createObjects = qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
    try {
        (void)editing::ReadComponent(stream, options);
    } catch (const Error& e) {
        inv.err << e.text() << "\n";
        return 1;
    }
    for (const QString& line : editing::PrintComponentTree(tree))
        inv.out << line << "\n";
    return 0;
}

CommandRegistration compileReg{
    Command{"form-compile",
            "form-compile IN OUT",
            "Compiles a component tree written in the component notation (IN, UTF-8 text)\n"
            "into a component stream file OUT, as stored forms hold them.",
            {},
            formCompile}};

CommandRegistration checkReg{
    Command{"form-check",
            "form-check FILE | form-check PATH KIND [NAME]",
            "Reads the component stream FILE as the program reads a stored form and prints\n"
            "its tree, one component a line with its class, name and properties; on a\n"
            "fault prints the reader's exact error text and exits 1. With PATH and KIND\n"
            "(1 record form, 2 list form, 3 report template) it checks the stored form\n"
            "that serves the journal, as form-check-db does.",
            {},
            formCheck}};

} // namespace
} // namespace ctl

// libFuzzer target for the stored component stream: arbitrary bytes go
// through the byte reader, the printer, the registry check and the reading
// into widgets (on the offscreen platform). Every input must end either in a
// tree or in one of the reader's error texts; anything else (a crash, a
// sanitizer report, another exception) is a fault.

#include "ComponentRegistry.h"
#include "Error.h"
#include "FormText.h"

#include <QApplication>
#include <cstdint>
#include <cstdlib>

namespace
{

const QStringList kEndings = {
    "Invalid stream format",  "not found",      "does not exist",
    "Invalid property value", "already exists", "Stream read error",
};

void ExpectReaderText(const platform::Error& e)
{
    for (const QString& ending : kEndings)
        if (e.text().endsWith(ending))
            return;
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Hostile sizes make the widgets warn; the warnings are no faults.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static int appArgc = *argc;
    static QApplication app(appArgc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        (void)editing::PrintComponentTree(editing::ReadStreamTree(bytes));
    } catch (const platform::Error& e) {
        ExpectReaderText(e);
    }
    for (bool create : {false, true}) {
        editing::ReadOptions options;
        options.createObjects = create;
        try {
            (void)editing::ReadComponent(bytes, options);
        } catch (const platform::Error& e) {
            ExpectReaderText(e);
        }
    }
    // Let deferred deletions and the toolkit's cache timers run, as the
    // program's event loop would between two forms.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
    return 0;
}

// logdesk: the operators' journal workstation.

#include "DMUnit.h"
#include "JConnection.h"
#include "JMainUnit.h"

#include <QApplication>

namespace
{

// The main window as the log-on sees it.
class MainWindowLogOnView : public startup::LogOnView
{
public:
    explicit MainWindowLogOnView(browse::TfrmJournalMain& window) : m_window(window) {}
    void setCaption(const QString& caption) override { m_window.setWindowTitle(caption); }
    void setBusy(bool busy) override
    {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    }
    catalogue::JournalTree& journalTree() override { return m_window.journals; }
    catalogue::EquipmentTree& equipmentTree() override { return m_window.equipment; }
    catalogue::EquipmentChooserTree& chooser() override { return m_chooser; }
    void journalTreeRebuilt() override { m_window.treesRebuilt(); }

private:
    browse::TfrmJournalMain& m_window;
    catalogue::EquipmentChooserTree m_chooser; // the equipment chooser holder's tree
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brenholt"));
    QCoreApplication::setApplicationName(QStringLiteral("logdesk"));
    database::LogOn().CurrentUID = -1;

    // Start order: the main window, then the data module.
    browse::TfrmJournalMain mainWindow;
    database::TDM dm(database::ProgramCommandLine());
    mainWindow.setDataModule(&dm);
    MainWindowLogOnView view(mainWindow);
    mainWindow.logOnCommand = [&] { startup::RunLogOnCommand(dm, view, &mainWindow); };

    mainWindow.show();
    return app.exec();
}

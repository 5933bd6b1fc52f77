#pragma once
// TfrmJournalMain: the program's main window. It holds the journal tree, the
// equipment tree and the embedded list form; its menu "Сервер" opens the
// connection dialog.

#include "MagCommon.h"

#include <QAction>
#include <QMainWindow>
#include <functional>

class QTreeView;

namespace database
{
class TDM;
}

namespace browse
{

inline constexpr const char* kMainCaption = "Оперативные журналы";

class TfrmJournalMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit TfrmJournalMain(QWidget* parent = nullptr);

    // The data module is created after the window (start order); it is given
    // here once it exists.
    void setDataModule(database::TDM* dm) { m_dm = dm; }

    // What "Установить/завершить соединение" runs (the connection dialog).
    std::function<void()> logOnCommand;

    QAction* itmServerLogon;
    QAction* itmExit;

    // The trees as data, and the views that show them.
    catalogue::JournalTree journals;
    catalogue::EquipmentTree equipment;
    QTreeView* MagTree;
    QTreeView* EQTree;

    // Takes the selected journal into account: the current journal values
    // (and the buttons that depend on them).
    void MagTreeClick();
    // The log-on rebuilt the journal tree.
    void treesRebuilt();

    // Posts the log-on command to itself, so the dialog opens after the window
    // has appeared.
    void FormShow();
    void itmServerLogonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    database::TDM* m_dm = nullptr;
    bool m_shown = false;
};

} // namespace browse

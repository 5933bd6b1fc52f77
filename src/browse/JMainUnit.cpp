#include "JMainUnit.h"

#include "DMUnit.h"

#include <QMenuBar>
#include <QShowEvent>

namespace browse {

TfrmJournalMain::TfrmJournalMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmJournalMain"));
    setWindowTitle(QString::fromUtf8(kMainCaption));
    QMenu* server = menuBar()->addMenu(QStringLiteral("Сервер"));
    itmServerLogon = server->addAction(QStringLiteral("Установить/завершить соединение"));
    itmServerLogon->setObjectName(QStringLiteral("itmServerLogon"));
    itmServerLogon->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    connect(itmServerLogon, &QAction::triggered, this, &TfrmJournalMain::itmServerLogonClick);
    server->addSeparator();
    itmExit = server->addAction(QStringLiteral("Выход"));
    itmExit->setObjectName(QStringLiteral("itmExit"));
    connect(itmExit, &QAction::triggered, this, &QWidget::close);
    resize(1000, 700);
}

void TfrmJournalMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_shown && !event->spontaneous()) {
        m_shown = true;
        FormShow();
    }
}

void TfrmJournalMain::FormShow()
{
    if (!m_dm)
        return;
    platform::Server* server = m_dm->currentServer();
    if (server == m_dm->ServerTCP)
        server->setApplicationName(QStringLiteral("logdesk"));
    if (!server->connected())
        QMetaObject::invokeMethod(itmServerLogon, &QAction::trigger, Qt::QueuedConnection);
}

void TfrmJournalMain::itmServerLogonClick()
{
    if (logOnCommand)
        logOnCommand();
}

}  // namespace browse

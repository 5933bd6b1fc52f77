#include "JMainUnit.h"

#include "DMUnit.h"

#include <QMenuBar>
#include <QShowEvent>
#include <QSplitter>
#include <QStyle>
#include <QTreeView>

namespace browse
{

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
    auto* splitter = new QSplitter(Qt::Vertical, this);
    MagTree = new QTreeView(splitter);
    MagTree->setObjectName(QStringLiteral("MagTree"));
    MagTree->setHeaderHidden(true);
    MagTree->setModel(new catalogue::TreeModel(&journals, 1, MagTree));
    EQTree = new QTreeView(splitter);
    EQTree->setObjectName(QStringLiteral("EQTree"));
    EQTree->setHeaderHidden(true);
    EQTree->setModel(new catalogue::TreeModel(&equipment, 1, EQTree));
    // The root item of a rebuilt equipment tree is expanded and selected.
    connect(EQTree->model(), &QAbstractItemModel::modelReset, this, [this] {
        auto* model = static_cast<catalogue::TreeModel*>(EQTree->model());
        if (equipment.selected()) {
            const QModelIndex root = model->indexOf(equipment.selected());
            EQTree->expand(root);
            EQTree->setCurrentIndex(root);
        }
    });
    connect(MagTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TfrmJournalMain::MagTreeClick);
    auto* left = new QSplitter(Qt::Horizontal, this);
    left->addWidget(splitter);
    left->addWidget(new QWidget(left)); // the list form's place
    left->setStretchFactor(1, 3);
    setCentralWidget(left);
    resize(1000, 700);
}

void TfrmJournalMain::MagTreeClick()
{
    auto* model = static_cast<catalogue::TreeModel*>(MagTree->model());
    catalogue::SelectJournal(
        static_cast<catalogue::JournalNode*>(model->node(MagTree->currentIndex())));
}

void TfrmJournalMain::treesRebuilt()
{
    MagTreeClick();
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

} // namespace browse

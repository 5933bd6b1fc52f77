#include "JConnection.h"

#include "DMUnit.h"
#include "Error.h"
#include "LogOnCatalogue.h"
#include "Messages.h"
#include "SHA.h"
#include "SettingsStore.h"
#include "TextEncoding.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

using namespace platform;
using database::LogOn;
using database::TDM;

namespace startup
{

namespace
{

const char* const kSettingsSection = "TfrmJConnect";
const char* const kAddressHistory = "TConnect\\editAddress";
const char* const kAliasHistory = "TConnect\\editAlias";

// Closes what a refused log-on leaves open.
void refuse(TDM& dm, const char* message)
{
    ShowError(QString::fromUtf8(message));
    dm.Query->close();
    dm.currentServer()->close();
}

// Masks the password with "*", as the dialog always has.
class StarPasswordStyle : public QProxyStyle
{
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* ret) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, ret);
    }
};

} // namespace

int UserNumberFromText(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^ *[+-]?[0-9]+$"));
    if (!number.match(text).hasMatch())
        return -1;
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok ? n : -1;
}

bool PasswordMatches(const QString& password, const QString& pwdHash)
{
    const QString digest = signature::Sha1Hex(ToCp1251(password));
    return pwdHash.size() >= 40 && QStringView(pwdHash).left(40) == digest;
}

void ConnectAndLogOn(TDM& dm, LogOnView& view, const QString& address, const QString& databaseText,
                     const QString& userNumberText, const QString& password)
{
    Server* server = dm.currentServer();
    if (server == dm.ServerTCP)
        server->setAddress(address);
    const QStringList fields = databaseText.split(u':');
    server->setDatabaseName(fields.value(0));
    server->setUserName(fields.value(1));
    server->setPassword(password);
    if (server->userName().isEmpty()) {
        server->setUserName(QString::fromUtf8(kProgramDbUser));
        server->setPassword(QString::fromUtf8(kProgramDbPassword));
    }

    view.setBusy(true);
    try {
        server->open();

        LogOn().CurrentUID = UserNumberFromText(userNumberText);
        if (LogOn().CurrentUID == -1) {
            refuse(dm, kNoUserNumber);
            view.setBusy(false);
            return;
        }

        dm.UsersTable->close();
        dm.UsersTable->setReadOnly(true);
        dm.UsersTable->setFilter(QStringLiteral("UID=") + QString::number(LogOn().CurrentUID));
        dm.UsersTable->setFiltered(true);
        dm.UsersTable->open();
        if (dm.UsersTable->isEmpty()) {
            refuse(dm, kUnknownUser);
            view.setBusy(false);
            return;
        }

        if (!PasswordMatches(password,
                             dm.UsersTable->fieldByName(QStringLiteral("PWDHASH"))->asString())) {
            refuse(dm, kWrongPassword);
            view.setBusy(false);
            return;
        }

        const Field* gid = dm.UsersTable->fieldByName(QStringLiteral("GID"));
        LogOn().CurrentGID = gid->isNull() ? 0 : int(gid->asInteger());
        view.setCaption(QStringLiteral("Оперативные журналы - ") +
                        dm.UsersTable->fieldByName(QStringLiteral("FIO"))->asString().trimmed());

        LoadUserCatalogue(dm, view);
    } catch (const std::exception& e) {
        server->close();
        view.setBusy(false);
        ShowPlain(ErrorText(e));
        return;
    }
    view.setBusy(false);
}

void Disconnect(TDM& dm, LogOnView& view)
{
    UnloadUserCatalogue(dm);
    LogOn().CurrentUID = -1;
    view.journalTree().clear();
    view.equipmentTree().clear();
    // Nothing may use a node of the cleared tree.
    catalogue::ClearCurrentJournal();
    view.setCaption(QString::fromUtf8("Оперативные журналы"));
    dm.currentServer()->close();
}

// --- the dialog ---------------------------------------------------------------

TfrmJConnect::TfrmJConnect(TDM& dm, LogOnView& view, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_dm(dm), m_view(view)
{
    setObjectName(QStringLiteral("frmJConnect"));
    setWindowTitle(QStringLiteral("Параметры соединения"));

    auto* picture = new QLabel(this);
    picture->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(48, 48));
    auto* banner = new QLabel(QStringLiteral("Укажите IP адрес компьютера,\nна котором запущен\n"
                                             "сервер БД, номер и пароль \nпользователя ОИК"),
                              this);
    auto* top = new QHBoxLayout;
    top->addWidget(picture);
    top->addWidget(banner, 1);

    editAddress = new QComboBox(this);
    editAddress->setObjectName(QStringLiteral("editAddress"));
    editAlias = new QComboBox(this);
    editAlias->setObjectName(QStringLiteral("editAlias"));
    for (QComboBox* box : {editAddress, editAlias}) {
        box->setEditable(true);
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setMinimumWidth(220);
    }
    editUserId = new QLineEdit(this);
    editUserId->setObjectName(QStringLiteral("editUserId"));
    editPassword = new QLineEdit(this);
    editPassword->setObjectName(QStringLiteral("editPassword"));
    editPassword->setEchoMode(QLineEdit::Password);
    auto* starStyle = new StarPasswordStyle;
    starStyle->setParent(editPassword);
    editPassword->setStyle(starStyle);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("TCP сервера"), editAddress);
    form->addRow(QStringLiteral("Имя базы данных"), editAlias);
    form->addRow(QStringLiteral("Пользователь"), editUserId);
    form->addRow(QStringLiteral("Пароль"), editPassword);

    btnOpen = new QPushButton(QStringLiteral("Подкл."), this);
    btnOpen->setObjectName(QStringLiteral("btnOpen"));
    btnOpen->setDefault(true);
    btnClose = new QPushButton(QStringLiteral("Откл."), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    connect(btnOpen, &QPushButton::clicked, this, &TfrmJConnect::btnOpenClick);
    connect(btnClose, &QPushButton::clicked, this, &TfrmJConnect::btnCloseClick);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOpen);
    buttons->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(editAddress, editAlias);
    setTabOrder(editAlias, editUserId);
    setTabOrder(editUserId, editPassword);
    setTabOrder(editPassword, btnOpen);
    setTabOrder(btnOpen, btnClose);
}

void TfrmJConnect::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    FormActivate();
}

void TfrmJConnect::FormShow()
{
    const SettingsStore store(QString::fromLatin1(kSettingsSection));
    const SettingsStore history(QString(), QStringLiteral("logdesk"));
    editAddress->clear();
    editAddress->addItems(history.history(QString::fromLatin1(kAddressHistory)));
    editAlias->clear();
    editAlias->addItems(history.history(QString::fromLatin1(kAliasHistory)));
    editAddress->setEditText(store.value(QStringLiteral("editAddress.Text")).toString());
    editAlias->setEditText(store.value(QStringLiteral("editAlias.Text")).toString());
    const bool connected = m_dm.currentServer()->connected();
    btnClose->setEnabled(connected);
    btnOpen->setEnabled(!connected);
    // While connected, Enter must not log on again.
    btnOpen->setDefault(!connected);
}

void TfrmJConnect::FormActivate()
{
    editUserId->setFocus();
}

void TfrmJConnect::btnOpenClick()
{
    if (!btnOpen->isEnabled())
        return;
    ConnectAndLogOn(m_dm, m_view, editAddress->currentText(), editAlias->currentText(),
                    editUserId->text(), editPassword->text());
    done(m_dm.currentServer()->connected() ? QDialog::Accepted : QDialog::Rejected);
}

void TfrmJConnect::btnCloseClick()
{
    Disconnect(m_dm, m_view);
    done(QDialog::Rejected);
}

void TfrmJConnect::done(int result)
{
    SettingsStore store(QString::fromLatin1(kSettingsSection));
    store.setValue(QStringLiteral("editAddress.Text"), editAddress->currentText());
    store.setValue(QStringLiteral("editAlias.Text"), editAlias->currentText());
    SettingsStore history(QString(), QStringLiteral("logdesk"));
    history.addToHistory(QString::fromLatin1(kAddressHistory), editAddress->currentText());
    history.addToHistory(QString::fromLatin1(kAliasHistory), editAlias->currentText());
    QDialog::done(result);
}

void RunLogOnCommand(TDM& dm, LogOnView& view, QWidget* parent)
{
    TfrmJConnect dialog(dm, view, parent);
    dialog.exec();
}

} // namespace startup

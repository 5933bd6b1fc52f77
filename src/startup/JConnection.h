#pragma once
// Connecting and logging on: ConnectAndLogOn, Disconnect and the connection
// dialog TfrmJConnect. The log-on runs without a window through LogOnView,
// which the main window implements and which logdeskctl and the tests
// implement headless.

#include "MagCommon.h"

#include <QDialog>
#include <QString>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace database
{
class TDM;
}

namespace startup
{

// The failure messages of the log-on.
inline constexpr const char* kNoUserNumber =
    "Оперативные журналы. ОШИБКА - Не задан номер пользователя и пароль";
inline constexpr const char* kUnknownUser =
    "Оперативные журналы. ОШИБКА - В системе не зарегистрировано такого пользователя";
inline constexpr const char* kWrongPassword =
    "Оперативные журналы. ОШИБКА - Пароль не верен. В доступе отказано";
// The program's own database account, used when no database user is given.
inline constexpr const char* kProgramDbUser = "logdesk";
inline constexpr const char* kProgramDbPassword = "k_vortex";

// What the log-on and Disconnect change outside the data module: the main
// window's caption and trees, and the equipment chooser holder's tree.
class LogOnView
{
public:
    virtual ~LogOnView() = default;
    virtual void setCaption(const QString& caption) = 0;
    virtual void setBusy(bool busy) = 0; // the hourglass cursor
    virtual catalogue::JournalTree& journalTree() = 0;
    virtual catalogue::EquipmentTree& equipmentTree() = 0;
    virtual catalogue::EquipmentChooserTree& chooser() = 0;
    // The journal tree was rebuilt: take the selected journal into account.
    virtual void journalTreeRebuilt() = 0;
};

// A view without windows: the caption and the trees as data.
class HeadlessLogOnView : public LogOnView
{
public:
    void setCaption(const QString& caption) override { m_caption = caption; }
    void setBusy(bool) override {}
    catalogue::JournalTree& journalTree() override { return m_journals; }
    catalogue::EquipmentTree& equipmentTree() override { return m_equipment; }
    catalogue::EquipmentChooserTree& chooser() override { return m_chooser; }
    void journalTreeRebuilt() override { catalogue::SelectJournal(m_journals.first()); }
    const QString& caption() const { return m_caption; }

private:
    QString m_caption;
    catalogue::JournalTree m_journals;
    catalogue::EquipmentTree m_equipment;
    catalogue::EquipmentChooserTree m_chooser;
};

// The text of the user number field as a number: decimal digits (leading
// blanks and a sign allowed), -1 for anything else.
int UserNumberFromText(const QString& text);
// Whether a password's digest matches a stored PWDHASH: the first 40
// characters of PWDHASH equal the upper-case SHA-1 digits of the password's
// code page 1251 bytes, letter case counting.
bool PasswordMatches(const QString& password, const QString& pwdHash);

// Connects the current server and logs the user on; on failure the user has
// been told why (message boxes) and the server is not connected.
void ConnectAndLogOn(database::TDM& dm, LogOnView& view, const QString& address,
                     const QString& databaseText, const QString& userNumberText,
                     const QString& password);
// Logs the user off and closes the connection.
void Disconnect(database::TDM& dm, LogOnView& view);

// The connection dialog ("Параметры соединения").
class TfrmJConnect : public QDialog
{
    Q_OBJECT
public:
    TfrmJConnect(database::TDM& dm, LogOnView& view, QWidget* parent = nullptr);

    QComboBox* editAddress;
    QComboBox* editAlias;
    QLineEdit* editUserId;
    QLineEdit* editPassword;
    QPushButton* btnOpen;
    QPushButton* btnClose;

    void FormShow();
    void FormActivate();
    void btnOpenClick();
    void btnCloseClick();

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    database::TDM& m_dm;
    LogOnView& m_view;
};

// The log-on command of the main window: a new dialog, shown modally, then
// destroyed.
void RunLogOnCommand(database::TDM& dm, LogOnView& view, QWidget* parent);

} // namespace startup

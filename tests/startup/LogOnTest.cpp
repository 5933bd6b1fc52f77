// Start-up and log-on: the server choice, the log-on refusals and rules, the
// connection dialog and Disconnect.

#include "DMUnit.h"
#include "DebugOutput.h"
#include "JConnection.h"
#include "MessageRecorder.h"
#include "SHA.h"
#include "Schema.h"
#include "TestDatabase.h"
#include "TextEncoding.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <gtest/gtest.h>

using namespace platform;
using database::LogOn;
using database::TDM;
using startup::ConnectAndLogOn;

TEST(ServerChoice, FirstSwitchAmongTheFirstThirtyWordsWins)
{
    QStringList thirty = {"logdesk.exe"};
    for (int i = 1; i < 31; ++i)
        thirty.append("x");
    struct Case {
        QString line;
        ServerKind kind;
    };
    const std::vector<Case> cases = {
        {"logdesk.exe", ServerKind::ADO},
        {"logdesk.exe /BDE", ServerKind::BDE},
        {"logdesk.exe /rda", ServerKind::TCP},
        {"logdesk.exe /Bde /RDA", ServerKind::BDE},
        {"logdesk.exe /RDA /BDE", ServerKind::TCP},
        {"logdesk.exe  /BDE", ServerKind::BDE}, // an empty word counts as a word
        {"/BDE logdesk.exe", ServerKind::ADO},  // word 0 is the program
        {"logdesk.exe /BDEX", ServerKind::ADO},
        {(thirty.mid(0, 30) + QStringList{"/BDE"}).join(' '), ServerKind::BDE}, // word 30
        {(thirty + QStringList{"/BDE"}).join(' '), ServerKind::ADO},            // word 31
        {"logdesk.exe" + QString(30, ' ') + "/RDA",
         ServerKind::TCP}, // 29 empty words: it is word 30
        {"logdesk.exe" + QString(31, ' ') + "/RDA", ServerKind::ADO},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        EXPECT_EQ(database::ChooseServerKind(c.line), c.kind);
    }
}

TEST(LogOnRules, UserNumberText)
{
    struct Case {
        const char* text;
        int number;
    };
    for (const Case& c :
         {Case{"5", 5}, Case{"0", 0}, Case{"", -1}, Case{"5 ", -1}, Case{"5a", -1}, Case{"abc", -1},
          Case{"-1", -1}, Case{" 7", 7}, Case{"99999999999", -1}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(startup::UserNumberFromText(c.text), c.number);
    }
}

TEST(LogOnRules, PasswordDigestComparison)
{
    const QString digest = signature::Sha1Hex(ToCp1251(QString::fromUtf8("пароль")));
    EXPECT_TRUE(startup::PasswordMatches(QString::fromUtf8("пароль"), digest));
    EXPECT_TRUE(startup::PasswordMatches(QString::fromUtf8("пароль"), digest + "trailing"));
    EXPECT_FALSE(startup::PasswordMatches(QString::fromUtf8("пароль"), digest.toLower()));
    EXPECT_FALSE(startup::PasswordMatches(QString::fromUtf8("пароль"), digest.left(39)));
    EXPECT_FALSE(startup::PasswordMatches("parol", digest));
    // An empty password is hashed like any other: SHA-1 of no bytes.
    EXPECT_TRUE(startup::PasswordMatches("", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"));
}

class LogOnFlow : public BackendTest
{
protected:
    void SetUp() override
    {
        BackendTest::SetUp();
        database::CreateSystemTables(*server);
        addUser(7, "  Иванов И.И. ", hash("secret"), "3");
        addUser(0, "Нулевой", hash("zero"), "NULL");
        addUser(8, "Строчный", hash("lower").toLower(), "1");
        addUser(9, "Длинный", hash("long") + "EXTRA", "1");
        addUser(10, "Пустой", hash(""), "2");
        dm = std::make_unique<TDM>(db->backend() == Backend::SQLite ? "x /BDE" : "x /RDA");
        dm->Timer1->stop();
        LogOn().CurrentUID = -1;
        LogOn().CurrentGID = 0;
    }
    static QString hash(const QString& p) { return signature::Sha1Hex(ToCp1251(p)); }
    void addUser(int uid, const QString& fio, const QString& pwd, const QString& gid)
    {
        SqlStatement s("INSERT INTO PERSONS (UID, FIO, PWDHASH, GID) VALUES (");
        s.number(uid) << ", ";
        s.quoted(fio) << ", ";
        s.quoted(pwd) << ", " << gid << ")";
        server->execute(s.text(), s.values());
    }
    void logOn(const QString& user, const QString& password, const QString& databaseText = {})
    {
        ConnectAndLogOn(*dm, view, db->address(),
                        databaseText.isNull() ? db->databaseName() : databaseText, user, password);
    }
    std::unique_ptr<TDM> dm;
    startup::HeadlessLogOnView view;
};

TEST_P(LogOnFlow, RefusalsShowTheirMessageAndLeaveTheServerClosed)
{
    struct Case {
        const char* user;
        const char* password;
        const char* message;
        int uidAfter;
    };
    const std::vector<Case> cases = {
        {"", "secret", startup::kNoUserNumber, -1},   {"7 ", "secret", startup::kNoUserNumber, -1},
        {"7x", "secret", startup::kNoUserNumber, -1}, {"-1", "secret", startup::kNoUserNumber, -1},
        {"99", "secret", startup::kUnknownUser, 99},  {"7", "Secret", startup::kWrongPassword, 7},
        {"8", "lower", startup::kWrongPassword, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.user) + "/" + c.password);
        MessageRecorder messages;
        logOn(c.user, c.password);
        ASSERT_EQ(messages.messages().size(), 1);
        EXPECT_EQ(messages.messages()[0].caption, "Ошибка");
        EXPECT_EQ(messages.messages()[0].icon, MsgIcon::Error);
        EXPECT_EQ(messages.messages()[0].text, QString::fromUtf8(c.message));
        EXPECT_FALSE(dm->currentServer()->connected());
        EXPECT_EQ(LogOn().CurrentUID, c.uidAfter);
        EXPECT_TRUE(view.caption().isEmpty());
    }
}

TEST_P(LogOnFlow, SuccessSetsTheLogOnValuesAndTheCaption)
{
    struct Case {
        const char* user;
        const char* password;
        int gid;
        const char* fio;
    };
    for (const Case& c : {Case{"7", "secret", 3, "Иванов И.И."}, Case{"0", "zero", 0, "Нулевой"},
                          Case{"9", "long", 1, "Длинный"}, Case{"10", "", 2, "Пустой"}}) {
        SCOPED_TRACE(c.user);
        MessageRecorder messages;
        logOn(c.user, c.password);
        EXPECT_TRUE(messages.messages().isEmpty()) << messages.texts().join("; ").toStdString();
        EXPECT_TRUE(dm->currentServer()->connected());
        EXPECT_EQ(LogOn().CurrentUID, QString(c.user).toInt());
        EXPECT_EQ(LogOn().CurrentGID, c.gid);
        EXPECT_EQ(view.caption(),
                  QString::fromUtf8("Оперативные журналы - ") + QString::fromUtf8(c.fio));
        startup::Disconnect(*dm, view);
        EXPECT_FALSE(dm->currentServer()->connected());
        EXPECT_EQ(LogOn().CurrentUID, -1);
        EXPECT_EQ(view.caption(), QString::fromUtf8("Оперативные журналы"));
    }
}

TEST_P(LogOnFlow, DatabaseTextChoosesTheDatabaseAccount)
{
    MessageRecorder messages;
    logOn("7", "secret", db->databaseName());
    EXPECT_EQ(dm->currentServer()->userName(), "logdesk");
    EXPECT_EQ(dm->currentServer()->password(), "k_vortex");
    startup::Disconnect(*dm, view);

    logOn("7", "secret", db->databaseName() + ":");
    EXPECT_EQ(dm->currentServer()->userName(), "logdesk");
    startup::Disconnect(*dm, view);

    logOn("7", "secret", db->databaseName() + ":" + "logdesk");
    EXPECT_TRUE(dm->currentServer()->connected());
    EXPECT_EQ(dm->currentServer()->password(), "secret");
    startup::Disconnect(*dm, view);
    EXPECT_TRUE(messages.messages().isEmpty()) << messages.texts().join("; ").toStdString();
}

TEST_P(LogOnFlow, AServerErrorIsShownAsItsTextInAPlainBox)
{
    MessageRecorder messages;
    const QString missing =
        db->backend() == Backend::SQLite ? db->databaseName() + ".missing" : "no_such_db_x";
    logOn("7", "secret", missing);
    ASSERT_EQ(messages.messages().size(), 1);
    EXPECT_TRUE(messages.messages()[0].caption.isEmpty());
    EXPECT_FALSE(messages.messages()[0].text.isEmpty());
    EXPECT_FALSE(dm->currentServer()->connected());
}

TEST_P(LogOnFlow, DialogOffersOnlyWhatFitsTheConnectionState)
{
    {
        startup::TfrmJConnect dialog(*dm, view);
        dialog.FormShow();
        EXPECT_TRUE(dialog.btnOpen->isEnabled());
        EXPECT_FALSE(dialog.btnClose->isEnabled());
        EXPECT_EQ(dialog.windowTitle(), "Параметры соединения");
        EXPECT_TRUE(dialog.windowFlags() & Qt::WindowStaysOnTopHint);
        dialog.editAddress->setEditText(db->address());
        dialog.editAlias->setEditText(db->databaseName());
        dialog.editUserId->setText("7");
        dialog.editPassword->setText("secret");
        EXPECT_EQ(dialog.editPassword->echoMode(), QLineEdit::Password);
        dialog.btnOpenClick();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    ASSERT_TRUE(dm->currentServer()->connected());
    {
        startup::TfrmJConnect dialog(*dm, view);
        dialog.FormShow();
        // The remembered texts come back.
        EXPECT_EQ(dialog.editAlias->currentText(), db->databaseName());
        EXPECT_EQ(dialog.editAlias->itemText(0), db->databaseName());
        EXPECT_FALSE(dialog.btnOpen->isEnabled());
        EXPECT_TRUE(dialog.btnClose->isEnabled());
        dialog.btnOpenClick(); // Enter while connected does nothing
        EXPECT_TRUE(dm->currentServer()->connected());
        dialog.btnCloseClick();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_FALSE(dm->currentServer()->connected());
    EXPECT_EQ(view.caption(), "Оперативные журналы");
    QSettings settings("Brenholt", "logdesk");
    EXPECT_EQ(settings.value("TfrmJConnect/editAlias.Text").toString(), db->databaseName());
    EXPECT_EQ(settings.value("TConnect/editAlias/Items").toStringList().value(0),
              db->databaseName());
}

TEST_P(LogOnFlow, LoadsTheUsersTreesAndKeepsTheCacheAfterALostConnection)
{
    server->execute("INSERT INTO MAGS (FULLPATH, DESCRIPTION, FULLDESCRIPTION) VALUES ('A`', "
                    "'Журнал А', 'Журнал А`'), "
                    "('B`', 'Закрытый', 'Закрытый`')");
    server->execute(
        "INSERT INTO CONFORMS (FULLPATH, FIELDNAME, PERMISSIONS) VALUES ('A`', 'ALL', 'G3=r,c')");
    server->execute(
        "INSERT INTO EQUIPMENT (FULLPATH, DESCRIPTION) VALUES ('E`', 'Насос'), ('E`M`', 'Мотор')");
    {
        platform::DebugCapture debug;
        logOn("7", "secret");
        EXPECT_EQ(debug.lines().filter("CreateRefList").size(), 2);
    }
    ASSERT_TRUE(dm->currentServer()->connected());
    EXPECT_TRUE(LogOn().ReferencesLoaded);
    ASSERT_EQ(view.journalTree().count(), 1); // "B`" is unreadable
    EXPECT_EQ(view.journalTree().first()->caption, "Журнал А");
    EXPECT_EQ(catalogue::CurrentJournal().FullPath, "A`");
    EXPECT_EQ(view.equipmentTree().count(), 3); // the root item and two items
    EXPECT_EQ(view.chooser().tree().count(), 3);

    // A failed keep-alive only marks the server not connected.
    dm->currentServer()->close();
    {
        platform::DebugCapture debug;
        logOn("7", "secret");
        EXPECT_TRUE(debug.lines().filter("CreateRefList").isEmpty());
    }
    EXPECT_EQ(view.journalTree().count(), 1);

    startup::Disconnect(*dm, view);
    EXPECT_FALSE(LogOn().ReferencesLoaded);
    EXPECT_TRUE(view.journalTree().isEmpty());
    EXPECT_TRUE(view.equipmentTree().isEmpty());
    EXPECT_EQ(catalogue::CurrentJournal().node, nullptr);
    EXPECT_FALSE(dm->findDataSet("RefDSEQRef"));
}

INSTANTIATE_BACKENDS(LogOnFlow);

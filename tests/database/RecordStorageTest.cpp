// Saving and deleting records: numbers, automatic numbering, the extension
// row, history rows and their comments, the debug lines, and what a failed
// save leaves behind (nothing).

#include "DataModuleFixture.h"
#include "DebugOutput.h"

using namespace database;
using namespace platform;

class RecordStorage : public DataModuleTest
{
protected:
    void SetUp() override
    {
        DataModuleTest::SetUp();
        addJournal("OPER`", "Оперативный", "EXT_OPER", {"WEATHER integer", "REMARK varchar(100)"});
        addJournal("OPER`SUB`", "Смена");
        addJournal("PLAIN`", "Без расширения");
        addReference("STATES", {"Открыта", "Закрыта"});
        addEquipment("PS`", "Подстанция", "PS-1");
        loadEquipmentCache();
        for (const char* journal : {"OPER`", "PLAIN`"}) {
            addConform(journal, "STATE", "Состояние", "STATES (Состояния)");
            addConform(journal, "OBJECT", "Объект", "Equipment (Оборудование)");
        }
        dm->ConformsTable->open();
    }

    // Edits the record with RECID id in the journal's list and saves it.
    void saveExisting(const QString& journal, int id, const QVariantMap& values)
    {
        openJournal(journal);
        ASSERT_TRUE(dm->GRQuery->locate("RECID", id));
        dm->GRQuery->edit();
        for (auto it = values.begin(); it != values.end(); ++it)
            dm->GRQuery->fieldByName(it.key())->setValue(it.value());
        dm->UsrModify();
    }
    QVariantList historyOf(int id, const char* column)
    {
        QVariantList values;
        QSqlQuery q = server->execute(
            QString("SELECT %1 FROM HISTORY WHERE RECID=? ORDER BY IDX").arg(column), {id});
        while (q.next())
            values.append(q.value(0).isNull() ? QVariant() : q.value(0));
        return values;
    }
};

TEST_P(RecordStorage, NewRecordsAreNumberedFromOneWithACreationRow)
{
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-1);
    const int first = createRecord("OPER`SUB`", {{"COMMENT", "Первая"}, {"WEATHER", 2}});
    EXPECT_EQ(first, 1);
    EXPECT_FALSE(dm->NewRecordPending);
    EXPECT_GE(dm->GRQuery->fieldByName("DATECREATE")->asDateTime(), before);
    EXPECT_EQ(
        count("SELECT IDX FROM HISTORY WHERE RECID=1 AND KIND=0 AND UID=7 AND COMMENT IS NULL"), 1);
    // The sub-journal's fields go to its top-level journal's extension table.
    EXPECT_EQ(count("SELECT WEATHER FROM EXT_OPER WHERE RECID=1"), 2);
    EXPECT_EQ(scalar("SELECT COMMENT FROM CORETABLE WHERE RECID=1").toString(), "Первая");
    EXPECT_EQ(scalar("SELECT FULLPATH FROM CORETABLE WHERE RECID=1").toString(), "OPER`SUB`");
    EXPECT_EQ(count("SELECT STATE FROM CORETABLE WHERE RECID=1"), 0)
        << "a null state is stored as 0";
    EXPECT_FALSE(scalar("SELECT STATE FROM CORETABLE WHERE RECID=1").isNull());

    EXPECT_EQ(createRecord("PLAIN`", {{"COMMENT", "Вторая"}}), 2);
    EXPECT_EQ(historyOf(2, "IDX"), QVariantList{2});
}

TEST_P(RecordStorage, AutomaticNumbersComeFromNextNums)
{
    struct Case {
        const char* name;
        int nextNum;
        int expectedNum;
        int expectedNextNum;
    };
    for (const Case& c :
         std::vector<Case>{{"numbering on", 5, 5, 6}, {"zero switches it off", 0, 42, 0}}) {
        SCOPED_TRACE(c.name);
        exec("DELETE FROM NEXTNUMS");
        exec("INSERT INTO NEXTNUMS (FULLPATH, FIELDNAME, NEXTNUM) VALUES ('OPER`', 'NUM', ?)",
             {c.nextNum});
        const int id = createRecord("OPER`SUB`", {{"NUM", 42}});
        EXPECT_EQ(dm->GRQuery->fieldByName("NUM")->asInteger(), c.expectedNum);
        EXPECT_EQ(count("SELECT NUM FROM CORETABLE WHERE RECID=?", {id}), c.expectedNum);
        EXPECT_EQ(count("SELECT NEXTNUM FROM NEXTNUMS"), c.expectedNextNum);
    }
}

TEST_P(RecordStorage, EverySaveWithAChangeAddsAHistoryRowNamingTheNewState)
{
    const int id = createRecord("OPER`", {{"STATE", 1}});
    struct Case {
        const char* name;
        QVariantMap change;
        QVariant storedState;
        QVariant comment;
    };
    const std::vector<Case> cases = {
        {"state 1 to 2", {{"STATE", 2}}, 2, "Закрыта"},
        {"another field only", {{"COMMENT", "Текст"}}, 2, QVariant()},
        {"a code without text", {{"STATE", 9}}, 9, QVariant()},
        {"state cleared", {{"STATE", QVariant()}}, 0, QVariant()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        saveExisting("OPER`", id, c.change);
        EXPECT_EQ(scalar("SELECT STATE FROM CORETABLE WHERE RECID=?", {id}).toInt(),
                  c.storedState.toInt());
        const QVariantList kinds = historyOf(id, "KIND");
        EXPECT_EQ(kinds.last(), QVariant(1));
        EXPECT_EQ(historyOf(id, "COMMENT").last(), c.comment);
    }
    EXPECT_EQ(historyOf(id, "KIND"), (QVariantList{0, 1, 1, 1, 1}));
}

TEST_P(RecordStorage, SavingWithoutAChangeWritesNothing)
{
    const int id = createRecord("OPER`", {{"COMMENT", "x"}});
    openJournal("OPER`");
    dm->GRQuery->edit();
    dm->UsrModify();
    EXPECT_EQ(historyOf(id, "KIND"), QVariantList{0});

    // A new record whose form was left without a change is not saved at all.
    dm->OpenUserQuery("OPER`", "EXT_OPER", {}, true, {}, {});
    dm->BeforeInsert("OPER`");
    dm->GRQuery->edit();
    dm->UsrModify();
    EXPECT_EQ(count("SELECT COUNT(*) FROM CORETABLE"), 1);
}

TEST_P(RecordStorage, AnAbandonedNewRecordDoesNotMakeTheNextSaveNew)
{
    const int id = createRecord("OPER`", {{"COMMENT", "old"}});
    dm->OpenUserQuery("OPER`", "EXT_OPER", {}, true, {}, {});
    dm->BeforeInsert("OPER`");
    ASSERT_TRUE(dm->NewRecordPending);

    saveExisting("OPER`", id, {{"COMMENT", "new"}});
    EXPECT_EQ(count("SELECT COUNT(*) FROM CORETABLE"), 1);
    EXPECT_EQ(scalar("SELECT COMMENT FROM CORETABLE WHERE RECID=?", {id}).toString(), "new");
    EXPECT_EQ(historyOf(id, "KIND"), (QVariantList{0, 1}));
    EXPECT_FALSE(dm->NewRecordPending);
}

TEST_P(RecordStorage, FieldsAreCopiedWithDebugLinesAndWithoutAnExtensionTable)
{
    DebugCapture capture;
    const int id = createRecord("PLAIN`", {{"OBJECT", "PS`"}, {"STATE", 2}});
    const QStringList& lines = capture.lines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_EQ(lines.count("UpdateTables start"), 1);
    EXPECT_EQ(lines.count("UpdateTables end"), 1);
    for (const char* core :
         {"CORE: FULLPATH", "CORE: DATECREATE", "CORE: OBJECT", "CORE: STATE", "CORE: NUM"})
        EXPECT_TRUE(lines.contains(core)) << core;
    // The equipment code is no stored field; a journal without extension
    // table has nowhere to put it.
    EXPECT_EQ(lines.filter(QRegularExpression("^ERR: .*C_OBJECT")).size(), 1)
        << lines.join("\n").toStdString();
    EXPECT_TRUE(lines.filter("ADDON").isEmpty());
    EXPECT_TRUE(
        lines.filter(QRegularExpression("^(CORE|ADDON): (S_|E_|RECID|DESCRIPTION|FULLDESCRIPTION)"))
            .isEmpty());
    EXPECT_TRUE(lines.filter("CORETABLE: ").isEmpty());
    EXPECT_EQ(scalar("SELECT OBJECT FROM CORETABLE WHERE RECID=?", {id}).toString(), "PS`");
}

TEST_P(RecordStorage, AMissingExtensionRowIsCreatedAtTheNextSave)
{
    const int id = createRecord("OPER`", {{"WEATHER", 1}});
    exec("DELETE FROM EXT_OPER");
    saveExisting("OPER`", id, {{"REMARK", "Снова"}});
    EXPECT_EQ(count("SELECT COUNT(*) FROM EXT_OPER WHERE RECID=?", {id}), 1);
    EXPECT_EQ(scalar("SELECT REMARK FROM EXT_OPER WHERE RECID=?", {id}).toString(), "Снова");
    EXPECT_TRUE(scalar("SELECT WEATHER FROM EXT_OPER WHERE RECID=?", {id}).isNull())
        << "the lost value stays lost";
}

TEST_P(RecordStorage, DeletingARecordRemovesItsRowsAndAllItsHistory)
{
    const int keep = createRecord("OPER`", {{"COMMENT", "остаётся"}});
    const int id = createRecord("OPER`SUB`", {{"WEATHER", 1}});
    saveExisting("OPER`", id, {{"STATE", 2}});
    dm->InsertHistory(id, HistoryLocked, QString());
    exec("INSERT INTO HISTORY (IDX, RECID, KIND, UID, SIGNATURE) VALUES (100, ?, 100, 99, 'sig')",
         {id});
    EXPECT_TRUE(dm->RecSigned(id));
    EXPECT_EQ(historyOf(id, "KIND"), (QVariantList{0, 1, 2, 100}));

    openJournal("OPER`");
    ASSERT_TRUE(dm->GRQuery->locate("RECID", id));
    dm->UsrDelete();
    EXPECT_EQ(recIds(), QList<int>{keep});
    EXPECT_EQ(count("SELECT COUNT(*) FROM CORETABLE WHERE RECID=?", {id}), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM EXT_OPER WHERE RECID=?", {id}), 0);
    EXPECT_TRUE(historyOf(id, "KIND").isEmpty());
    EXPECT_FALSE(dm->RecSigned(id));
    EXPECT_EQ(historyOf(keep, "KIND"), QVariantList{0});
}

TEST_P(RecordStorage, RecExistsGivesTheJournalAndTheComment)
{
    const int id = createRecord("PLAIN`", {{"COMMENT", "Текст"}});
    const int bare = createRecord("PLAIN`", {{"STATE", 1}});
    QString description = "untouched", comment = "untouched";
    EXPECT_FALSE(dm->RecExists(99, description, comment));
    EXPECT_EQ(description, "untouched");
    EXPECT_TRUE(dm->RecExists(id, description, comment));
    EXPECT_EQ(description, "Без расширения`");
    EXPECT_EQ(comment, "Текст");
    EXPECT_TRUE(dm->RecExists(bare, description, comment));
    EXPECT_EQ(comment, "");
}

// The HISTORY table is replaced by one that refuses every row: the save must
// leave no record, no extension row and no used number behind.
TEST_P(RecordStorage, AFailedSaveLeavesNothingBehindAndShowsTheError)
{
    exec("INSERT INTO NEXTNUMS (FULLPATH, FIELDNAME, NEXTNUM) VALUES ('OPER`', 'NUM', 5)");
    const int existing = createRecord("OPER`", {{"COMMENT", "до"}});
    const auto historyDdl =
        database::SystemTableStatements(*server).filter("CREATE TABLE HISTORY").first();
    exec("DROP TABLE HISTORY");
    exec(QString(historyDdl)
             .replace("RECCONTEXT text", "RECCONTEXT text, MUSTFILL integer NOT NULL"));

    DebugCapture capture;
    dm->OpenUserQuery("OPER`", "EXT_OPER", {}, true, {}, {});
    dm->BeforeInsert("OPER`");
    dm->GRQuery->edit();
    dm->GRQuery->fieldByName("COMMENT")->setValue("после");
    EXPECT_THROW(dm->UsrModify(), Error);
    EXPECT_EQ(capture.lines().filter(QRegularExpression("^HISTORY: .+")).size(), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM CORETABLE"), 1);
    EXPECT_EQ(count("SELECT COUNT(*) FROM EXT_OPER"), 1);
    EXPECT_EQ(count("SELECT NEXTNUM FROM NEXTNUMS"), 6);
    EXPECT_TRUE(dm->GRQuery->fieldByName("RECID")->isNull()) << "the row is still a new record";
    EXPECT_EQ(dm->GRQuery->fieldByName("COMMENT")->asString(), "после");
    EXPECT_FALSE(dm->currentServer()->inTransaction());

    EXPECT_THROW(saveExisting("OPER`", existing, {{"COMMENT", "изменено"}}), Error);
    EXPECT_EQ(scalar("SELECT COMMENT FROM CORETABLE WHERE RECID=?", {existing}).toString(), "до");

    exec("DROP TABLE HISTORY");
    exec(historyDdl);
    dm->OpenUserQuery("OPER`", "EXT_OPER", {}, true, {}, {});
    dm->BeforeInsert("OPER`");
    dm->GRQuery->edit();
    dm->GRQuery->fieldByName("COMMENT")->setValue("после");
    dm->UsrModify();
    EXPECT_EQ(dm->GRQuery->fieldByName("RECID")->asInteger(), existing + 1);
    EXPECT_EQ(dm->GRQuery->fieldByName("NUM")->asInteger(), 6);
}

INSTANTIATE_BACKENDS(RecordStorage);

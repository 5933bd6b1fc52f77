// The record dataset: the statement OpenUserQuery builds, its fields and
// lookups, branch selection by exact prefix, date parameters, the state
// reference, the history query's fields and MaxID.

#include "DataModuleFixture.h"
#include "RecordSelection.h"

#include <QLocale>

using namespace database;
using namespace platform;

namespace
{

const QString kCoreSelect =
    "select coretable.RecID as RECID,FULLPATH, DATECREATE, DATE1, DATE2, OBJECT, COMMENT, "
    "NUM, STATE ";

} // namespace

class RecordQuery : public DataModuleTest
{
protected:
    void SetUp() override
    {
        DataModuleTest::SetUp();
        addJournal("OPER`", "Оперативный", "EXT_OPER",
                   {"WEATHER integer", "REMARK varchar(100)", "CHECKED timestamp"});
        addJournal("OPER`NIGHT`", "Ночь");
        addJournal("PLAIN`", "Без расширения");
        addJournal("BARE`", "Только номер", "EXT_BARE");
        addReference("STATES", {"Открыта", "Закрыта"});
        addReference("WEATHER", {"Ясно", "Дождь"});
        addEquipment("PS`", "Подстанция", "");
        addEquipment("PS`T1`", "Трансформатор", "T-1");
        loadEquipmentCache();
        addConform("OPER`", "STATE", "Состояние", "STATES (Состояния)");
        addConform("OPER`", "OBJECT", "Объект", "Equipment (Оборудование)");
        addConform("OPER`", "WEATHER", "Погода", "WEATHER (Погода)");
        addConform("OPER`", "NOSUCHFIELD", "Нет такого", "WEATHER (Погода)");
        addConform("OPER`", "REMARK", "Примечание", "MISSINGREF (Не загружен)");
        addConform("OPER`NIGHT`", "COMMENT", "Не тот журнал", "WEATHER (Погода)");
        dm->ConformsTable->open();
    }
};

TEST_P(RecordQuery, StatementHasTheShapeOfTheJournal)
{
    struct Case {
        const char* name;
        QString journal;
        QString conditions;
        QString objectMask;
        bool emptyMode;
        QString expected;
    };
    const QString operFrom =
        "\r\nfrom coretable LEFT JOIN EXT_OPER on EXT_OPER.RecID=coretable.RecID"
        "\r\nwhere (coretable.RecID>0) ";
    const QString operSelect = kCoreSelect + ", WEATHER, REMARK, CHECKED " + operFrom;
    const QString journalTest = " and (fullpath LIKE ? ESCAPE '!')";
    const std::vector<Case> cases = {
        {"no extension table", "PLAIN`", "", "", false,
         kCoreSelect + "\r\nfrom coretable\r\nwhere (coretable.RecID>0) " + journalTest +
             "\r\norder by CORETABLE.RecID"},
        {"extension table with RECID only", "BARE`", "", "", false,
         kCoreSelect +
             "\r\nfrom coretable LEFT JOIN EXT_BARE on EXT_BARE.RecID=coretable.RecID"
             "\r\nwhere (coretable.RecID>0) " +
             journalTest + "\r\norder by CORETABLE.RecID"},
        {"condition on DATE2 orders by DATE1", "OPER`", " and (DATE2>=:D1 and DATE1<=:D2) ", "",
         false,
         operSelect + " and (DATE2>=:D1 and DATE1<=:D2) " + journalTest +
             "\r\norder by CORETABLE.DATE1"},
        {"condition on DATE1 orders by DATE1", "OPER`", " and (DATE1>=:D1 and DATE1<=:D2) ", "",
         false,
         operSelect + " and (DATE1>=:D1 and DATE1<=:D2) " + journalTest +
             "\r\norder by CORETABLE.DATE1"},
        {"creation date alone orders by RecID", "OPER`",
         " and (DATECREATE>=:D1 and DATECREATE<=:D2) ", "", false,
         operSelect + " and (DATECREATE>=:D1 and DATECREATE<=:D2) " + journalTest +
             "\r\norder by CORETABLE.RecID"},
        {"equipment mask", "OPER`NIGHT`", "and (STATE=1)", "PS`", false,
         operSelect + "and (STATE=1)" + journalTest + " and (coretable.object LIKE ? ESCAPE '!')" +
             "\r\norder by CORETABLE.RecID"},
        {"empty mode keeps the probe", "OPER`", " and (DATE1>=:D1) ", "PS`", true,
         operSelect + " and (coretable.RECID=0)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QVariantMap params;
        if (c.conditions.contains(":D1"))
            params = {{"D1", QDateTime::currentDateTime()}, {"D2", QDateTime::currentDateTime()}};
        dm->OpenUserQuery(c.journal, dm->ExtTableOf(c.journal), c.objectMask, c.emptyMode,
                          c.conditions, params);
        EXPECT_EQ(dm->GRQuery->sqlText(), c.expected);
        EXPECT_TRUE(dm->GRQuery->active());
    }
}

TEST_P(RecordQuery, FieldsAndLookupsAreTheSameInEmptyMode)
{
    const int id =
        createRecord("OPER`NIGHT`", {{"STATE", 2}, {"OBJECT", "PS`T1`"}, {"WEATHER", 1}});
    const QStringList expected = {
        "RECID",           "FULLPATH",    "DATECREATE", "DATE1",    "DATE2",    "OBJECT",
        "COMMENT",         "NUM",         "STATE",      "WEATHER",  "REMARK",   "CHECKED",
        "FULLDESCRIPTION", "DESCRIPTION", "S_STATE",    "E_OBJECT", "C_OBJECT", "S_WEATHER"};
    dm->OpenUserQuery("OPER`", "EXT_OPER", {}, true, {}, {});
    EXPECT_EQ(dm->GRQuery->fieldNames(), expected);
    EXPECT_EQ(dm->GRQuery->recordCount(), 0);

    openJournal("OPER`");
    EXPECT_EQ(dm->GRQuery->fieldNames(), expected);
    ASSERT_EQ(recIds(), QList<int>{id});
    dm->GRQuery->first();
    auto text = [&](const char* name) { return dm->GRQuery->fieldByName(name)->asString(); };
    EXPECT_EQ(text("S_STATE"), "Закрыта");
    EXPECT_EQ(text("E_OBJECT"), "Трансформатор`");
    EXPECT_EQ(text("C_OBJECT"), "T-1");
    EXPECT_EQ(text("S_WEATHER"), "Ясно");
    EXPECT_EQ(text("DESCRIPTION"), "Ночь");
    EXPECT_EQ(text("FULLDESCRIPTION"), "Ночь`");
    for (const char* name : {"S_STATE", "E_OBJECT", "C_OBJECT", "FULLDESCRIPTION"}) {
        SCOPED_TRACE(name);
        const Field* f = dm->GRQuery->fieldByName(name);
        EXPECT_TRUE(f->isLookup());
        EXPECT_EQ(f->type(), FieldType::String);
        EXPECT_EQ(f->size(), 150);
    }
    EXPECT_EQ(dm->GRQuery->fieldByName("WEATHER")->displayLabel(), "Погода");
    const QLocale locale = QLocale::system();
    EXPECT_EQ(dm->GRQuery->fieldByName("DATECREATE")->displayFormat(),
              locale.dateFormat(QLocale::ShortFormat) + " " +
                  locale.timeFormat(QLocale::ShortFormat));
    // The top-level journal's descriptions count, and ConformsTable stays filtered on it.
    EXPECT_TRUE(dm->ConformsTable->filtered());
    EXPECT_EQ(dm->ConformsTable->filter(), "FULLPATH='OPER`'");
}

TEST_P(RecordQuery, BranchesAreSelectedByExactPrefix)
{
    // "_" would match any character in a LIKE pattern: A_B` must not select AXB`.
    addJournal("A_B`", "Ветка 1");
    addJournal("A_B`C`", "Ветка 1, ниже");
    addJournal("AXB`", "Ветка 2");
    addJournal("a_b`", "Другой регистр");
    addEquipment("E_1`", "Узел 1", "");
    addEquipment("E_1`X`", "Узел 1.1", "");
    addEquipment("EX1`", "Узел 2", "");
    const int own = createRecord("A_B`", {{"OBJECT", "E_1`"}});
    const int below = createRecord("A_B`C`", {{"OBJECT", "E_1`X`"}});
    const int sibling = createRecord("AXB`", {{"OBJECT", "EX1`"}});
    const int otherCase = createRecord("a_b`", {{"OBJECT", "E_1`"}});

    openJournal("A_B`");
    EXPECT_EQ(recIds(), (QList<int>{own, below}));
    openJournal("A_B`C`");
    EXPECT_EQ(recIds(), QList<int>{below});
    openJournal("AXB`");
    EXPECT_EQ(recIds(), QList<int>{sibling});
    openJournal("a_b`");
    EXPECT_EQ(recIds(), QList<int>{otherCase});
    openJournal("A_B`", {}, {}, "E_1`X`");
    EXPECT_EQ(recIds(), QList<int>{below});
    openJournal("AXB`", {}, {}, "E_1`");
    EXPECT_TRUE(recIds().isEmpty());
}

TEST_P(RecordQuery, DateParametersCompareToTheMillisecond)
{
    const QDateTime t(QDate(2026, 3, 9), QTime(8, 0, 0, 0));
    const int early = createRecord("PLAIN`", {{"DATE1", t}, {"DATE2", t.addMSecs(1)}});
    const int onTime =
        createRecord("PLAIN`", {{"DATE1", t.addMSecs(1)}, {"DATE2", t.addSecs(3600)}});
    const int late = createRecord("PLAIN`", {{"DATE1", t.addMSecs(999)}, {"DATE2", t.addDays(2)}});

    struct Case {
        const char* name;
        DateMode mode;
        QDateTime begin, end;
        QList<int> expected;
    };
    const std::vector<Case> cases = {
        {"DATE1 from one millisecond later",
         DateMode::RecordDate,
         t.addMSecs(1),
         t.addMSecs(999),
         {onTime, late}},
        {"DATE1 up to one millisecond before",
         DateMode::RecordDate,
         t,
         t.addMSecs(998),
         {early, onTime}},
        {"own range starting before and ending inside",
         DateMode::RecordRange,
         t.addMSecs(1),
         t.addMSecs(1),
         {early, onTime}},
        {"creation date of none", DateMode::Created, t.addYears(-30), t.addYears(-29), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SelectionCondition sc = ComposeSelectionCondition({c.mode, c.begin, c.end, {}});
        openJournal("PLAIN`", sc.conditions, sc.params);
        EXPECT_EQ(recIds(), c.expected);
    }
    EXPECT_EQ(dm->GRQuery->fieldByName("DATE1")->type(), FieldType::DateTime);
}

TEST_P(RecordQuery, RejectedSelectionRaisesWithTheServersText)
{
    try {
        openJournal("PLAIN`", " and (NOSUCHCOLUMN=1)");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().startsWith("Unable to retrieve query result: "))
            << e.text().toStdString();
        EXPECT_GT(e.text().size(), QString("Unable to retrieve query result: ").size());
    }
}

TEST_P(RecordQuery, StateLookupComesFromTheTopLevelJournal)
{
    QString caption = "untouched";
    EXPECT_EQ(dm->GetStateLookup("OPER`NIGHT`", caption), dm->findDataSet("RefDSSTATES"));
    EXPECT_EQ(caption, "Состояние");

    caption = "untouched";
    EXPECT_EQ(dm->GetStateLookup("PLAIN`", caption), nullptr);
    addConform("BARE`", "STATE", "Без ссылки", "");
    addConform("BARE`NOT_TOP`", "STATE", "Не верхний", "STATES (x)");
    dm->ConformsTable->refresh();
    EXPECT_EQ(dm->GetStateLookup("BARE`", caption), nullptr);
    EXPECT_EQ(caption, "untouched");
    EXPECT_FALSE(dm->ConformsTable->filtered());
}

TEST_P(RecordQuery, HistoryRowsExplainTheirKindAndLeaveTheSignatureCheckToTheHook)
{
    exec("INSERT INTO PERSONS (UID, FIO) VALUES (7, 'Петров')");
    int idx = 0;
    for (int kind : {0, 1, 2, 100, 101, 55})
        exec("INSERT INTO HISTORY (IDX, RECID, KIND, UID) VALUES (?, 5, ?, 7)", {++idx, kind});
    auto open = [&] {
        dm->HistoryQ->close();
        dm->HistoryQ->setParam("RecID", 5);
        dm->HistoryQ->open();
        QStringList explain;
        QVariantList checks;
        for (dm->HistoryQ->first(); !dm->HistoryQ->eof(); dm->HistoryQ->next()) {
            explain.append(dm->HistoryQ->fieldByName("KindExplain")->asString());
            checks.append(dm->HistoryQ->fieldByName("SignCheck")->value());
        }
        return std::make_pair(explain, checks);
    };
    EXPECT_EQ(dm->HistoryQ->fieldNames(),
              (QStringList{"KIND", "DATECREATE", "UID", "FIO", "COMMENT", "RECCONTEXT", "PUBLICKEY",
                           "SIGNATURE", "SIGNCHECK", "KINDEXPLAIN"}));
    auto [explain, checks] = open();
    EXPECT_EQ(explain, (QStringList{"Создана", "Изменена", "Заблокирована", "Подписана",
                                    "Подпись отозвана", "???"}));
    EXPECT_EQ(checks, (QVariantList{-1, -1, -1, QVariant(), -1, -1}));
    EXPECT_EQ(dm->HistoryQ->fieldByName("FIO")->displayLabel(), "Пользователь");
    EXPECT_FALSE(dm->HistoryQ->fieldByName("UID")->visible());

    dm->SignatureCheck = [](DataSet&) { return 1; };
    EXPECT_EQ(open().second[3], QVariant(1));
    dm->SignatureCheck = [](DataSet&) -> int { throw Error("no key"); };
    EXPECT_EQ(open().second[3], QVariant(0));
}

TEST_P(RecordQuery, MaxIdIsOneAboveTheMaximumAndNeverBelowOne)
{
    exec("CREATE TABLE NUMBERS (N integer)");
    struct Case {
        QVariantList values;
        int expected;
    };
    for (const Case& c :
         std::vector<Case>{{{}, 1}, {{0}, 1}, {{-5, -2}, 1}, {{3, 5, QVariant()}, 6}}) {
        exec("DELETE FROM NUMBERS");
        for (const QVariant& v : c.values)
            exec("INSERT INTO NUMBERS (N) VALUES (?)", {v});
        EXPECT_EQ(dm->MaxID("NUMBERS", "N"), c.expected);
    }
}

TEST_P(RecordQuery, StoredFormHeadersOfOneKind)
{
    for (const auto& [seq, path, name, kind] :
         std::vector<std::tuple<int, QString, QString, int>>{{1, "OPER`", "Сводка", 3},
                                                             {2, "OPER`", "Сводка", 3},
                                                             {1, "OPER`", " ", 1},
                                                             {1, "PLAIN`", "Другой", 3}})
        exec("INSERT INTO USERFORMS (SEQID, FULLPATH, FORMNAME, RTYPE) VALUES (?, ?, ?, ?)",
             {seq, path, name, kind});
    dm->OpenUFormQuery("OPER`", 3);
    ASSERT_EQ(dm->Query->recordCount(), 1);
    EXPECT_EQ(dm->Query->fieldByName("FORMNAME")->asString(), "Сводка");
}

INSTANTIATE_BACKENDS(RecordQuery);

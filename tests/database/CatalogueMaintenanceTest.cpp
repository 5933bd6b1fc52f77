// Catalogue maintenance: journals, extension tables, field descriptions,
// references and equipment, with branch scopes that "_" in identifiers must
// not widen and values holding apostrophes.

#include "DataModuleFixture.h"
#include "MessageRecorder.h"

using namespace database;
using namespace platform;

class CatalogueMaintenance : public DataModuleTest
{
protected:
    QVariantList column(const QString& text, const QVariantList& values = {})
    {
        QVariantList out;
        QSqlQuery q = server->execute(text, values);
        while (q.next())
            out.append(q.value(0).isNull() ? QVariant() : q.value(0));
        return out;
    }
};

TEST_P(CatalogueMaintenance, InsertMagsAddsTheObjectDescriptionUnlessToldNot)
{
    dm->ConformsTable->open();
    dm->InsertMags("Журнал 'А'", "J'A`", "Журнал 'А'`", 0);
    dm->InsertMags("Без описаний", "NODESC`", "", 1);
    EXPECT_EQ(column("SELECT DESCRIPTION FROM MAGS WHERE FULLPATH=?", {"J'A`"}),
              QVariantList{"Журнал 'А'"});
    EXPECT_EQ(column("SELECT FULLDESCRIPTION FROM MAGS WHERE FULLPATH='NODESC`'"),
              QVariantList{QVariant()});
    QSqlQuery q =
        server->execute("SELECT FULLPATH, FIELDNAME, RUSNAME, REFNAME, PERMISSIONS FROM CONFORMS");
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), "J'A`");
    EXPECT_EQ(q.value(1).toString(), "OBJECT");
    EXPECT_EQ(q.value(2).toString(), "Объект");
    EXPECT_EQ(q.value(3).toString(), "Equipment (Оборудование)");
    EXPECT_TRUE(q.value(4).isNull());
    EXPECT_FALSE(q.next());
    EXPECT_EQ(dm->ConformsTable->recordCount(), 1) << "ConformsTable is re-read";
}

TEST_P(CatalogueMaintenance, UpdateMagsStoresAnEmptyExtensionTableAsNull)
{
    addJournal("J`", "old", "EXT_J");
    dm->UpdateMags("J`", "O'Brien's", "");
    EXPECT_EQ(column("SELECT DESCRIPTION FROM MAGS"), QVariantList{"O'Brien's"});
    EXPECT_EQ(column("SELECT EXTTABLE FROM MAGS"), QVariantList{QVariant()});
}

TEST_P(CatalogueMaintenance, CascadingDeleteReachesExactlyTheBranch)
{
    addJournal("J_1`", "Ветка", "EXT_J", {"X integer"});
    addJournal("J_1`K`", "Ниже");
    addJournal("JX1`", "Соседний", "EXT_X");
    for (const char* journal : {"J_1`", "J_1`K`", "JX1`"})
        addConform(journal, "STATE", "Состояние", "");
    const int own = createRecord("J_1`", {{"X", 1}});
    createRecord("J_1`K`", {{"X", 2}});
    const int sibling = createRecord("JX1`", {{"COMMENT", "x"}});

    // A sub-journal alone: its records and their extension rows go, the table stays.
    dm->CascadingDelete("J_1`K`", "");
    EXPECT_EQ(column("SELECT RECID FROM CORETABLE ORDER BY RECID"), (QVariantList{own, sibling}));
    EXPECT_EQ(column("SELECT RECID FROM EXT_J"), QVariantList{own});
    EXPECT_TRUE(dm->UTExist("EXT_J"));

    addJournal("J_1`K`", "Ниже");
    addConform("J_1`K`", "STATE", "Состояние", "");
    createRecord("J_1`K`", {{"X", 3}});
    dm->CascadingDelete("J_1`", "EXT_J");
    EXPECT_EQ(column("SELECT RECID FROM CORETABLE"), QVariantList{sibling});
    EXPECT_EQ(column("SELECT DISTINCT RECID FROM HISTORY"), QVariantList{sibling});
    EXPECT_EQ(column("SELECT FULLPATH FROM MAGS"), QVariantList{"JX1`"});
    EXPECT_EQ(column("SELECT FULLPATH FROM CONFORMS ORDER BY FULLPATH"),
              (QVariantList{"JX1`", "J_1`K`"}))
        << "descriptions of journals below stay";
    EXPECT_FALSE(dm->UTExist("EXT_J"));
    EXPECT_TRUE(dm->UTExist("EXT_X"));

    EXPECT_THROW(dm->CascadingDelete("", ""), Error);
    EXPECT_EQ(count("SELECT COUNT(*) FROM MAGS"), 1);
}

TEST_P(CatalogueMaintenance, ExtensionTablesAreCreatedAlteredAndDeletedWithTheirDescriptions)
{
    dm->CreateUT("EXT_T");
    dm->ConformsTable->open();
    addConform("T`", "OLDNAME", "Старое", "");
    dm->AlterUT("EXT_T ADD NEWFIELD integer", "OLDNAME", "T`");
    EXPECT_EQ(count("SELECT COUNT(*) FROM CONFORMS"), 0);
    dm->OpenTable("EXT_T");
    EXPECT_EQ(dm->Query->fieldNames(), (QStringList{"RECID", "NEWFIELD"}));
    dm->Query->close();

    addConform("T`", "NewField", "Новое", "");
    addConform("OTHER`", "NEWFIELD", "В другом журнале", "");
    addConform("T`", "KEEP", "Не столбец", "");
    dm->DeleteUT("EXT_T");
    EXPECT_EQ(column("SELECT FIELDNAME FROM CONFORMS"), QVariantList{"KEEP"});
    EXPECT_FALSE(dm->UTExist("EXT_T"));
}

TEST_P(CatalogueMaintenance, UTclearAsksOnlyForAnUnusedTable)
{
    addJournal("J`", "Журнал", "EXT_USED");
    dm->CreateUT("EXT_FREE");
    {
        MessageRecorder messages;
        dm->UTclear("EXT_USED");
        EXPECT_TRUE(messages.messages().isEmpty());
        EXPECT_TRUE(dm->UTExist("EXT_USED"));
    }
    for (MsgAnswer answer : {MsgAnswer::Cancel, MsgAnswer::Ok}) {
        MessageRecorder messages;
        messages.answer(answer);
        dm->UTclear("EXT_FREE");
        ASSERT_EQ(messages.messages().size(), 1);
        const Message& m = messages.messages().first();
        EXPECT_EQ(m.caption, "Внимание");
        EXPECT_EQ(m.icon, MsgIcon::Question);
        EXPECT_EQ(m.buttons, MsgButtons::OkCancel);
        EXPECT_EQ(m.text, " Таблица EXT_FREE не привязана к другим журналам. Удалить?");
        EXPECT_EQ(dm->UTExist("EXT_FREE"), answer == MsgAnswer::Cancel);
    }
}

TEST_P(CatalogueMaintenance, ExistenceChecksAnswerWithoutRaising)
{
    dm->CreateUT("EXT_T");
    exec(ReferenceTableStatement("REF_T"));
    EXPECT_TRUE(dm->UTExist("EXT_T"));
    EXPECT_TRUE(dm->RefExist("REF_T"));
    for (const QString& missing : {QString(), QString("NO_SUCH"), QString("bad name;")}) {
        EXPECT_FALSE(dm->UTExist(missing));
        EXPECT_FALSE(dm->RefExist(missing));
        EXPECT_FALSE(TDM::TableExist(missing.isEmpty() ? "NO_SUCH" : missing, dm->currentServer()));
    }
    // The server still takes statements afterwards.
    EXPECT_EQ(dm->MaxID("CORETABLE", "RECID"), 1);
}

TEST_P(CatalogueMaintenance, ReferenceLinksAreRenamedAndRemovedForThatReferenceOnly)
{
    addReference("STATE", {"Один"});
    addReference("STATES", {"Два"});
    addConform("A`", "F1", "", "STATE (Состояние)");
    addConform("A`", "F2", "", "STATES (Состояния)");
    addConform("A`", "F3", "", "STATE");
    dm->Refs->open();
    dm->UpdateConforms("STATE", "Новое 'имя'");
    EXPECT_EQ(column("SELECT REFNAME FROM CONFORMS ORDER BY FIELDNAME"),
              (QVariantList{"STATE (Новое 'имя')", "STATES (Состояния)", "STATE (Новое 'имя')"}));

    DataSet* cache = dm->findDataSet("RefDSSTATE");
    ASSERT_NE(cache, nullptr);
    dm->DeleteReference("STATE");
    EXPECT_EQ(column("SELECT REFNAME FROM CONFORMS ORDER BY FIELDNAME"),
              (QVariantList{QVariant(), "STATES (Состояния)", QVariant()}));
    EXPECT_EQ(column("SELECT REFERENCETABLE FROM REFS"), QVariantList{"STATES"});
    EXPECT_FALSE(dm->RefExist("STATE"));
    EXPECT_EQ(dm->findDataSet("RefDSSTATE"), nullptr);
    EXPECT_NE(dm->findDataSet("RefDSSTATES"), nullptr);
    EXPECT_EQ(dm->Refs->recordCount(), 1);
    EXPECT_EQ(cache->objectName(), "RefDSSTATE")
        << "the detached dataset stays alive for fields that use it";

    // A reference whose table is gone already still loses its REFS row and links.
    exec("DROP TABLE STATES");
    dm->DeleteReference("STATES");
    EXPECT_EQ(count("SELECT COUNT(*) FROM REFS"), 0);
    EXPECT_EQ(count("SELECT COUNT(*) FROM CONFORMS WHERE REFNAME IS NOT NULL"), 0);
}

TEST_P(CatalogueMaintenance, AddReferenceCreatesTableRowAndDataset)
{
    dm->AddReference("PRIO", "Приоритеты 'главные'");
    EXPECT_TRUE(dm->RefExist("PRIO"));
    EXPECT_EQ(column("SELECT NAME FROM REFS WHERE REFERENCETABLE='PRIO'"),
              QVariantList{"Приоритеты 'главные'"});
    DataSet* cache = dm->findDataSet("RefDSPRIO");
    ASSERT_NE(cache, nullptr);
    EXPECT_TRUE(cache->active());

    MessageRecorder messages;
    EXPECT_THROW(dm->AddReference("PRIO", "Снова"), Error) << "the dataset exists already";
    ASSERT_EQ(messages.messages().size(), 1);
    EXPECT_EQ(messages.messages()[0].text, "Невозможно добавить справочник");
    EXPECT_EQ(messages.messages()[0].caption, "Ошибка");
    EXPECT_EQ(messages.messages()[0].icon, MsgIcon::Error);
    EXPECT_EQ(count("SELECT COUNT(*) FROM REFS"), 1);
    EXPECT_EQ(dm->Refs->recordCount(), 1);
}

TEST_P(CatalogueMaintenance, EquipmentChangesKeepTheCacheInStep)
{
    Query* cache = loadEquipmentCache();
    dm->AddEquipment("Узел 'один'", "E_1`", "Узел 'один'`", "");
    dm->AddEquipment("Ниже", "E_1`X`", "Узел 'один'`Ниже`", "C-2");
    dm->AddEquipment("Соседний", "EX1`", "Соседний`", "C-3");
    EXPECT_EQ(column("SELECT CODE FROM EQUIPMENT WHERE FULLPATH='E_1`'"), QVariantList{QVariant()});
    EXPECT_EQ(cache->recordCount(), 3);
    ASSERT_TRUE(cache->locate("FULLPATH", "E_1`"));
    EXPECT_EQ(cache->fieldByName("DESCRIPTION")->asString(), "Узел 'один'");

    dm->UpdateEquipment("EX1`", "EX2`", "Другой`", "Другой", "");
    EXPECT_EQ(column("SELECT CODE FROM EQUIPMENT WHERE FULLPATH='EX2`'"), QVariantList{QVariant()});
    ASSERT_TRUE(cache->locate("FULLPATH", "EX2`"));
    EXPECT_TRUE(cache->fieldByName("CODE")->isNull());
    EXPECT_FALSE(cache->locate("FULLPATH", "EX1`"));

    dm->DeleteEquipment("E_1`");
    EXPECT_EQ(column("SELECT FULLPATH FROM EQUIPMENT"), QVariantList{"EX2`"});
    EXPECT_EQ(cache->recordCount(), 3) << "the delete leaves the cache to the caller";
    EXPECT_THROW(dm->DeleteEquipment(""), Error);
    EXPECT_EQ(count("SELECT COUNT(*) FROM EQUIPMENT"), 1);
}

TEST_P(CatalogueMaintenance, FullDescriptionsFollowTheTree)
{
    addEquipment("A`", "a", "");
    addEquipment("A`B`", "b", "");
    addEquipment("C`", "c", "");
    dm->UpdateFullDescription({{"A`", "Первый`"},
                               {"A`B`", "Первый`Второй 'b'`"},
                               {"A`", "Не этот`"},
                               {"Z`", "нет строки`"}},
                              "EQUIPMENT");
    EXPECT_EQ(column("SELECT FULLDESCRIPTION FROM EQUIPMENT ORDER BY FULLPATH"),
              (QVariantList{"Первый`", "Первый`Второй 'b'`", "c`"}));
}

TEST_P(CatalogueMaintenance, DeleteConformsRemovesOneFieldOfOneJournal)
{
    addConform("A`", "F", "", "");
    addConform("A`", "G", "", "");
    addConform("B`", "F", "", "");
    dm->DeleteConforms("F", "A`");
    EXPECT_EQ(count("SELECT COUNT(*) FROM CONFORMS"), 2);
    EXPECT_EQ(count("SELECT COUNT(*) FROM CONFORMS WHERE FULLPATH='A`' AND FIELDNAME='F'"), 0);
}

TEST_P(CatalogueMaintenance, OpenRefQueryOpensTheCurrentReference)
{
    addReference("COLORS", {"Красный", "Синий"});
    dm->OpenRefQuery();
    EXPECT_FALSE(dm->ARef->active()) << "REFS is closed";
    dm->Refs->open();
    dm->OpenRefQuery();
    EXPECT_EQ(dm->ARef->recordCount(), 2);
}

INSTANTIATE_BACKENDS(CatalogueMaintenance);

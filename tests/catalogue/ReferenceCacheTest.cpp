// The reference cache, the equipment cache file and the equipment trees.

#include "DMUnit.h"
#include "DebugOutput.h"
#include "MagCommon.h"
#include "Schema.h"
#include "DataModuleFixture.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace catalogue;
using platform::DataSet;
using platform::SqlStatement;

class ReferenceCache : public DataModuleTest
{
protected:
    void SetUp() override
    {
        DataModuleTest::SetUp();
        QFile::remove(EquipmentCachePath(*dm));
        server->execute("CREATE TABLE STATES (aCode INTEGER, aValue Char(50))");
        server->execute("INSERT INTO STATES VALUES (2, 'Закрыта'), (1, 'Открыта')");
        server->execute(
            "INSERT INTO REFS (NAME, REFERENCETABLE) VALUES ('Состояния', 'STATES   ')");
        for (const auto& [path, name, code, full] :
             std::vector<std::tuple<QString, QString, QString, QString>>{
                 {"TP1`", "Подстанция 1", "", "Подстанция 1`"},
                 {"TP1`T1`", "Трансформатор", "T-1", ""},
                 {"TP1`T1`V`", "Вентилятор", "", "stored`"},
                 {"LOST`CHILD`", "Сирота", "S", "x`"},
                 {"A`", "Альфа", "", "Альфа`"}})
            equipment(path, name, code, full);
    }
    void TearDown() override
    {
        QFile::remove(EquipmentCachePath(*dm));
        DataModuleTest::TearDown();
    }
    void equipment(const QString& path, const QString& name, const QString& code,
                   const QString& full)
    {
        SqlStatement s(
            "INSERT INTO EQUIPMENT (FULLPATH, DESCRIPTION, CODE, FULLDESCRIPTION) VALUES (");
        s.quoted(path) << ", ";
        s.quoted(name) << ", ";
        s.quoted(code) << ", ";
        // An empty description stays an empty text, not NULL.
        s.bind(full) << ")";
        server->execute(s.text(), s.values());
    }
    DataSet* cached() { return dm->findDataSet("RefDSEQRef"); }
};

TEST_P(ReferenceCache, LoadsReferencesInCodeOrderWithTimingLines)
{
    platform::DebugCapture debug;
    CreateRefList(*dm);
    DataSet* states = dm->findDataSet("RefDSSTATES");
    ASSERT_TRUE(states);
    EXPECT_EQ(states->recordCount(), 2);
    EXPECT_EQ(states->fieldByName("AVALUE")->asString(), "Открыта");
    ASSERT_EQ(debug.lines().size(), 3);
    EXPECT_TRUE(QRegularExpression("^CreateRefList: DM\\.Refs\\.Open\\d+ms$")
                    .match(debug.lines()[0])
                    .hasMatch());
    EXPECT_TRUE(QRegularExpression("^CreateRefList: open \"STATES   \" \\d+ms$")
                    .match(debug.lines()[1])
                    .hasMatch())
        << debug.lines()[1].toStdString();
    EXPECT_TRUE(QRegularExpression("^CreateRefList: open Equipment \\d+ms$")
                    .match(debug.lines()[2])
                    .hasMatch());
    ASSERT_TRUE(cached());
    EXPECT_EQ(cached()->fieldNames(),
              (QStringList{"FULLPATH", "DESCRIPTION", "CODE", "FULLDESCRIPTION"}));
    EXPECT_EQ(cached()->fieldByName("FULLDESCRIPTION")->size(), 200);
    FreeRefList(*dm);
    EXPECT_FALSE(dm->findDataSet("RefDSSTATES"));
    EXPECT_FALSE(cached());
}

TEST_P(ReferenceCache, CacheFileIsReusedUntilTheServerRowCountChanges)
{
    CreateRefList(*dm);
    const QString path = EquipmentCachePath(*dm);
    ASSERT_TRUE(QFileInfo::exists(path));
    FreeRefList(*dm);

    // A renamed item keeps its cached name while the count is the same.
    server->execute("UPDATE EQUIPMENT SET DESCRIPTION='Новое имя' WHERE FULLPATH='A`'");
    CreateRefList(*dm);
    ASSERT_TRUE(cached()->locate("FULLPATH", QVariant("A`")));
    EXPECT_EQ(cached()->fieldByName("DESCRIPTION")->asString(), "Альфа");
    FreeRefList(*dm);

    // One more row: everything is read from the server and the file rewritten.
    equipment("B`", "Бета", "", "Бета`");
    CreateRefList(*dm);
    EXPECT_EQ(cached()->recordCount(), 6);
    ASSERT_TRUE(cached()->locate("FULLPATH", QVariant("A`")));
    EXPECT_EQ(cached()->fieldByName("DESCRIPTION")->asString(), "Новое имя");
    DataSet file;
    file.loadFromFile(path);
    EXPECT_EQ(file.recordCount(), 6);
}

TEST_P(ReferenceCache, DamagedCacheFileIsDiscardedAndTheServerRead)
{
    CreateRefList(*dm);
    const QString path = EquipmentCachePath(*dm);
    FreeRefList(*dm);
    for (const QByteArray& damage :
         {QByteArray("RADICAL FILE\x01"), QByteArray("garbage"), QByteArray()}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(damage);
        f.close();
        EXPECT_NO_THROW(CreateRefList(*dm));
        EXPECT_EQ(cached()->recordCount(), 5);
        FreeRefList(*dm);
    }
}

TEST_P(ReferenceCache, MainTreeHasTheRootItemAndOrphansBelowIt)
{
    CreateRefList(*dm);
    EquipmentTree tree;
    BuildEquipmentTree(*dm, tree, EquipmentTreeRole::Main);
    ASSERT_EQ(tree.topCount(), 1);
    TreeNode* root = tree.first();
    EXPECT_EQ(root->caption, " BСЁ ОБОРУДОВАНИЕ");
    EXPECT_EQ(root->imageIndex, 5);
    EXPECT_EQ(tree.selected(), root);
    QStringList top;
    for (int i = 0; i < root->childCount(); ++i)
        top.append(root->child(i)->fullPath());
    EXPECT_EQ(top, (QStringList{"A`", "LOST`CHILD`", "TP1`"}));
    auto* fan = static_cast<EquipmentNode*>(FindNodeByPath(tree.first(), QString("TP1`T1`V`")));
    ASSERT_TRUE(fan);
    EXPECT_EQ(fan->info.FullDescription, "Подстанция 1`Трансформатор`Вентилятор`");
    EXPECT_EQ(fan->imageIndex, 2); // level 3 in the main tree
    // An empty stored full name is filled in the cache (and only there).
    ASSERT_TRUE(cached()->locate("FULLPATH", QVariant("TP1`T1`")));
    EXPECT_EQ(cached()->fieldByName("FULLDESCRIPTION")->asString(), "Подстанция 1`Трансформатор`");
    ASSERT_TRUE(cached()->locate("FULLPATH", QVariant("TP1`T1`V`")));
    EXPECT_EQ(cached()->fieldByName("FULLDESCRIPTION")->asString(), "stored`");

    EquipmentTree copy;
    CopyEquipmentTree(tree, copy);
    EXPECT_EQ(copy.count(), tree.count());
}

TEST_P(ReferenceCache, EditorTreeShowsIdentifierAndCode)
{
    CreateRefList(*dm);
    EquipmentTree tree;
    BuildEquipmentTree(*dm, tree, EquipmentTreeRole::Editor);
    EXPECT_EQ(tree.topCount(), 3);
    auto* transformer = FindNodeByPath(tree.first(), QString("TP1`T1`"));
    ASSERT_TRUE(transformer);
    EXPECT_EQ(transformer->columns, (QStringList{"T1", "T-1"}));
    EXPECT_EQ(transformer->imageIndex, 1);
    EXPECT_EQ(FindNodeByPath(tree.first(), QString("LOST`CHILD`"))->columns.value(0), "LOSTCHILD");
}

TEST(EquipmentCache, FileNamePerDatabaseInThePerUserFolder)
{
    database::TDM dm("x /BDE");
    dm.Timer1->stop();
    dm.currentServer()->setDatabaseName("alpha");
    const QString a = EquipmentCachePath(dm);
    dm.currentServer()->setDatabaseName("beta");
    const QString b = EquipmentCachePath(dm);
    EXPECT_TRUE(a.endsWith("/Brenholt/-alpha.eq")) << a.toStdString();
    EXPECT_EQ(QFileInfo(a).path(), QFileInfo(b).path());
    EXPECT_TRUE(b.endsWith("-beta.eq"));
    qputenv("USERPROFILE", "/tmp/profile   ");
    EXPECT_EQ(EquipmentCachePath(dm), "/tmp/profile/Application Data/Brenholt/-beta.eq");
    qunsetenv("USERPROFILE");
    dm.currentServer()->setDatabaseName("/var/db/site.db");
    EXPECT_TRUE(EquipmentCachePath(dm).endsWith("/Brenholt/-_var_db_site.db.eq"));
}

TEST(EquipmentCache, IconIndexes)
{
    struct Case {
        int level;
        EquipmentTreeRole role;
        int icon;
    };
    for (const Case& c :
         {Case{1, EquipmentTreeRole::Main, 0}, Case{7, EquipmentTreeRole::Main, 6},
          Case{8, EquipmentTreeRole::Main, 0}, Case{0, EquipmentTreeRole::Editor, 0},
          Case{7, EquipmentTreeRole::Editor, 7}, Case{8, EquipmentTreeRole::Editor, 1},
          Case{15, EquipmentTreeRole::Editor, 1}}) {
        EXPECT_EQ(EquipmentImageIndex(c.level, c.role), c.icon) << c.level;
    }
}

INSTANTIATE_BACKENDS(ReferenceCache);

// Paths, the rights check and the journal tree built from MAGS and CONFORMS.

#include "DMUnit.h"
#include "MagCommon.h"
#include "Schema.h"
#include "DataModuleFixture.h"

#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

using namespace catalogue;
using database::LogOn;
using platform::SqlStatement;

namespace
{

// A one-node tree whose prepared lines are given.
struct OneJournal {
    JournalTree tree;
    JournalNode* node;
    explicit OneJournal(const QString& lines)
    {
        node = tree.add(nullptr);
        node->info.FullPath = "J`";
        node->info.Permissions = lines;
    }
};

} // namespace

TEST(Paths, ParentPathAndRootPath)
{
    struct Case {
        const char* path;
        const char* parent;
        const char* root;
    };
    for (const Case& c : {Case{"A`B`C`", "A`B`", "A`"}, Case{"A`", "", "A`"}, Case{"", "", ""},
                          Case{"A`B`", "A`", "A`"}, Case{"A`B", "A`", "A`"}}) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ParentPath(c.path), c.parent);
        EXPECT_EQ(RootPathOf(c.path), c.root);
    }
}

TEST(Rights, CheckRightOnPreparedLines)
{
    QStringList twentyOne;
    for (int i = 0; i < 20; ++i)
        twentyOne.append("x");
    twentyOne.append("d");
    struct Case {
        QString lines;
        const char* name;
        const char* right;
        const char* granted;
    };
    const std::vector<Case> cases = {
        {"ALL=rw\r\n", "ALL", "r", "rw"},
        {"ALL=rw\r\n", "ALL", "w", ""},
        {"ALL=r,w\r\n", "ALL", "w", "w"},
        {"ALL=R,W\r\n", "ALL", "w", "W"},
        {"ALL=" + twentyOne.join(',') + "\r\n", "ALL", "d", ""},
        {"ALL=" + twentyOne.mid(1).join(',') + "\r\n", "ALL", "d", "d"},
        {"ALL=r,c\r\n", "NUM", "w", ""}, // falls back to the journal line
        {"ALL=r,c\r\n", "NUM", "r", "r"},
        {"ALL=r\r\nNUM=w(0>1|2;1>2;ALL>3)\r\n", "num", "w", "w(0>1|2;1>2;ALL>3)"},
        {"ALL=r\nSTATE=\nNUM=r", "STATE", "r", "r"}, // an empty value falls back too
        {"", "ALL", "r", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.lines + " " + c.name + " " + c.right).toStdString());
        OneJournal j(c.lines);
        EXPECT_EQ(CheckRight(j.node, QString(), c.name, c.right), c.granted);
    }
    OneJournal j("ALL=r\r\n");
    EXPECT_EQ(CheckRight(j.node, "J`", "ALL", "r"), "r");
    EXPECT_EQ(CheckRight(j.node, "OTHER`", "ALL", "r"), "");
}

TEST(Rights, OwnerLinesTakeUserOverGroupOverAll)
{
    struct Case {
        const char* text;
        const char* value;
    };
    for (const Case& c : {Case{"ALL=r\r\nG3=r,w\r\nU7=r", "r"}, Case{"ALL=r\r\nG3=r,w", "r,w"},
                          Case{"ALL=r\r\nG3=r,w\r\nU7=", "r,w"}, Case{"ALL=r\r\nu7=c", "c"},
                          Case{"all=d\ng4=r", "d"}, Case{"U70=w", ""}, Case{"ALL=x=y", "x=y"}}) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(RightsValueFor(c.text, 7, 3), c.value);
    }
}

class JournalTreeBuild : public DataModuleTest
{
protected:
    void SetUp() override
    {
        DataModuleTest::SetUp();
        LogOn().CurrentGID = 3;
    }
    void journal(const QString& path, const QString& description, const QString& fullDescription,
                 const QString& ext = {})
    {
        SqlStatement s(
            "INSERT INTO MAGS (FULLPATH, DESCRIPTION, FULLDESCRIPTION, EXTTABLE) VALUES (");
        s.quoted(path) << ", ";
        s.quoted(description) << ", ";
        s.quoted(fullDescription) << ", ";
        s.quoted(ext) << ")";
        dm->execSql(s.emptyLiteralsAs());
    }
    void rights(const QString& path, const QString& field, const QString& permissions)
    {
        SqlStatement s("INSERT INTO CONFORMS (FULLPATH, FIELDNAME, PERMISSIONS) VALUES (");
        s.quoted(path) << ", ";
        s.quoted(field) << ", ";
        s.quoted(permissions) << ")";
        dm->execSql(s.emptyLiteralsAs());
    }
    void build()
    {
        dm->ConformsTable->close();
        dm->ConformsTable->open();
        tree.clear();
        BuildJournalTree(*dm, tree);
    }
    JournalNode* node(const QString& path) { return FindNodeByPath(tree.first(), path); }
    JournalTree tree;
};

TEST_P(JournalTreeBuild, NodesCarryBuiltDescriptionsInheritedTablesAndRights)
{
    journal("OPS`", "  Оперативный ", "Оперативный`", "EXT_OPS");
    journal("OPS`S1`", "Смена 1", "Оперативный`zzz only orders`", "IGNORED");
    journal("OPS`S1`N`", "Ночь", "Оперативный`Смена 1`Ночь`");
    journal("OPS`A`", "Аварии", "Оперативный`Аварии`");
    journal("REP`", "Ремонты", "Ремонты`", "EXT_REP");
    rights("OPS`", "ALL", "ALL=r,w,c,d");
    rights("OPS`", "NUM", "U7=r\r\nALL=r,w");
    rights("OPS`S1`", "ALL", "ALL=r");
    rights("OPS`S1`N`", "NUM", "G3=w");
    rights("REP`", "ALL", "U7=\r\nG3=r,c");
    build();

    ASSERT_EQ(tree.topCount(), 2);
    EXPECT_EQ(tree.top(0)->caption, "Оперативный");
    JournalNode* night = node("OPS`S1`N`");
    ASSERT_TRUE(night);
    EXPECT_EQ(night->info.FullDescription, "Оперативный`Смена 1`Ночь`");
    EXPECT_EQ(node("OPS`S1`")->info.FullDescription, "Оперативный`Смена 1`");
    EXPECT_EQ(night->info.ExtTable, "EXT_OPS");
    EXPECT_EQ(node("REP`")->info.ExtTable, "EXT_REP");
    EXPECT_EQ(node("OPS`S1`")->info.Permissions, "ALL=r\r\nNUM=r\r\n");
    EXPECT_EQ(night->info.Permissions, "NUM=w\r\nALL=r\r\n");
    EXPECT_EQ(node("REP`")->info.Permissions, "ALL=r,c\r\n");
    EXPECT_EQ(night->columns, (QStringList{"OPS`S1`N`", "Оперативный`Смена 1`Ночь`", "EXT_OPS",
                                           night->info.Permissions}));
    // Children sorted by caption; icons by level and children.
    EXPECT_EQ(node("OPS`")->child(0)->caption, "Аварии");
    EXPECT_EQ(node("OPS`")->imageIndex, 0);
    EXPECT_EQ(node("OPS`S1`")->imageIndex, 1);
    EXPECT_EQ(night->imageIndex, 2);
    // The rights of a field of the record from the first top-level node.
    EXPECT_EQ(CheckRight(tree.first(), "OPS`S1`N`", "NUM", "w"), "w");
    EXPECT_EQ(CheckRight(tree.first(), "OPS`S1`", "ALL", "w"), "");
    EXPECT_EQ(CheckRight(tree.first(), "OPS`A`", "ALL", "d"), "d"); // inherited whole

    QAbstractItemModelTester tester(new TreeModel(&tree, 5, dm.get()),
                                    QAbstractItemModelTester::FailureReportingMode::Fatal);
}

TEST_P(JournalTreeBuild, PruningRemovesUnreadableJournalsAndEmptiedGroups)
{
    journal("G1`", "Группа 1", "Группа 1`");
    journal("G1`X`", "X", "Группа 1`X`");
    journal("G1`Y`", "Y", "Группа 1`Y`");
    journal("G2`", "Группа 2", "Группа 2`");
    journal("G2`R`", "R", "Группа 2`R`");
    journal("G2`Z`", "Z", "Группа 2`Z`");
    journal("L`", "Лист", "Лист`");
    rights("G1`X`", "ALL", "ALL=w");
    rights("G2`R`", "ALL", "U7=r");
    rights("L`", "ALL", "ALL=c,r");
    build();
    PruneUnreadableJournals(tree);
    EXPECT_FALSE(node("G1`"));
    ASSERT_TRUE(node("G2`"));
    EXPECT_EQ(node("G2`")->childCount(), 1);
    EXPECT_TRUE(node("G2`R`"));
    EXPECT_TRUE(node("L`"));
    EXPECT_EQ(tree.count(), 3);

    const JournalSelection s = SelectJournal(static_cast<JournalNode*>(node("L`")));
    EXPECT_TRUE(s.requestEnabled);
    EXPECT_TRUE(s.createEnabled);
    EXPECT_EQ(CurrentJournal().FullPath, "L`");
    const JournalSelection g = SelectJournal(static_cast<JournalNode*>(node("G2`")));
    EXPECT_FALSE(g.requestEnabled); // a group stays for its child but has no right of its own
    ClearCurrentJournal();
    EXPECT_EQ(CurrentJournal().node, nullptr);
}

TEST_P(JournalTreeBuild, ParentsFoundEvenWhenNamesDoNotSortParentsFirst)
{
    // "Б`" sorts after "А`Я`" by description, so the chain alone would lose it.
    journal("P`", "А", "А`");
    journal("P`C`", "Я", "Яблоко`");
    journal("Q`", "Б", "Б`");
    rights("P`", "ALL", "ALL=r");
    build();
    ASSERT_TRUE(node("P`C`"));
    EXPECT_EQ(node("P`C`")->parent(), node("P`"));
    EXPECT_EQ(node("P`C`")->info.Permissions, "ALL=r\r\n");
}

INSTANTIATE_BACKENDS(JournalTreeBuild);

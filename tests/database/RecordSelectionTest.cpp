// The condition that the record selection composes from its answers.

#include "RecordSelection.h"

#include <gtest/gtest.h>

using namespace database;

TEST(RecordSelection, ConditionHasTheDatePartThenTheStatePart)
{
    const QDateTime b(QDate(2026, 1, 1), QTime(8, 0));
    const QDateTime e(QDate(2026, 1, 2), QTime(7, 59, 59, 999));
    const QList<StateItem> three = {{0, true}, {1, false}, {2, true}};
    struct Case {
        const char* name;
        RecordSelection selection;
        QString conditions;
        bool hasParams;
    };
    const std::vector<Case> cases = {
        {"everything", {DateMode::All, b, e, {}}, "", false},
        {"creation date",
         {DateMode::Created, b, e, {}},
         " and (DATECREATE>=:D1 and DATECREATE<=:D2) ",
         true},
        {"record date",
         {DateMode::RecordDate, b, e, {}},
         " and (DATE1>=:D1 and DATE1<=:D2) ",
         true},
        {"record range",
         {DateMode::RecordRange, b, e, {}},
         " and (DATE2>=:D1 and DATE1<=:D2) ",
         true},
        {"all states marked", {DateMode::All, b, e, {{0, true}, {1, true}, {2, true}}}, "", false},
        {"first and third marked", {DateMode::All, b, e, three}, "and (STATE=0 or STATE=2)", false},
        {"date and states",
         {DateMode::RecordDate, b, e, three},
         " and (DATE1>=:D1 and DATE1<=:D2) and (STATE=0 or STATE=2)",
         true},
        {"none marked selects nothing",
         {DateMode::All, b, e, {{0, false}, {1, false}}},
         "and (1=0)",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SelectionCondition sc = ComposeSelectionCondition(c.selection);
        EXPECT_EQ(sc.conditions, c.conditions);
        if (c.hasParams)
            EXPECT_EQ(sc.params, (QVariantMap{{"D1", b}, {"D2", e}}));
        else
            EXPECT_TRUE(sc.params.isEmpty());
    }
}

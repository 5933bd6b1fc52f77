// Packed record contexts: determinism, sensitivity to every column, journals
// without extension table, the same text on every server kind, bad texts.

#include "ContextPacking.h"
#include "Error.h"
#include "LZRW1.h"
#include "Schema.h"
#include "SqlStatement.h"
#include "TestDatabase.h"
#include "lzh.h"
#include "rjMime.h"

#include <gtest/gtest.h>

using namespace platform;
using signature::PackRecordContext;

namespace
{

void fillRecord(Server& s)
{
    database::CreateSystemTables(s);
    s.execute(database::ExtensionTableStatement("EXT_A"));
    s.execute("ALTER TABLE EXT_A ADD PRIORITY integer");
    s.execute("ALTER TABLE EXT_A ADD NOTE text");
    s.execute("ALTER TABLE EXT_A ADD DUE timestamp");
    SqlStatement core("INSERT INTO CORETABLE (RECID, FULLPATH, DATECREATE, DATE1, OBJECT, COMMENT, "
                      "NUM, STATE) VALUES "
                      "(7, 'A`', ");
    core.bind(QDateTime(QDate(2026, 12, 1), QTime(8, 0, 0, 125))) << ", ";
    core.bind(QDateTime(QDate(2026, 12, 1), QTime(9, 30))) << ", 'PS1`T1`', ";
    core.quoted(QString::fromUtf8("Замена 'уплотнения' насоса")) << ", 15, 2)";
    s.execute(core.text(), core.values());
    SqlStatement ext("INSERT INTO EXT_A (RECID, PRIORITY, NOTE, DUE) VALUES (7, 3, ");
    ext.quoted(QString::fromUtf8("Подробности: течь по валу")) << ", ";
    ext.bind(QDateTime(QDate(2026, 12, 5), QTime(18, 0))) << ")";
    s.execute(ext.text(), ext.values());
}

} // namespace

class ContextPacking : public BackendTest
{
protected:
    void SetUp() override
    {
        BackendTest::SetUp();
        fillRecord(*server);
    }
};

TEST_P(ContextPacking, SameRecordGivesTheSameTextAndUnpacksToItsValues)
{
    const QString text = PackRecordContext(*server, 7, "EXT_A");
    EXPECT_EQ(PackRecordContext(*server, 7, "EXT_A"), text);
    DataSet snapshot;
    signature::UnpackRecordContext(text, snapshot);
    ASSERT_EQ(snapshot.recordCount(), 1);
    EXPECT_EQ(snapshot.fieldNames(),
              (QStringList{"RECID", "FULLPATH", "DATECREATE", "DATE1", "DATE2", "OBJECT", "COMMENT",
                           "NUM", "STATE", "RECID_1", "PRIORITY", "NOTE", "DUE"}));
    EXPECT_EQ(snapshot.fieldByName("COMMENT")->asString(),
              QString::fromUtf8("Замена 'уплотнения' насоса"));
    EXPECT_EQ(snapshot.fieldByName("DATECREATE")->asDateTime(),
              QDateTime(QDate(2026, 12, 1), QTime(8, 0, 0, 125)));
    EXPECT_EQ(snapshot.fieldByName("NOTE")->asString(),
              QString::fromUtf8("Подробности: течь по валу"));
    EXPECT_TRUE(snapshot.fieldByName("DATE2")->isNull());
}

TEST_P(ContextPacking, ChangingAnyColumnChangesTheText)
{
    const QString before = PackRecordContext(*server, 7, "EXT_A");
    const std::vector<std::pair<const char*, const char*>> changes = {
        {"UPDATE CORETABLE SET COMMENT='Замена ''уплотнения'' насосА' WHERE RECID=7",
         "UPDATE CORETABLE SET COMMENT='Замена ''уплотнения'' насоса' WHERE RECID=7"},
        {"UPDATE CORETABLE SET OBJECT='PS1`T2`' WHERE RECID=7",
         "UPDATE CORETABLE SET OBJECT='PS1`T1`' WHERE RECID=7"},
        {"UPDATE CORETABLE SET NUM=16 WHERE RECID=7", "UPDATE CORETABLE SET NUM=15 WHERE RECID=7"},
        {"UPDATE EXT_A SET NOTE='Подробности: течь по валу.' WHERE RECID=7",
         "UPDATE EXT_A SET NOTE='Подробности: течь по валу' WHERE RECID=7"},
        {"UPDATE EXT_A SET PRIORITY=NULL WHERE RECID=7",
         "UPDATE EXT_A SET PRIORITY=3 WHERE RECID=7"},
    };
    for (const auto& [change, undo] : changes) {
        SCOPED_TRACE(change);
        server->execute(QString::fromUtf8(change));
        EXPECT_NE(PackRecordContext(*server, 7, "EXT_A"), before);
        server->execute(QString::fromUtf8(undo));
        EXPECT_EQ(PackRecordContext(*server, 7, "EXT_A"), before);
    }
}

TEST_P(ContextPacking, JournalWithoutExtensionTablePacksTheCoreRowAlone)
{
    DataSet snapshot;
    signature::UnpackRecordContext(PackRecordContext(*server, 7, ""), snapshot);
    EXPECT_EQ(snapshot.fieldCount(), 9);
    EXPECT_EQ(snapshot.fieldByName("NUM")->asInteger(), 15);
}

INSTANTIATE_BACKENDS(ContextPacking);

TEST(ContextPackingAcrossServers, EveryServerKindGivesTheSameText)
{
    if (AvailableBackends().size() < 2)
        GTEST_SKIP() << "needs LOGDESK_TEST_PG";
    QStringList texts;
    for (Backend b : AvailableBackends()) {
        TestDatabase db(b);
        auto s = db.connect();
        fillRecord(*s);
        texts.append(PackRecordContext(*s, 7, "EXT_A"));
    }
    EXPECT_EQ(texts[0], texts[1]);
}

TEST(ContextPackingErrors, BadTextsRaiseTheirErrors)
{
    struct Case {
        QString text;
        QString error;
    };
    const QString notSnapshot = signature::PackSnapshot("NOT A SNAPSHOT AT ALL");
    const std::vector<Case> cases = {
        {signature::rjMime::Encode("XXXXXXXXXXXXXXXX"),
         QString::fromLatin1(signature::lzmessage::kNoValidHeader)},
        {"", QString::fromLatin1(signature::lzmessage::kReadError)},
        {notSnapshot, "Invalid file format"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        DataSet ds;
        try {
            signature::UnpackRecordContext(c.text, ds);
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.text(), c.error);
        }
    }
}

// The system tables and the data module's checks of them.

#include "Schema.h"
#include "DMUnit.h"
#include "Error.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

using database::TDM;

class Schema : public BackendTest
{
protected:
    std::unique_ptr<TDM> dataModule()
    {
        auto dm = std::make_unique<TDM>(db->backend() == Backend::SQLite ? "x /BDE" : "x /RDA");
        dm->Timer1->stop();
        db->configure(*dm->currentServer());
        dm->currentServer()->open();
        return dm;
    }
};

TEST_P(Schema, DBIsCorrectNamesTheFirstMissingTable)
{
    auto dm = dataModule();
    EXPECT_FALSE(dm->DBIsCorrect());
    EXPECT_EQ(dm->missingTable(), "MAGS");
    database::CreateSystemTables(*server);
    EXPECT_TRUE(dm->DBIsCorrect());
    server->execute("DROP TABLE USERFORMS");
    EXPECT_FALSE(dm->DBIsCorrect());
    EXPECT_EQ(dm->missingTable(), "USERFORMS");
    EXPECT_TRUE(TDM::TableExist("coretable", dm->currentServer()));
    EXPECT_FALSE(TDM::TableExist("no_such_table", dm->currentServer()));
}

TEST_P(Schema, NumbersAreUniqueAndMaxIdStartsAtOne)
{
    database::CreateSystemTables(*server);
    auto dm = dataModule();
    EXPECT_EQ(dm->MaxID("Coretable", "RecID"), 1);
    server->execute("INSERT INTO CORETABLE (RECID) VALUES (-4)");
    EXPECT_EQ(dm->MaxID("Coretable", "RecID"), 1);
    server->execute("INSERT INTO CORETABLE (RECID) VALUES (41)");
    EXPECT_EQ(dm->MaxID("Coretable", "RecID"), 42);
    EXPECT_THROW(server->execute("INSERT INTO CORETABLE (RECID) VALUES (41)"), platform::Error);
    server->execute("INSERT INTO HISTORY (IDX, RECID) VALUES (1, 41)");
    EXPECT_THROW(server->execute("INSERT INTO HISTORY (IDX, RECID) VALUES (1, 42)"),
                 platform::Error);
}

INSTANTIATE_BACKENDS(Schema);

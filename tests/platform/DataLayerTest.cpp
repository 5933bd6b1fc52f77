// The data layer against real servers: statements with awkward values, dates,
// column descriptions, write-back of Post, and prefix tests.

#include "Error.h"
#include "Query.h"
#include "SqlStatement.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

using namespace platform;

class DataLayer : public BackendTest
{
protected:
    void SetUp() override
    {
        BackendTest::SetUp();
        server->execute(
            "CREATE TABLE T (RECID integer, NAME varchar(100), CODE Char(50), D timestamp, "
            "MEMO text, N integer)");
    }
    std::unique_ptr<Query> select(const QString& text)
    {
        auto q = std::make_unique<Query>();
        q->setServer(server.get());
        q->setSql(text);
        return q;
    }
};

TEST_P(DataLayer, ValuesWithApostrophesAreStoredExactlyAndEmptyOnesAsNull)
{
    const QStringList values = {"O'Brien",
                                "trailing'",
                                "'",
                                "''",
                                "x'); DROP TABLE T; --",
                                QString::fromUtf8("Ёлка 'в' лесу"),
                                ""};
    for (int i = 0; i < values.size(); ++i) {
        SqlStatement s;
        s << "INSERT INTO T (RECID, NAME) VALUES (";
        s.number(i) << ", ";
        s.quoted(values[i]) << ")";
        server->execute(s.emptyLiteralsAs().text(), s.emptyLiteralsAs().values());
    }
    auto q = select("SELECT RECID, NAME FROM T ORDER BY RECID");
    q->open();
    ASSERT_EQ(q->recordCount(), values.size());
    for (int i = 0; i < values.size(); ++i, q->next()) {
        SCOPED_TRACE(values[i].toStdString());
        if (values[i].isEmpty())
            EXPECT_TRUE(q->fieldByName("NAME")->isNull());
        else
            EXPECT_EQ(q->fieldByName("NAME")->asString(), values[i]);
    }
}

TEST_P(DataLayer, EmptyLiteralReplacementTurnsEveryPairIntoNull)
{
    EXPECT_EQ(ReplaceEmptyLiterals("UPDATE Conforms SET RefName='' WHERE a=''''"),
              "UPDATE Conforms SET RefName=NULL WHERE a=NULLNULL");
    EXPECT_EQ(ReplaceEmptyLiterals("x='''", "null"), "x=null'");
    SqlStatement s("UPDATE T SET NAME=");
    s.quoted("") << ", CODE=";
    s.quoted("it's") << " WHERE RECID=1";
    const SqlStatement r = s.emptyLiteralsAs("null");
    EXPECT_EQ(r.text(), "UPDATE T SET NAME=null, CODE=? WHERE RECID=1");
    EXPECT_EQ(r.values(), QVariantList{"it's"});
}

TEST_P(DataLayer, DatesRoundTripToTheMillisecondAndCompareAsMoments)
{
    const QDateTime a(QDate(2026, 3, 9), QTime(8, 0, 0, 1));
    const QDateTime b(QDate(2026, 3, 10), QTime(23, 59, 59, 999));
    const QDateTime c(QDate(2025, 12, 31), QTime(0, 0));
    int id = 0;
    for (const QDateTime& d : {a, b, c}) {
        SqlStatement s("INSERT INTO T (RECID, D) VALUES (");
        s.number(++id) << ", ";
        s.bind(d) << ")";
        server->execute(s.text(), s.values());
    }
    auto q = select("SELECT RECID, D FROM T WHERE D >= :D1 AND D < :D2 ORDER BY D");
    q->setParam("D1", a);
    q->setParam("d2", QDateTime(QDate(2026, 3, 10), QTime(23, 59, 59, 999)));
    q->open();
    ASSERT_EQ(q->recordCount(), 1);
    EXPECT_EQ(q->fieldByName("D")->asDateTime(), a);
    EXPECT_EQ(q->fieldByName("D")->type(), FieldType::DateTime);

    q->close();
    q->setSql("SELECT D FROM T ORDER BY D");
    q->open();
    QList<QDateTime> got;
    for (q->first(); !q->eof(); q->next())
        got.append(q->fieldByName("D")->asDateTime());
    EXPECT_EQ(got, (QList<QDateTime>{c, a, b}));
}

TEST_P(DataLayer, ColumnsAreDescribedAlikeOnEveryServer)
{
    auto q = select("SELECT * FROM T");
    q->open();
    ASSERT_EQ(q->fieldNames(), (QStringList{"RECID", "NAME", "CODE", "D", "MEMO", "N"}));
    struct Expect {
        const char* name;
        FieldType type;
        int size;
    };
    for (const Expect& e :
         {Expect{"RECID", FieldType::Integer, 0}, Expect{"NAME", FieldType::String, 100},
          Expect{"CODE", FieldType::String, 50}, Expect{"D", FieldType::DateTime, 0},
          Expect{"MEMO", FieldType::Memo, 0}, Expect{"N", FieldType::Integer, 0}}) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(q->fieldByName(e.name)->type(), e.type);
        EXPECT_EQ(q->fieldByName(e.name)->size(), e.size);
    }
}

TEST_P(DataLayer, FixedCharValuesComeBackWithoutPadding)
{
    server->execute("INSERT INTO T (RECID, CODE) VALUES (1, 'abc')");
    auto q = select("SELECT CODE FROM T");
    q->open();
    EXPECT_EQ(q->fieldByName("CODE")->asString(), "abc");
}

TEST_P(DataLayer, PostOfAQueryOverOneTableIsWrittenBack)
{
    auto q = select("select * from T where RECID=0");
    q->open();
    q->append();
    q->fieldByName("RECID")->setValue(7);
    q->fieldByName("NAME")->setValue("O'Brien");
    q->fieldByName("D")->setValue(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6)));
    q->fieldByName("MEMO")->setValue(QString(5000, u'ж'));
    q->post();

    auto e = select("select * from T where RECID=7");
    e->open();
    ASSERT_EQ(e->recordCount(), 1);
    EXPECT_EQ(e->fieldByName("MEMO")->asString(), QString(5000, u'ж'));
    e->edit();
    EXPECT_EQ(e->fieldByName("NAME")->oldValue().toString(), "O'Brien");
    e->fieldByName("NAME")->setValue("changed");
    e->fieldByName("N")->setValue(5);
    EXPECT_TRUE(e->modified());
    e->post();

    auto check = select("select NAME, N, D from T");
    check->open();
    ASSERT_EQ(check->recordCount(), 1);
    EXPECT_EQ(check->fieldByName("NAME")->asString(), "changed");
    EXPECT_EQ(check->fieldByName("N")->asInteger(), 5);
    EXPECT_EQ(check->fieldByName("D")->asDateTime(),
              QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5, 6)));

    e->deleteRecord();
    auto gone = select("select * from T");
    gone->open();
    EXPECT_EQ(gone->recordCount(), 0);
}

TEST_P(DataLayer, WithAutomaticUpdateOffEditsStayInMemory)
{
    server->execute("INSERT INTO T (RECID, NAME) VALUES (1, 'a')");
    auto q = select("select * from T");
    q->setAutoUpdate(false);
    q->open();
    q->edit();
    q->fieldByName("NAME")->setValue("b");
    q->post();
    q->append();
    q->post();
    EXPECT_EQ(q->recordCount(), 2);
    auto check = select("select NAME from T");
    check->open();
    EXPECT_EQ(check->recordCount(), 1);
    EXPECT_EQ(check->fieldByName("NAME")->asString(), "a");
}

TEST_P(DataLayer, ServerErrorsCarryTheServerText)
{
    auto q = select("select * from NO_SUCH_TABLE");
    q->setOpenErrorPrefix("Unable to retrieve query result: ");
    try {
        q->open();
        FAIL() << "opened a missing table";
    } catch (const Error& e) {
        EXPECT_TRUE(e.text().startsWith("Unable to retrieve query result: "));
        EXPECT_TRUE(e.text().contains("no_such_table", Qt::CaseInsensitive))
            << e.text().toStdString();
    }
    EXPECT_FALSE(q->active());
}

TEST_P(DataLayer, PrefixTestsMatchUnderscoreAndPercentLiterally)
{
    for (const char* path : {"A_B`", "AXB`", "A_B`C`", "A%`", "AB%`", "a_b`"}) {
        SqlStatement s("INSERT INTO T (RECID, NAME) VALUES (1, ");
        s.quoted(path) << ")";
        server->execute(s.text(), s.values());
    }
    struct Case {
        const char* prefix;
        QStringList expected;
    };
    for (const Case& c :
         {Case{"A_B`", {"A_B`", "A_B`C`"}}, Case{"A%`", {"A%`"}}, Case{"AXB`", {"AXB`"}}}) {
        SCOPED_TRACE(c.prefix);
        SqlStatement s("SELECT NAME FROM T WHERE ");
        s.startsWith("NAME", c.prefix) << " ORDER BY NAME";
        QSqlQuery r = server->execute(s.text(), s.values());
        QStringList got;
        while (r.next())
            got.append(r.value(0).toString());
        EXPECT_EQ(got, c.expected);
    }
}

TEST_P(DataLayer, TransactionRollsBackEveryStatement)
{
    {
        Transaction t(*server);
        server->execute("INSERT INTO T (RECID) VALUES (1)");
        EXPECT_THROW(server->execute("INSERT INTO NOPE (X) VALUES (1)"), Error);
    }
    auto q = select("select * from T");
    q->open();
    EXPECT_EQ(q->recordCount(), 0);
}

INSTANTIATE_BACKENDS(DataLayer);

TEST(KeepAlive, AFailedRequestMarksTheServerNotConnectedSilently)
{
    if (AvailableBackends().size() < 2)
        GTEST_SKIP() << "needs LOGDESK_TEST_PG";
    TestDatabase db(Backend::PostgreSQL);
    auto victim = db.connect();
    victim->setApplicationName("ignored while connected");
    EXPECT_TRUE(victim->keepAlive());
    QSqlQuery pid = victim->execute("SELECT pg_backend_pid()");
    ASSERT_TRUE(pid.next());
    const int backend = pid.value(0).toInt();
    auto other = db.connect();
    other->execute("SELECT pg_terminate_backend(" + QString::number(backend) + ")");
    EXPECT_FALSE(victim->keepAlive());
    EXPECT_FALSE(victim->connected());
}

TEST(ApplicationName, TheTcpServerIntroducesItself)
{
    if (AvailableBackends().size() < 2)
        GTEST_SKIP() << "needs LOGDESK_TEST_PG";
    TestDatabase db(Backend::PostgreSQL);
    Server s(ServerKind::TCP);
    db.configure(s);
    s.setApplicationName("logdesk");
    s.open();
    QSqlQuery q =
        s.execute("SELECT application_name FROM pg_stat_activity WHERE pid = pg_backend_pid()");
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), "logdesk");
}

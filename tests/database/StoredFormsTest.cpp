// Stored objects in USERFORMS: pieces, replacement, deletion, name rules.

#include "DMUnit.h"
#include "Error.h"
#include "Schema.h"
#include "TDBStream.h"
#include "DataModuleFixture.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using database::TDBStream;
using database::TDM;

class StoredForms : public DataModuleTest
{
protected:
    static QByteArray randomBytes(int n)
    {
        QByteArray b(n, Qt::Uninitialized);
        for (char& c : b)
            c = char(QRandomGenerator::global()->bounded(256));
        return b;
    }
    QList<int> pieceLengths(const QString& path)
    {
        QSqlQuery q = server->execute("SELECT FORMBLOB FROM USERFORMS WHERE FULLPATH='" + path +
                                      "' ORDER BY SEQID");
        QList<int> lengths;
        while (q.next())
            lengths.append(int(q.value(0).toString().size()));
        return lengths;
    }
};

TEST_P(StoredForms, ObjectsAreCutIntoPiecesAndReadBack)
{
    struct Case {
        int bytes;
        QList<int> pieces;
    };
    for (const Case& c : {Case{24573, {32764}}, Case{24576, {32767, 1}},
                          Case{49152, {32767, 32767, 2}}, Case{3, {4}}, Case{1, {4}}}) {
        SCOPED_TRACE(c.bytes);
        const QString path = QString("J%1`").arg(c.bytes);
        TDBStream out(*dm);
        out.bytes() = randomBytes(c.bytes);
        out.SaveToDB(path, " ", database::RecordForm);
        EXPECT_EQ(pieceLengths(path), c.pieces);
        TDBStream in(*dm);
        in.LoadFromDB(path, "", database::RecordForm);
        EXPECT_EQ(in.bytes(), out.bytes());
        EXPECT_EQ(in.position(), 0);
    }
}

TEST_P(StoredForms, SavingReplacesAndAnEmptyStreamDeletes)
{
    TDBStream first(*dm);
    first.bytes() = randomBytes(40000);
    first.SaveToDB("J`", "Отчёт 'смены'", database::ReportTemplate);
    TDBStream second(*dm);
    second.bytes() = "second version";
    second.SaveToDB("J`", "Отчёт 'смены'", database::ReportTemplate);
    EXPECT_EQ(pieceLengths("J`").size(), 1);
    TDBStream in(*dm);
    in.LoadFromDB("J`", "Отчёт 'смены'", database::ReportTemplate);
    EXPECT_EQ(in.bytes(), "second version");
    TDBStream other(*dm);
    other.LoadFromDB("J`", "Отчёт 'смены'", database::RecordForm);
    EXPECT_TRUE(other.bytes().isEmpty());

    TDBStream empty(*dm);
    empty.SaveToDB("J`", "Отчёт 'смены'", database::ReportTemplate);
    EXPECT_TRUE(pieceLengths("J`").isEmpty());
    TDBStream untouched(*dm);
    untouched.bytes() = "keep";
    untouched.LoadFromDB("J`", "Отчёт 'смены'", database::ReportTemplate);
    EXPECT_EQ(untouched.bytes(), "keep");
}

TEST_P(StoredForms, AFailedSaveKeepsTheEarlierVersion)
{
    TDBStream first(*dm);
    first.bytes() = "earlier";
    first.SaveToDB("J`", " ", database::RecordForm);
    // A piece that the server refuses: the table loses its FORMBLOB column.
    server->execute("ALTER TABLE USERFORMS RENAME TO USERFORMS_OLD");
    server->execute(
        "CREATE TABLE USERFORMS (SEQID integer, FULLPATH varchar(100), FORMNAME varchar(100), "
        "RTYPE integer, FORMBLOB varchar(5))");
    server->execute("INSERT INTO USERFORMS SELECT * FROM USERFORMS_OLD WHERE 1=0");
    server->execute("INSERT INTO USERFORMS VALUES (1, 'J`', ' ', 1, 'ZWFy')");
    TDBStream big(*dm);
    big.bytes() = QByteArray(3000, 'x');
    if (db->backend() == Backend::SQLite) {
        // SQLite does not enforce declared lengths: make the insert fail another way.
        server->execute("CREATE TRIGGER refuse BEFORE INSERT ON USERFORMS BEGIN SELECT RAISE(FAIL, "
                        "'refused'); END");
    }
    EXPECT_THROW(big.SaveToDB("J`", " ", database::RecordForm), platform::Error);
    TDBStream in(*dm);
    in.LoadFromDB("J`", " ", database::RecordForm);
    EXPECT_EQ(in.bytes(), "ear");
}

INSTANTIATE_BACKENDS(StoredForms);

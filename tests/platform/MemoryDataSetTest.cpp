// The memory dataset: editing states, filter, locate, lookup fields, and its
// snapshot format with hostile input.

#include "DataSet.h"
#include "Error.h"

#include <QtEndian>
#include <gtest/gtest.h>

using namespace platform;

namespace
{

std::unique_ptr<DataSet> equipment()
{
    auto ds = std::make_unique<DataSet>();
    ds->addFieldDef("FULLPATH", FieldType::String, 100);
    ds->addFieldDef("DESCRIPTION", FieldType::String, 50);
    ds->addFieldDef("N", FieldType::Integer);
    ds->addFieldDef("D", FieldType::DateTime);
    ds->addFieldDef("MEMO", FieldType::Memo);
    ds->open();
    const QDateTime d(QDate(2026, 12, 11), QTime(8, 30, 15, 250));
    ds->appendRow({QString("A`"), QString::fromUtf8("Насос 'главный'"), 1, d,
                   QString::fromUtf8("примечание")});
    ds->appendRow({QString("A`B`"), QString("Pump"), QVariant(), QVariant(), QVariant()});
    ds->appendRow(
        {QString("C`"), QString(), -5, QDateTime(QDate(1899, 12, 29), QTime(6, 0)), QString()});
    return ds;
}

} // namespace

TEST(MemoryDataSet, EditKeepsOldValuesAndCancelRestores)
{
    auto ds = equipment();
    ds->first();
    ds->edit();
    ds->fieldByName("n")->setValue("7");
    EXPECT_EQ(ds->fieldByName("N")->value(), QVariant(7));
    EXPECT_EQ(ds->fieldByName("N")->oldValue(), QVariant(1));
    EXPECT_TRUE(ds->modified());
    ds->cancel();
    EXPECT_EQ(ds->fieldByName("N")->asInteger(), 1);
    EXPECT_THROW(ds->fieldByName("N")->setValue(2), Error); // not in edit state
    ds->edit();
    EXPECT_THROW(ds->fieldByName("N")->setValue("seven"), Error);
    ds->fieldByName("N")->setValue(QVariant());
    ds->post();
    EXPECT_TRUE(ds->fieldByName("N")->isNull());
}

TEST(MemoryDataSet, FilterAndLocate)
{
    auto ds = equipment();
    ds->setFilter("FULLPATH='A`B`'");
    ds->setFiltered(true);
    ASSERT_EQ(ds->recordCount(), 1);
    EXPECT_EQ(ds->fieldByName("DESCRIPTION")->asString(), "Pump");
    ds->setFilter("N=-5");
    EXPECT_EQ(ds->recordCount(), 1);
    ds->setFilter("DESCRIPTION='Насос ''главный''' and N=1");
    EXPECT_EQ(ds->recordCount(), 1);
    EXPECT_THROW(ds->setFilter("N>1"), Error);
    ds->setFiltered(false);
    EXPECT_EQ(ds->recordCount(), 3);

    EXPECT_TRUE(ds->locate("FULLPATH;N", {"C`", -5}));
    EXPECT_EQ(ds->recNo(), 2);
    EXPECT_FALSE(ds->locate("FULLPATH", QVariant("a`")));
    EXPECT_EQ(ds->recNo(), 2);
    EXPECT_TRUE(ds->locate("FULLPATH", QVariant("a`"), {true, false}));
    EXPECT_EQ(ds->recNo(), 0);
}

TEST(MemoryDataSet, LookupFieldsFollowTheirKeyThroughTheCachedList)
{
    auto states = std::make_unique<DataSet>();
    states->addFieldDef("ACODE", FieldType::Integer);
    states->addFieldDef("AVALUE", FieldType::String, 50);
    states->open();
    states->appendRow({1, QString("Open")});
    states->appendRow({2, QString("Closed")});
    states->appendRow({2, QString("Duplicate code")});

    DataSet records;
    records.addField(FieldDef{"STATE", FieldType::Integer});
    Field* text = records.addField(FieldDef{"S_STATE", FieldType::String, 150}, FieldKind::Lookup);
    text->setLookup({states.get(), "STATE", "ACODE", "AVALUE"});
    records.setFieldDefs({FieldDef{"STATE", FieldType::Integer}});
    records.open();
    records.appendRow({2});
    records.appendRow({9});
    EXPECT_EQ(text->asString(), "Closed"); // the first row with the code wins
    EXPECT_EQ(records.valueAt(1, text), QVariant());
    records.first();
    records.edit();
    text->setValue("Open");
    EXPECT_EQ(records.fieldByName("STATE")->asInteger(), 1);
}

TEST(MemoryDataSet, SnapshotRoundTripsEveryValueKind)
{
    auto ds = equipment();
    const QByteArray bytes = ds->saveToBytes();
    ASSERT_TRUE(bytes.startsWith("RADICAL FILE"));
    EXPECT_EQ(bytes, ds->saveToBytes());

    DataSet copy;
    copy.loadFromBytes(bytes);
    ASSERT_EQ(copy.recordCount(), 3);
    EXPECT_EQ(copy.fieldNames(), ds->fieldNames());
    EXPECT_EQ(copy.fieldByName("FULLPATH")->size(), 100);
    for (int r = 0; r < 3; ++r)
        for (int f = 0; f < ds->fieldCount(); ++f) {
            SCOPED_TRACE(QString("row %1 field %2").arg(r).arg(ds->field(f)->name()).toStdString());
            const QVariant want = ds->valueAt(r, ds->field(f));
            const QVariant got = copy.valueAt(r, copy.field(f));
            // NULL and empty texts are both stored as "nothing".
            if (want.isNull() || want.toString().isEmpty())
                EXPECT_TRUE(got.isNull() || got.toString().isEmpty());
            else
                EXPECT_EQ(got, want);
        }
    EXPECT_EQ(copy.saveToBytes(), bytes);
}

TEST(MemoryDataSet, MalformedSnapshotsAreRejectedWithoutHarm)
{
    const QByteArray good = equipment()->saveToBytes();
    auto withInt = [&](int offset, qint32 value) {
        QByteArray b = good;
        qToLittleEndian(value, b.data() + offset);
        return b;
    };
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"empty", QByteArray()},
        {"wrong magic", QByteArray("RADICAL FILX") + good.mid(12)},
        {"huge field count", withInt(12, 0x7fffffff)},
        {"negative field count", withInt(12, -1)},
        {"huge name length", withInt(16, 0x40000000)},
        {"trailing garbage", good + "x"},
        {"unknown tag",
         [&] {
             QByteArray b = good;
             b[b.size() - 1 - 4] = char(0x42); // inside the last row's values
             return b;
         }()},
    };
    for (const auto& [name, bytes] : cases) {
        SCOPED_TRACE(name);
        DataSet ds;
        try {
            ds.loadFromBytes(bytes);
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.text(), "Invalid file format");
        }
        EXPECT_FALSE(ds.active());
    }
    for (qsizetype cut = 0; cut < good.size(); ++cut) {
        DataSet ds;
        EXPECT_THROW(ds.loadFromBytes(good.left(cut)), Error) << "cut at " << cut;
    }
}

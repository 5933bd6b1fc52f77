// The byte layer of the component stream: every value type, the record
// prefix, the writer as the reader's inverse, and malformed input.

#include "ComponentStream.h"
#include "Error.h"

#include <QBuffer>
#include <QImage>
#include <cmath>
#include <gtest/gtest.h>

using namespace editing;

namespace
{

QByteArray Short(const QByteArray& text)
{
    return char(text.size()) + text;
}

QByteArray U32(quint32 n)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((n >> (8 * i)) & 0xFF);
    return b;
}

// A stream whose root "Form1: TUForm" has one property P with the given value
// bytes (type byte and payload).
QByteArray OneProperty(const QByteArray& value)
{
    return "TPF0" + Short("TUForm") + Short("Form1") + Short("P") + value + '\0' + '\0';
}

QString ErrorOf(const QByteArray& stream)
{
    try {
        (void)ReadStreamTree(stream);
    } catch (const platform::Error& e) {
        return e.text();
    }
    return "no error";
}

TEST(ComponentStream, EmptyRootRecordReadsAsClassAndNameOnly)
{
    const QByteArray stream = "TPF0" + Short("TUForm") + Short("UForm1") + '\0' + '\0';
    const StreamComponent root = ReadStreamTree(stream);
    EXPECT_EQ(root.header.className, "TUForm");
    EXPECT_EQ(root.header.name, "UForm1");
    EXPECT_EQ(root.header.flags, 0);
    EXPECT_TRUE(root.properties.empty());
    EXPECT_TRUE(root.children.empty());
    EXPECT_EQ(WriteComponentStream(root), stream);
}

struct ValueCase {
    const char* label;
    QByteArray bytes; // type byte and payload
    std::function<void(const StreamValue&)> check;
};

// Every type of the value table, read from hand-made bytes and written back
// to the very same bytes.
TEST(ComponentStream, EveryValueTypeReadsAndWritesBack)
{
    const QByteArray cp1251 = QByteArray::fromHex("c4e0f2e0"); // "Дата"
    const std::vector<ValueCase> cases = {
        {"int8", QByteArray::fromHex("02fb"),
         [](const StreamValue& v) { EXPECT_EQ(v.integer, -5); }},
        {"int16", QByteArray::fromHex("0300c0"),
         [](const StreamValue& v) { EXPECT_EQ(v.integer, -16384); }},
        {"int32", QByteArray::fromHex("0478563412"),
         [](const StreamValue& v) { EXPECT_EQ(v.integer, 0x12345678); }},
        {"int64", QByteArray::fromHex("13ffffffffffffff7f"),
         [](const StreamValue& v) { EXPECT_EQ(v.integer, std::numeric_limits<qint64>::max()); }},
        {"extended 1", QByteArray::fromHex("050000000000000080ff3f"),
         [](const StreamValue& v) { EXPECT_EQ(v.real, 1.0); }},
        {"extended -2.5", QByteArray::fromHex("0500000000000000a000c0"),
         [](const StreamValue& v) { EXPECT_EQ(v.real, -2.5); }},
        {"single", QByteArray::fromHex("0f0000c03f"),
         [](const StreamValue& v) { EXPECT_EQ(v.real, 1.5); }},
        {"currency", QByteArray::fromHex("1040e2010000000000"),
         [](const StreamValue& v) { EXPECT_EQ(v.integer, 123456); }},
        {"date", QByteArray::fromHex("11000000000000f83f"),
         [](const StreamValue& v) { EXPECT_EQ(v.real, 1.5); }},
        {"string", '\x06' + Short(cp1251),
         [](const StreamValue& v) { EXPECT_EQ(v.text, QString::fromUtf8("Дата")); }},
        {"long string", '\x0c' + U32(4) + cp1251,
         [](const StreamValue& v) { EXPECT_EQ(v.text, QString::fromUtf8("Дата")); }},
        {"wide string", QByteArray::fromHex("120200000014043004"),
         [](const StreamValue& v) { EXPECT_EQ(v.text, QString::fromUtf8("Да")); }},
        {"utf-8 string", '\x14' + U32(4) + QByteArray("\xd0\x94\xd0\xb0"),
         [](const StreamValue& v) { EXPECT_EQ(v.text, QString::fromUtf8("Да")); }},
        {"identifier", '\x07' + Short("alClient"),
         [](const StreamValue& v) { EXPECT_EQ(v.text, "alClient"); }},
        {"false", QByteArray("\x08"), [](const StreamValue&) {}},
        {"true", QByteArray("\x09"), [](const StreamValue&) {}},
        {"nil", QByteArray("\x0d"), [](const StreamValue&) {}},
        {"binary", '\x0a' + U32(3) + QByteArray("\x00\x01\xff", 3),
         [](const StreamValue& v) { EXPECT_EQ(v.bytes, QByteArray("\x00\x01\xff", 3)); }},
        {"empty set", QByteArray("\x0b\x00", 2),
         [](const StreamValue& v) { EXPECT_TRUE(v.members.isEmpty()); }},
        {"set", '\x0b' + Short("akLeft") + Short("akTop") + '\0',
         [](const StreamValue& v) {
             EXPECT_EQ(v.members, QStringList({"akLeft", "akTop"}));
         }},
        {"list", '\x01' + ('\x06' + Short("a")) + ('\x02' + QByteArray("\x07")) + '\0',
         [](const StreamValue& v) {
             ASSERT_EQ(v.list.size(), 2u);
             EXPECT_EQ(v.list[0].text, "a");
             EXPECT_EQ(v.list[1].integer, 7);
         }},
        {"collection of two, the second with an order value",
         '\x0e' + ('\x01' + Short("A") + "\x02\x01" + '\0') +
             ("\x02\x05\x01" + Short("B") + "\x09" + '\0') + '\0',
         [](const StreamValue& v) {
             ASSERT_EQ(v.items.size(), 2u);
             EXPECT_FALSE(v.items[0].order);
             EXPECT_EQ(v.items[0].properties[0].name, "A");
             EXPECT_EQ(v.items[0].properties[0].value.integer, 1);
             EXPECT_EQ(v.items[1].order, 5);
             EXPECT_EQ(v.items[1].properties[0].value.type, ValueType::True);
         }},
    };
    for (const ValueCase& c : cases) {
        SCOPED_TRACE(c.label);
        const QByteArray stream = OneProperty(c.bytes);
        const StreamComponent root = ReadStreamTree(stream);
        ASSERT_EQ(root.properties.size(), 1u);
        const StreamValue& v = root.properties[0].value;
        EXPECT_EQ(quint8(v.type), quint8(c.bytes[0]));
        c.check(v);
        EXPECT_EQ(WriteComponentStream(root).toHex(), stream.toHex());
    }
}

TEST(ComponentStream, PrefixFlagsAndChildPositionAreRead)
{
    const QByteArray child = "\xf3\x02\x04" + Short("TLabel") + Short("L") + '\0' + '\0';
    const QByteArray stream = "TPF0" + Short("TUForm") + Short("F") + '\0' + child + '\0';
    const StreamComponent root = ReadStreamTree(stream);
    ASSERT_EQ(root.children.size(), 1u);
    const ComponentHeader& h = root.children[0].header;
    EXPECT_EQ(h.flags, kFlagInherited | kFlagChildPos);
    EXPECT_EQ(h.childPosition, 4);
    EXPECT_EQ(h.className, "TLabel");
    EXPECT_EQ(WriteComponentStream(root), stream);
}

TEST(ComponentStream, MalformedInputEndsInTheReadersTexts)
{
    const std::vector<std::pair<QByteArray, QString>> cases = {
        {"", "Invalid stream format"},
        {"TPF", "Invalid stream format"},
        {"TPF1" + Short("TUForm"), "Invalid stream format"},
        {"TPF0", "Stream read error"},
        {"TPF0" + Short("TUForm") + '\x05' + "Fo", "Stream read error"},
        {OneProperty("\x15"), "Error reading Form1.P: Invalid property value"},
        {OneProperty(QByteArray("\x00", 1)), "Error reading Form1.P: Invalid property value"},
        {OneProperty('\x0a' + U32(0xFFFFFFF0)), "Error reading Form1.P: Stream read error"},
        {OneProperty("\x12\xff\xff\xff\x7f"), "Error reading Form1.P: Stream read error"},
        {OneProperty("\x0e\x07\x01"), "Error reading Form1.P: Invalid property value"},
        {"TPF0\xf2\x06" + Short("TUForm"), "Invalid property value"},
        {"TPF0" + Short("TLabel") + Short("") + Short("Caption") + "\x06\x09" + "abc",
         "Error reading TLabel.Caption: Stream read error"},
    };
    for (const auto& [stream, text] : cases) {
        SCOPED_TRACE(stream.toHex().toStdString());
        EXPECT_EQ(ErrorOf(stream), text);
    }
}

TEST(ComponentStream, EveryTruncationIsAReadError)
{
    StreamComponent root;
    root.header = {0, std::nullopt, "TUForm", "F"};
    StreamValue set;
    set.type = ValueType::Set;
    set.members = {"fsBold"};
    StreamValue collection;
    collection.type = ValueType::Collection;
    collection.items.push_back({3, {{"Width", StreamValue::fromInteger(70000)}}});
    root.properties = {{"Caption", StreamValue::fromText(QString(300, 'x'))},
                       {"Font.Style", set},
                       {"Columns", collection}};
    StreamComponent child;
    child.header = {kFlagChildPos, 1, "TLabel", "L"};
    child.properties = {{"Visible", StreamValue::boolean(false)}};
    root.children.push_back(child);
    const QByteArray stream = WriteComponentStream(root);
    ASSERT_EQ(ReadStreamTree(stream).children.size(), 1u);
    for (qsizetype n = 4; n < stream.size(); ++n) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(ErrorOf(stream.left(n)).endsWith("Stream read error"))
            << ErrorOf(stream.left(n)).toStdString();
    }
}

TEST(ComponentStream, NestingBeyondTheBoundIsRefused)
{
    const QByteArray lists(kMaxStreamNesting + 1, '\x01');
    EXPECT_EQ(ErrorOf(OneProperty(lists + QByteArray(kMaxStreamNesting + 1, '\0'))),
              "Error reading Form1.P: Stream read error");

    QByteArray deep = "TPF0";
    for (int i = 0; i <= kMaxStreamNesting; ++i)
        deep += Short("TPanel") + Short("") + '\0';
    deep += QByteArray(2 * (kMaxStreamNesting + 1), '\0');
    EXPECT_EQ(ErrorOf(deep), "Stream read error");
}

TEST(ComponentStream, ExtendedFloatsConvertBothWays)
{
    for (double d : {0.0, 1.0, -2.5, 1e-300, 123456.789, 1e300, -0.0}) {
        SCOPED_TRACE(d);
        unsigned char raw[10];
        DoubleToExtended(d, raw);
        EXPECT_EQ(ExtendedToDouble(raw), d);
        EXPECT_EQ(std::signbit(ExtendedToDouble(raw)), std::signbit(d));
    }
    // Beyond the range of double: exponent 0x7FFE.
    const unsigned char huge[10] = {0, 0, 0, 0, 0, 0, 0, 0x80, 0xfe, 0x7f};
    EXPECT_TRUE(std::isinf(ExtendedToDouble(huge)));
    const unsigned char nan[10] = {0, 0, 0, 0, 0, 0, 0, 0xc0, 0xff, 0x7f};
    EXPECT_TRUE(std::isnan(ExtendedToDouble(nan)));
}

TEST(ComponentStream, GraphicDataIsFoundInsidePictureValues)
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "BMP"));

    const GraphicData picture = ExtractGraphicData(Short("TBitmap") + U32(bmp.size()) + bmp);
    EXPECT_EQ(picture.className, "TBitmap");
    EXPECT_EQ(picture.image, bmp);
    EXPECT_EQ(ExtractGraphicData(U32(bmp.size()) + bmp).image, bmp);
    EXPECT_EQ(ExtractGraphicData(bmp).image, bmp);
    // A length that runs past the data is not taken for a bitmap's.
    const QByteArray odd = U32(bmp.size() + 1) + bmp;
    EXPECT_EQ(ExtractGraphicData(odd).image, odd);
}

} // namespace

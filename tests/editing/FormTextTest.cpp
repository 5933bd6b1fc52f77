// The component notation: parsing, compiling to the stream and printing
// read trees.

#include "FormText.h"
#include "ComponentStream.h"
#include "Error.h"

#include <gtest/gtest.h>

using namespace editing;

namespace
{

QString ParseError(const QString& text)
{
    try {
        (void)ParseFormText(text);
    } catch (const platform::Error& e) {
        return e.text();
    }
    return "no error";
}

const char* const kForm = R"(object UForm1: TUForm
  Left = -8
  Width = 70000
  Caption = 'It''s '#1044#1072'!' +
    ' more'
  Wide = W'Да'
  Utf = U'x'
  Ratio = 1.5
  Small = 0.25s
  Money = -12.5c
  When = 36526d
  Big = 5000000000
  Mask = $FF
  Align = alClient
  Visible = False
  Enabled = True
  Ref = nil
  DataSet = DM.GRQuery
  Anchors = [akLeft, akTop]
  Empty = []
  Lines.Strings = (
    'a'
    'b')
  Columns = <
    item
      FieldName = 'A'
    end
    item [3]
    end>
  Picture.Data = {
    0A54 4269}
  object : TLabel
  end
  inherited Panel1: TPanel [2]
  end
end
)";

TEST(FormText, NotationGivesTheTypedTree)
{
    const StreamComponent root = ParseFormText(kForm);
    EXPECT_EQ(root.header.className, "TUForm");
    EXPECT_EQ(root.header.name, "UForm1");
    auto value = [&](const char* name) -> const StreamValue& {
        for (const StreamProperty& p : root.properties)
            if (p.name == name)
                return p.value;
        ADD_FAILURE() << name;
        static StreamValue none;
        return none;
    };
    EXPECT_EQ(value("Left").type, ValueType::Int8);
    EXPECT_EQ(value("Left").integer, -8);
    EXPECT_EQ(value("Width").type, ValueType::Int32);
    EXPECT_EQ(value("Caption").type, ValueType::String);
    EXPECT_EQ(value("Caption").text, QString::fromUtf8("It's Да! more"));
    EXPECT_EQ(value("Wide").type, ValueType::WString);
    EXPECT_EQ(value("Utf").type, ValueType::Utf8String);
    EXPECT_EQ(value("Ratio").type, ValueType::Extended);
    EXPECT_EQ(value("Small").type, ValueType::Single);
    EXPECT_EQ(value("Money").type, ValueType::Currency);
    EXPECT_EQ(value("Money").integer, -125000);
    EXPECT_EQ(value("When").type, ValueType::Date);
    EXPECT_EQ(value("Big").type, ValueType::Int64);
    EXPECT_EQ(value("Mask").integer, 255);
    EXPECT_EQ(value("Align").type, ValueType::Ident);
    EXPECT_EQ(value("Visible").type, ValueType::False);
    EXPECT_EQ(value("Enabled").type, ValueType::True);
    EXPECT_EQ(value("Ref").type, ValueType::Nil);
    EXPECT_EQ(value("DataSet").text, "DM.GRQuery");
    EXPECT_EQ(value("Anchors").members, QStringList({"akLeft", "akTop"}));
    EXPECT_EQ(value("Empty").type, ValueType::Set);
    EXPECT_TRUE(value("Empty").members.isEmpty());
    EXPECT_EQ(value("Lines.Strings").list.size(), 2u);
    ASSERT_EQ(value("Columns").items.size(), 2u);
    EXPECT_EQ(value("Columns").items[1].order, 3);
    EXPECT_EQ(value("Picture.Data").bytes, QByteArray::fromHex("0A544269"));
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0].header.className, "TLabel");
    EXPECT_TRUE(root.children[0].header.name.isEmpty());
    EXPECT_EQ(root.children[1].header.flags, kFlagInherited | kFlagChildPos);
    EXPECT_EQ(root.children[1].header.childPosition, 2);
}

TEST(FormText, LongAndWideTextsTakeTheirTypes)
{
    const QString text =
        "object F: TUForm\n  A = '" + QString(256, 'x') + "'\n  B = '\u4e00'\nend\n";
    const StreamComponent root = ParseFormText(text);
    EXPECT_EQ(root.properties[0].value.type, ValueType::LString);
    EXPECT_EQ(root.properties[1].value.type, ValueType::WString);
}

TEST(FormText, CompiledStreamReadsBackAsTheSameTreeAndPrints)
{
    const StreamComponent tree = ReadStreamTree(CompileFormText(kForm));
    const QStringList lines = PrintComponentTree(tree);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0],
              QString::fromUtf8(
                  "TUForm UForm1 Left=-8 Width=70000 Caption='It''s Да! more' Wide=W'Да' Utf=U'x' "
                  "Ratio=1.5 Small=0.25s Money=-12.5000c When=36526.0d Big=5000000000 Mask=255 "
                  "Align=alClient Visible=False Enabled=True Ref=nil DataSet=DM.GRQuery "
                  "Anchors=[akLeft, akTop] Empty=[] Lines.Strings=('a' 'b') "
                  "Columns=<item FieldName='A' end item [3] end> Picture.Data={0A544269}"));
    EXPECT_EQ(lines[1], "  TLabel -");
    EXPECT_EQ(lines[2], "  inherited TPanel Panel1 [2]");
    // What the printer writes of a value compiles to the same value.
    for (const StreamProperty& p : tree.properties) {
        SCOPED_TRACE(p.name.toStdString());
        const QString again = "object F: TUForm\n  X = " + FormatStreamValue(p.value) + "\nend";
        const StreamValue v = ParseFormText(again).properties[0].value;
        EXPECT_EQ(FormatStreamValue(v), FormatStreamValue(p.value));
        EXPECT_EQ(v.type, p.value.type);
    }
}

TEST(FormText, ControlCharactersPrintAsCodes)
{
    StreamValue v = StreamValue::fromText(QString("a\r\nb"));
    EXPECT_EQ(FormatStreamValue(v), "'a'#13#10'b'");
    v = StreamValue::fromText(QString("\t"));
    EXPECT_EQ(FormatStreamValue(v), "#9");
}

TEST(FormText, LongBinaryValuesPrintShortened)
{
    StreamValue v;
    v.type = ValueType::Binary;
    v.bytes = QByteArray(40, '\x11');
    EXPECT_EQ(FormatStreamValue(v), "{" + QString(64, '1') + "... 40 bytes}");
}

TEST(FormText, FaultsNameTheirLine)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"", "line 1: expected object"},
        {"object F: TUForm\n  Left 5\nend", "line 2: expected ="},
        {"object F: TUForm\n  Caption = 'abc\nend", "line 2: unterminated string"},
        {"object F: TUForm\n  Data = {0A5}\nend", "line 2: bad binary data"},
        {"object F: TUForm\n  Data = {0AZZ}\nend", "line 2: bad binary data"},
        {"object F: TUForm\n  X = 12ab\nend", "line 2: bad number 12a"},
        {"object F: TUForm\n  X = #99999\nend", "line 2: bad character code"},
        {"object F: TUForm\n  X = <\n  foo end>\nend", "line 3: expected item"},
        {"object F: TUForm\n  X = [a b]\nend", "line 2: expected ,"},
        {"object F: TUForm\n  X =\nend", "line 3: expected a value"},
        {"object F: TUForm\nend\nend", "line 3: text after the last end"},
        {"object F: TUForm\n  X = 1", "line 2: expected a property name or end"},
    };
    for (const auto& [text, error] : cases) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(ParseError(text), error);
    }
}

TEST(FormText, TooLongNamesAreRefusedByTheWriter)
{
    const QString text = "object " + QString(256, 'N') + ": TUForm\nend";
    try {
        (void)CompileFormText(text);
        FAIL() << "no error";
    } catch (const platform::Error& e) {
        EXPECT_TRUE(e.text().startsWith("Text too long for a short string: NNN"));
    }
}

} // namespace

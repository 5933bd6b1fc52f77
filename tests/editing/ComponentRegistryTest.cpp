// Reading component streams into objects: the class registry, the property
// tables and their value checks, references, the built-in design of TUForm,
// and the widgets that the objects show.

#include "ComponentRegistry.h"
#include "Error.h"
#include "FormText.h"
#include "MagCtrls.h"
#include "UsUnit.h"

#include <QApplication>
#include <QBuffer>
#include <QHeaderView>
#include <QPointer>
#include <QStandardItemModel>
#include <gtest/gtest.h>

using namespace editing;

namespace
{

std::unique_ptr<QObject> Read(const QString& text, const ReadOptions& options = {})
{
    return ReadComponent(CompileFormText(text), options);
}

// The reading's error for a stream, the same with and without objects.
QString ReadError(const QByteArray& stream)
{
    QString texts[2];
    for (bool create : {true, false}) {
        ReadOptions options;
        options.createObjects = create;
        try {
            (void)ReadComponent(stream, options);
            texts[create] = "no error";
        } catch (const platform::Error& e) {
            texts[create] = e.text();
        }
    }
    EXPECT_EQ(texts[0], texts[1]);
    return texts[1];
}

QString Form(const QString& body)
{
    return "object UForm1: TUForm\n" + body + "\nend\n";
}

template <typename T> T* Child(QObject* root, const char* name)
{
    T* found = dynamic_cast<T*>(root->findChild<QObject*>(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

TEST(ComponentRegistry, KnowsTheFortySevenClasses)
{
    const QStringList expected = {"TUForm",
                                  "TPanel",
                                  "TScrollBox",
                                  "TLabel",
                                  "TGroupBox",
                                  "TImage",
                                  "TBevel",
                                  "TTreeNode",
                                  "TDataSource",
                                  "TDBEdit",
                                  "TDBCheckBox",
                                  "TDBNavigator",
                                  "TDBMemo",
                                  "TDBGrid",
                                  "TRxDBCalcEdit",
                                  "TDBDateEdit",
                                  "TDBLookupComboBox",
                                  "TDBComboBox",
                                  "TDBImage",
                                  "TDBText",
                                  "TOpenPictureDialog",
                                  "TPicButton",
                                  "TOKButton",
                                  "TCancelButton",
                                  "TSignButton",
                                  "TUGrid",
                                  "TEQRefCombo",
                                  "TdxDBDateEditEx",
                                  "TdxDBTimeEditEx",
                                  "TdxDateColumnEx",
                                  "TdxTimeColumnEx",
                                  "TdxEQColumn",
                                  "TdxEditStyleController",
                                  "TdxDBEdit",
                                  "TdxDBMRUEdit",
                                  "TdxDBMaskEdit",
                                  "TdxDBMemo",
                                  "TdxDBCheckEdit",
                                  "TdxDBImageEdit",
                                  "TdxDBSpinEdit",
                                  "TdxDBPickEdit",
                                  "TdxDBCalcEdit",
                                  "TdxDBGraphicEdit",
                                  "TdxDBPopupEdit",
                                  "TdxDBLookupEdit",
                                  "TdxDBGrid",
                                  "TdxDBTreeListColumn"};
    EXPECT_EQ(RegisteredClassNames(), expected);
    // Every class reads, as a child of a form, with no properties.
    for (const QString& name : expected) {
        SCOPED_TRACE(name.toStdString());
        if (name == "TUForm")
            continue;
        auto root = Read(Form("  object X: " + name + "\n  end"));
        auto* component = dynamic_cast<Component*>(root->findChild<QObject*>("X"));
        ASSERT_NE(component, nullptr);
        EXPECT_EQ(component->className(), name);
    }
}

TEST(ComponentRegistry, EmptyFormStreamGivesTheBuiltInDesign)
{
    const QByteArray stream = QByteArray("TPF0\x06TUForm\x06UForm1\x00\x00", 20);
    auto root = ReadComponent(stream);
    auto* form = qobject_cast<TUForm*>(root.get());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->objectName(), "UForm1");
    EXPECT_EQ(form->windowTitle(), "UForm");
    EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form->eventHandler("OnClose"), "FormClose");
    EXPECT_EQ(form->eventHandler("OnDestroy"), "FormDestroy");
    EXPECT_EQ(TextValue(*form->propertyValue("Position")), "poScreenCenter");
}

TEST(ComponentRegistry, StreamPropertiesApplyOverTheBuiltInDesign)
{
    auto root = Read(Form("  Caption = 'Запись'\n  FormStyle = fsNormal\n  OnClose = nil\n"
                          "  ClientWidth = 300\n  ClientHeight = 200"));
    auto* form = qobject_cast<TUForm*>(root.get());
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("Запись"));
    EXPECT_FALSE(form->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(form->eventHandler("OnClose"), "");
    EXPECT_EQ(form->size(), QSize(300, 200));
}

TEST(ComponentRegistry, ShortAndLongStringCaptionsReadTheSame)
{
    const QString text = QString::fromUtf8("Дата записи");
    StreamComponent tree = ParseFormText(Form("  object L: TLabel\n  end"));
    for (ValueType type :
         {ValueType::String, ValueType::LString, ValueType::WString, ValueType::Utf8String}) {
        SCOPED_TRACE(int(type));
        StreamValue caption;
        caption.type = type;
        caption.text = text;
        tree.children[0].properties = {{"Caption", caption}};
        auto root = ReadComponent(WriteComponentStream(tree));
        EXPECT_EQ(Child<TLabel>(root.get(), "L")->text(), text);
    }
}

TEST(ComponentRegistry, EmptySetClearsTheSet)
{
    auto root = Read(Form("  object L: TLabel\n    Font.Style = [fsBold, fsItalic]\n"
                          "    Anchors = [akRight]\n    Font.Style = []\n    Anchors = []\n"
                          "  end"));
    auto* label = Child<TLabel>(root.get(), "L");
    EXPECT_FALSE(label->font().bold());
    EXPECT_FALSE(label->font().italic());
    EXPECT_EQ(label->anchors(), 0);
}

TEST(ComponentRegistry, CollectionOfTwoItemsGivesTwoGridColumns)
{
    auto root = Read(Form(R"(  object Grid: TDBGrid
    Width = 300
    Columns = <
      item
        FieldName = 'RECDATE'
        Title.Caption = 'Дата'
        Width = 90
      end
      item
        FieldName = 'TEXT'
        Visible = False
      end>
  end)"));
    auto* grid = Child<DataGrid>(root.get(), "Grid");
    ASSERT_EQ(grid->columns().size(), 2);
    EXPECT_EQ(grid->columns()[0]->fieldName(), "RECDATE");
    EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("Дата"));
    EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal).toString(), "TEXT");
    EXPECT_EQ(grid->columnWidth(0), 90);
    EXPECT_TRUE(grid->isColumnHidden(1));
    // A record model's own headers give way to the columns' captions.
    QStandardItemModel records(0, 2);
    records.setHorizontalHeaderLabels({"X", "Y"});
    grid->setRecordModel(&records);
    EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), QString::fromUtf8("Дата"));
    grid->setRecordModel(nullptr);
}

TEST(ComponentRegistry, ColumnsReadAgainReplaceTheEarlierOnes)
{
    auto root = Read(Form("  object Grid: TDBGrid\n"
                          "    Columns = <item FieldName = 'A' end item FieldName = 'B' end>\n"
                          "    Columns = <item FieldName = 'C' end>\n  end"));
    auto* grid = Child<DataGrid>(root.get(), "Grid");
    ASSERT_EQ(grid->columns().size(), 1);
    EXPECT_EQ(grid->columns()[0]->fieldName(), "C");
    EXPECT_EQ(grid->model()->columnCount(), 1);
}

// Stored forms never put a control inside a data source, but a garbled one
// may; the control still needs a widget parent (or an owner) to live and die.
TEST(ComponentRegistry, ControlsInsideNonVisualComponentsStayOwned)
{
    const int before = int(QApplication::allWidgets().size());
    {
        auto root = Read(Form("  object S: TDataSource\n    object L: TLabel\n    end\n  end"));
        EXPECT_EQ(Child<TLabel>(root.get(), "L")->parentWidget(), root.get());
        auto source = Read("object S: TDataSource\n  object L: TLabel\n  end\nend");
        EXPECT_EQ(int(QApplication::allWidgets().size()), before + 3); // form and two labels
    }
    EXPECT_EQ(int(QApplication::allWidgets().size()), before);
}

TEST(ComponentRegistry, FaultsGiveTheReadersTexts)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"object F: TForm\nend", "Class TForm not found"},
        {Form("  object P: TPanel\n    object B: TButton\n    end\n  end"),
         "Class TButton not found"},
        {Form("  object L: TLabel\n    Foo = 1\n  end"),
         "Error reading L.Foo: Property Foo does not exist"},
        {Form("  object : TLabel\n    Foo = 1\n  end"),
         "Error reading TLabel.Foo: Property Foo does not exist"},
        {Form("  object B: TOKButton\n    OnClick = OKButtonClick\n  end"),
         "Error reading B.OnClick: Invalid property value"},
        {Form("  OnShow = FormShow"), "Error reading UForm1.OnShow: Invalid property value"},
        {Form("  object L: TLabel\n  end\n  object l: TPanel\n  end"),
         "A component named l already exists"},
        {Form("  object G: TDBGrid\n    Columns = <\n      item\n        Foo = 1\n      end>\n"
              "  end"),
         "Error reading G.Columns: Property Foo does not exist"},
        {Form("  Width = 'wide'"), "Error reading UForm1.Width: Invalid property value"},
        {Form("  Width = 5000000000"), "Error reading UForm1.Width: Invalid property value"},
        {Form("  Visible = 1"), "Error reading UForm1.Visible: Invalid property value"},
        {Form("  Align = alMiddle"), "Error reading UForm1.Align: Invalid property value"},
        {Form("  Anchors = [akLeft, akNowhere]"),
         "Error reading UForm1.Anchors: Invalid property value"},
        {Form("  Color = clPlaid"), "Error reading UForm1.Color: Invalid property value"},
        {Form("  Caption = 5"), "Error reading UForm1.Caption: Invalid property value"},
        {Form("  Icon.Data = 'x'"), "Error reading UForm1.Icon.Data: Invalid property value"},
        {Form("  object M: TDBMemo\n    Lines.Strings = ('a' 1)\n  end"),
         "Error reading M.Lines.Strings: Invalid property value"},
        {Form("  object E: TDBEdit\n    PasswordChar = '**'\n  end"),
         "Error reading E.PasswordChar: Invalid property value"},
        {Form("  object S: TdxDBSpinEdit\n    MaxValue = 1.5s\n  end"),
         "Error reading S.MaxValue: Invalid property value"},
        {Form("  object G: TUGrid\n    OptionsView = [dgRowSelect]\n  end"),
         "Error reading G.OptionsView: Invalid property value"},
    };
    for (const auto& [text, error] : cases) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(ReadError(CompileFormText(text)), error);
    }
    EXPECT_EQ(ReadError("TPF1"), "Invalid stream format");
}

TEST(ComponentRegistry, EveryValueTypeReachesAPropertyThatTakesIt)
{
    QImage image(4, 3, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "BMP"));
    QByteArray picture = "\x07TBitmap" + QByteArray(4, '\0') + bmp;
    const quint32 size = quint32(bmp.size());
    for (int i = 0; i < 4; ++i)
        picture[8 + i] = char((size >> (8 * i)) & 0xFF);

    auto root = Read(Form(QString(R"(  Left = 3
  Top = 300
  Width = 70000
  Color = clInfoBk
  Font.Color = $0000FF
  Enabled = False
  object Spin: TdxDBSpinEdit
    MaxValue = 2.5
    MinValue = -1
    Visible = True
    DataSource = nil
  end
  object Date: TdxDBDateEditEx
    Date = 36526.5d
  end
  object Img: TImage
    Picture.Data = {%1}
  end
  object Memo: TDBMemo
    Lines.Strings = ('one' 'two')
  end)")
                              .arg(QString::fromLatin1(picture.toHex()))));
    auto* form = qobject_cast<TUForm*>(root.get());
    EXPECT_EQ(form->bounds(), QRect(3, 300, 70000, 0));
    EXPECT_EQ(form->palette().color(QPalette::Window),
              QApplication::palette().color(QPalette::ToolTipBase));
    EXPECT_EQ(form->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_FALSE(form->isEnabled());
    auto* spin = Child<DataEdit>(root.get(), "Spin");
    EXPECT_EQ(FloatValue(*spin->propertyValue("MaxValue")), 2.5);
    EXPECT_EQ(FloatValue(*spin->propertyValue("MinValue")), -1);
    EXPECT_EQ(spin->dataSource(), nullptr);
    EXPECT_EQ(FloatValue(*Child<DataEdit>(root.get(), "Date")->propertyValue("Date")), 36526.5);
    const QImage shown = Child<TImage>(root.get(), "Img")->picture();
    EXPECT_EQ(shown.size(), QSize(4, 3));
    EXPECT_EQ(shown.pixelColor(0, 0), QColor(Qt::blue));
    EXPECT_EQ(Child<DataMemo>(root.get(), "Memo")->toPlainText(), "one\ntwo");
}

TEST(ComponentRegistry, ReferencesResolveInsideTheRootAndThroughTheOutsideLookup)
{
    QObject grQuery;
    QObject outsideSource;
    ReadOptions options;
    options.outside = [&](const QString& owner, const QString& name) -> QObject* {
        if (owner == "DM" && name == "GRQuery")
            return &grQuery;
        if (owner == "DM" && name == "GRSource")
            return &outsideSource;
        return nullptr;
    };
    auto root = Read(Form(R"(  object Edit1: TDBEdit
    DataField = 'D1'
    DataSource = DataSource1
  end
  object Edit2: TdxDBEdit
    DataField = 'D2'
    DataSource = DM.GRSource
  end
  object Edit3: TdxDBEdit
    DataSource = DM.Missing
  end
  object Edit4: TDBEdit
    DataSource = UForm1.DataSource1
  end
  object Grid: TUGrid
    DataSource = DataSource1
  end
  object DataSource1: TDataSource
    DataSet = DM.GRQuery
  end)"),
                     options);
    auto* local = Child<TDataSource>(root.get(), "DataSource1");
    EXPECT_EQ(local->dataSet(), &grQuery);
    EXPECT_EQ(local->dataSetName(), "DM.GRQuery");

    auto* edit1 = Child<DataEdit>(root.get(), "Edit1");
    DataControl* data = edit1;
    EXPECT_EQ(data->dataField(), "D1");
    EXPECT_EQ(data->dataSourceName(), "DataSource1");
    EXPECT_EQ(data->dataSource(), local);
    EXPECT_EQ(Child<DataControl>(root.get(), "Edit2")->dataSource(), &outsideSource);
    EXPECT_EQ(Child<DataControl>(root.get(), "Edit3")->dataSource(), nullptr);
    EXPECT_EQ(Child<DataControl>(root.get(), "Edit3")->dataSourceName(), "DM.Missing");
    EXPECT_EQ(Child<DataControl>(root.get(), "Edit4")->dataSource(), local);
    EXPECT_EQ(Child<DataGrid>(root.get(), "Grid")->dataSource(), local);

    // Without a lookup of its own the reading asks the process-wide one.
    SetOutsideLookup(options.outside);
    auto again = Read(Form("  object E: TDBEdit\n    DataSource = DM.GRSource\n  end"));
    SetOutsideLookup({});
    EXPECT_EQ(Child<DataControl>(again.get(), "E")->dataSource(), &outsideSource);
}

// The binding layer attaches controls through DataControl's hook.
class HookedEdit : public DataEdit
{
public:
    void dataBindingChanged() override { ++changes; }
    int changes = 0;
};

TEST(ComponentRegistry, ReplacedFactoriesMakeTheObjectsOfAClass)
{
    ASSERT_TRUE(ReplaceComponentFactory("TDBEdit", [] { return new HookedEdit; }));
    auto root = Read(Form("  object E: TDBEdit\n    DataField = 'A'\n    DataSource = nil\n  end"));
    ASSERT_TRUE(ReplaceComponentFactory("TDBEdit", [] { return new DataEdit; }));
    auto* edit = Child<HookedEdit>(root.get(), "E");
    EXPECT_EQ(edit->changes, 2);
    EXPECT_FALSE(ReplaceComponentFactory("TButton", [] { return new DataEdit; }));
}

TEST(ComponentRegistry, FailedReadingLeavesNoObjectBehind)
{
    const QString text =
        Form("  object P: TPanel\n    object L: TLabel\n    end\n  end\n"
             "  object D: TDataSource\n  end\n  object X: TLabel\n    Foo = 1\n  end");
    const QByteArray stream = CompileFormText(text);
    const int before = int(QApplication::allWidgets().size());
    EXPECT_EQ(ReadError(stream), "Error reading X.Foo: Property Foo does not exist");
    EXPECT_EQ(int(QApplication::allWidgets().size()), before);

    // Reading into an existing root removes what the failed reading added.
    TPanel panel;
    ReadOptions options;
    options.into = &panel;
    const QByteArray into = CompileFormText("object P: TPanel\n  object L: TLabel\n  end\n"
                                            "  object L2: TLabel\n    Foo = 1\n  end\nend");
    EXPECT_THROW((void)ReadComponent(into, options), platform::Error);
    EXPECT_TRUE(panel.children().isEmpty());
}

TEST(ComponentRegistry, TruncatedFormIsRejectedAtEveryLength)
{
    const QByteArray stream = CompileFormText(Form(R"(  Caption = 'Запись'
  object P: TPanel
    Align = alTop
    object E: TDBEdit
      DataField = 'D1'
      DataSource = S
    end
  end
  object S: TDataSource
  end
  object G: TDBGrid
    Columns = <
      item
        FieldName = 'A'
        Width = 40
      end>
  end)"));
    ASSERT_NE(ReadComponent(stream), nullptr);
    const int before = int(QApplication::allWidgets().size());
    for (qsizetype n = 0; n < stream.size(); ++n) {
        SCOPED_TRACE(n);
        const QString error = ReadError(stream.left(n));
        EXPECT_TRUE(error == "Invalid stream format" || error.endsWith("Stream read error"))
            << error.toStdString();
    }
    EXPECT_EQ(int(QApplication::allWidgets().size()), before);
}

TEST(ComponentRegistry, CheckingWithoutObjectsGivesTheTree)
{
    StreamComponent tree;
    ReadOptions options;
    options.createObjects = false;
    options.tree = &tree;
    const int before = int(QApplication::allWidgets().size());
    EXPECT_EQ(ReadComponent(CompileFormText(Form("  object L: TLabel\n    Caption = 'x'\n  end")),
                            options),
              nullptr);
    EXPECT_EQ(int(QApplication::allWidgets().size()), before);
    EXPECT_EQ(PrintComponentTree(tree), QStringList({"TUForm UForm1", "  TLabel L Caption='x'"}));
}

// The widget that Tab moves to from w.
QWidget* NextTabStop(QWidget* w)
{
    QWidget* next = w->nextInFocusChain();
    while (next != w && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

// A form written in the notation, compiled, read and shown as widgets. The
// edits are written against their tab order, which the reading restores.
TEST(ComponentRegistry, NotationRoundTripShowsTheDesignedForm)
{
    auto root = Read(R"(object RecordForm: TUForm
  Left = 100
  Top = 50
  ClientWidth = 400
  ClientHeight = 300
  Caption = 'Запись журнала'
  object Top: TPanel
    Align = alTop
    Height = 40
    Caption = 'Шапка'
    object Label1: TLabel
      Left = 8
      Top = 8
      Width = 60
      Height = 13
      AutoSize = False
      Caption = 'Дата:'
      Font.Name = 'Arial'
      Font.Style = [fsBold]
      Hint = 'Дата записи'
    end
  end
  object Label2: TLabel
    Left = 200
    Top = 50
    Caption = 'Смена'
  end
  object Edit3: TDBEdit
    Left = 8
    Top = 110
    TabOrder = 2
  end
  object Edit2: TDBEdit
    Left = 8
    Top = 80
    Width = 100
    Height = 21
    TabOrder = 1
  end
  object Edit1: TDBEdit
    Left = 8
    Top = 50
    Width = 100
    Height = 21
    Anchors = [akLeft, akTop, akRight]
    TabOrder = 0
    Enabled = False
  end
  object Bottom: TPanel
    Top = 260
    Width = 400
    Height = 40
    Anchors = [akLeft, akBottom]
    Visible = False
  end
  object Body: TPanel
    Align = alClient
  end
end
)");
    auto* form = qobject_cast<TUForm*>(root.get());
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->windowTitle(), QString::fromUtf8("Запись журнала"));
    EXPECT_EQ(form->size(), QSize(400, 300));
    EXPECT_EQ(Child<QWidget>(form, "Top")->geometry(), QRect(0, 0, 400, 40));
    EXPECT_EQ(Child<QWidget>(form, "Body")->geometry(), QRect(0, 40, 400, 260));
    auto* label = Child<TLabel>(form, "Label1");
    EXPECT_EQ(label->parentWidget()->objectName(), "Top");
    EXPECT_EQ(label->geometry(), QRect(8, 8, 60, 13));
    EXPECT_EQ(label->text(), QString::fromUtf8("Дата:"));
    EXPECT_EQ(label->font().family(), "Arial");
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->toolTip(), QString::fromUtf8("Дата записи"));
    // A label that sizes itself takes its text's size.
    auto* label2 = Child<TLabel>(form, "Label2");
    EXPECT_EQ(label2->geometry(), QRect(QPoint(200, 50), label2->sizeHint()));
    EXPECT_GT(label2->width(), 0);
    auto* edit1 = Child<DataEdit>(form, "Edit1");
    auto* edit2 = Child<DataEdit>(form, "Edit2");
    EXPECT_FALSE(edit1->isEnabled());
    EXPECT_EQ(NextTabStop(edit1), edit2);
    EXPECT_EQ(NextTabStop(edit2), Child<QWidget>(form, "Edit3"));
    EXPECT_TRUE(Child<QWidget>(form, "Bottom")->isHidden());

    // Anchors and alignment follow the form when it grows.
    form->show();
    form->resize(500, 350);
    QApplication::processEvents();
    EXPECT_EQ(edit1->geometry(), QRect(8, 50, 200, 21));
    EXPECT_EQ(edit2->geometry(), QRect(8, 80, 100, 21));
    EXPECT_EQ(Child<QWidget>(form, "Bottom")->geometry(), QRect(0, 310, 400, 40));
    EXPECT_EQ(Child<QWidget>(form, "Body")->geometry(), QRect(0, 40, 500, 310));
}

TEST(ComponentRegistry, ClosingWithFormCloseDisposesOfTheForm)
{
    auto root = Read(Form(""));
    QPointer<TUForm> form = qobject_cast<TUForm*>(root.release());
    auto* source = new QObject;
    QPointer<QObject> watched = source;
    form->setFormDataSource(source);
    form->show();
    form->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(form.isNull());
    EXPECT_TRUE(watched.isNull());

    // Without the handler the form only hides.
    auto kept = Read(Form("  OnClose = nil"));
    auto* plain = qobject_cast<TUForm*>(kept.get());
    plain->show();
    plain->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(plain->isVisible());
}

} // namespace

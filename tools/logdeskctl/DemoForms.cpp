#include "DemoForms.h"

#include "DMUnit.h"
#include "FormText.h"
#include "TDBStream.h"

namespace ctl
{

namespace
{

// The editors of one line of a record form.
enum class Editor {
    DateTime, // date and time pieces of one date-time field
    Date,     // the date piece only
    Chooser,  // the equipment chooser
    Lookup,   // a list of a reference's texts
    Edit,     // one line of text
    Memo,     // several lines
    Picture,  // the picture and its button
};

struct Line {
    const char* caption;
    Editor editor;
    const char* field;
    int height = 21; // memos and pictures
};

struct Column {
    const char* columnClass;
    const char* field;
    const char* caption;
    int width;
};

constexpr int kLabelLeft = 8;
constexpr int kEditorLeft = 130;
constexpr int kFormWidth = 570;
constexpr int kEditorWidth = kFormWidth - kEditorLeft - 10;
constexpr int kLineHeight = 21;
constexpr int kLineGap = 6;
constexpr int kTop = 10;
constexpr int kDateWidth = 100;
constexpr int kTimeWidth = 60;
constexpr int kLookupWidth = 220;
constexpr int kShortWidth = 120;
constexpr int kPictureWidth = 120;
constexpr int kButtonWidth = 100;

QString Quoted(const char* text)
{
    QString t = QString::fromUtf8(text);
    t.replace(u'\'', QStringLiteral("''"));
    return u'\'' + t + u'\'';
}

// One component record of the notation, at the given depth below the root.
QString Object(const QString& componentClass, const QString& name, const QStringList& properties,
               const QString& children = {}, int depth = 1)
{
    const QString pad(2 * depth, u' ');
    QString text =
        pad + QStringLiteral("object ") + name + QStringLiteral(": ") + componentClass + u'\n';
    for (const QString& p : properties)
        text += pad + QStringLiteral("  ") + p + u'\n';
    return text + children + pad + QStringLiteral("end\n");
}

QStringList Bounds(int left, int top, int width, int height)
{
    return {QStringLiteral("Left = %1").arg(left), QStringLiteral("Top = %1").arg(top),
            QStringLiteral("Width = %1").arg(width), QStringLiteral("Height = %1").arg(height)};
}

QString DataField(const char* field)
{
    return QStringLiteral("DataField = '%1'").arg(QLatin1String(field));
}

// The editors of one line whose top is top.
QString Editors(const Line& line, int top)
{
    const QString field = QString::fromLatin1(line.field);
    switch (line.editor) {
    case Editor::DateTime:
        return Object("TdxDBDateEditEx", field + "Date",
                      Bounds(kEditorLeft, top, kDateWidth, kLineHeight) << DataField(line.field)) +
               Object("TdxDBTimeEditEx", field + "Time",
                      Bounds(kEditorLeft + kDateWidth + kLineGap, top, kTimeWidth, kLineHeight)
                          << DataField(line.field));
    case Editor::Date:
        return Object("TdxDBDateEditEx", field + "Date",
                      Bounds(kEditorLeft, top, kDateWidth, kLineHeight) << DataField(line.field));
    case Editor::Chooser:
        return Object("TEQRefCombo", field + "Chooser",
                      Bounds(kEditorLeft, top, kEditorWidth, kLineHeight) << DataField(line.field));
    case Editor::Lookup:
        return Object("TdxDBLookupEdit", field + "List",
                      Bounds(kEditorLeft, top, kLookupWidth, kLineHeight) << DataField(line.field));
    case Editor::Edit:
        return Object("TdxDBEdit", field + "Edit",
                      Bounds(kEditorLeft, top, kShortWidth, kLineHeight) << DataField(line.field));
    case Editor::Memo:
        return Object("TDBMemo", field + "Memo",
                      Bounds(kEditorLeft, top, kEditorWidth, line.height)
                          << DataField(line.field) << QStringLiteral("ScrollBars = ssVertical"));
    case Editor::Picture:
        return Object("TDBImage", field + "Image",
                      Bounds(kEditorLeft, top, kPictureWidth, line.height)
                          << DataField(line.field) << QStringLiteral("Stretch = True")) +
               Object("TPicButton", field + "Button",
                      Bounds(kEditorLeft + kPictureWidth + kLineGap, top, kButtonWidth,
                             kLineHeight + 4)
                          << QStringLiteral("Caption = 'Изменить...'")
                          << QStringLiteral("PicField.DataField = '%1'")
                                 .arg(QLatin1String(line.field)));
    }
    return {};
}

// A record form: an optional heading, then one line per field, a caption on
// the left of its editors.
QString RecordForm(const char* heading, const std::vector<Line>& lines)
{
    QString body;
    int top = kTop;
    if (heading) {
        body += Object("TLabel", "Heading",
                       QStringList{QStringLiteral("Left = %1").arg(kLabelLeft),
                                   QStringLiteral("Top = %1").arg(top),
                                   QStringLiteral("Caption = ") + Quoted(heading),
                                   QStringLiteral("Font.Style = [fsBold]")});
        top += kLineHeight + kLineGap;
    }
    for (size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        body += Object("TLabel", QStringLiteral("Label%1").arg(i + 1),
                       QStringList{QStringLiteral("Left = %1").arg(kLabelLeft),
                                   QStringLiteral("Top = %1").arg(top + 3),
                                   QStringLiteral("Caption = ") + Quoted(line.caption)});
        body += Editors(line, top);
        top += std::max(line.height, kLineHeight) + kLineGap;
    }
    return Object("TUForm", "RecordForm",
                  {QStringLiteral("Caption = 'Запись журнала'"),
                   QStringLiteral("ClientWidth = %1").arg(kFormWidth),
                   QStringLiteral("ClientHeight = %1").arg(top + kTop)},
                  body, 0);
}

// A list form: the record grid, striped, with the grouping panel.
QString ListForm(const std::vector<Column>& columns)
{
    QString children;
    for (size_t i = 0; i < columns.size(); ++i) {
        const Column& c = columns[i];
        QStringList properties = {QStringLiteral("Caption = ") + Quoted(c.caption),
                                  QStringLiteral("FieldName = '%1'").arg(QLatin1String(c.field)),
                                  QStringLiteral("Width = %1").arg(c.width)};
        if (QLatin1String(c.columnClass) == QLatin1String("TdxEQColumn"))
            properties << QStringLiteral("EQToLevel = 3");
        children += Object(c.columnClass, QStringLiteral("Column%1").arg(i + 1), properties, {}, 2);
    }
    const QString grid =
        Object("TUGrid", "Grid",
               {QStringLiteral("Align = alClient"), QStringLiteral("ZebraColors = True"),
                QStringLiteral("ShowGroupPanel = True")},
               children);
    return Object("TUForm", "ListForm",
                  {QStringLiteral("ClientWidth = 900"), QStringLiteral("ClientHeight = 480")}, grid,
                  0);
}

} // namespace

QList<DemoForm> DemoForms()
{
    const Column date{"TdxDateColumnEx", "DATE1", "Дата", 80};
    const Column time{"TdxTimeColumnEx", "DATE1", "Время", 50};
    const Column state{"TdxDBTreeListColumn", "S_STATE", "Состояние", 90};
    const int list = database::RecordListForm;
    const int record = database::RecordForm;
    return {
        {"OPER`", list,
         ListForm({date,
                   time,
                   {"TdxDBTreeListColumn", "NUM", "Номер", 60},
                   {"TdxEQColumn", "E_OBJECT", "Оборудование", 300},
                   state,
                   {"TdxDBTreeListColumn", "COMMENT", "Содержание", 300}})},
        {"DEFECT`", list,
         ListForm({date,
                   time,
                   {"TdxDBTreeListColumn", "NUM", "Номер дефекта", 90},
                   {"TdxEQColumn", "E_OBJECT", "Объект", 260},
                   {"TdxDBTreeListColumn", "S_PRIORITY", "Приоритет", 80},
                   state,
                   {"TdxDBTreeListColumn", "COMMENT", "Описание дефекта", 280}})},
        {"ORDER`", list,
         ListForm({date,
                   time,
                   {"TdxEQColumn", "OBJECT", "Оборудование", 200},
                   state,
                   {"TdxDBTreeListColumn", "COMMENT", "Распоряжение", 400}})},
        {"OPER`", record,
         RecordForm(nullptr, {{"Начало", Editor::DateTime, "DATE1"},
                              {"Окончание", Editor::DateTime, "DATE2"},
                              {"Номер", Editor::Edit, "NUM"},
                              {"Оборудование", Editor::Chooser, "E_OBJECT"},
                              {"Состояние", Editor::Lookup, "S_STATE"},
                              {"Содержание", Editor::Memo, "COMMENT", 60},
                              {"Погода", Editor::Lookup, "S_WEATHER"},
                              {"Нагрузка, МВт", Editor::Edit, "LOAD_MW"},
                              {"Проверено", Editor::DateTime, "CHECKED_AT"},
                              {"Примечание", Editor::Memo, "REMARK", 40}})},
        {"OPER`NIGHT`", record,
         RecordForm("Ночная смена: запись оператора",
                    {{"Начало", Editor::DateTime, "DATE1"},
                     {"Оборудование", Editor::Chooser, "E_OBJECT"},
                     {"Состояние", Editor::Lookup, "S_STATE"},
                     {"Погода", Editor::Lookup, "S_WEATHER"},
                     {"Содержание", Editor::Memo, "COMMENT", 90}})},
        {"DEFECT`", record,
         RecordForm(nullptr, {{"Обнаружен", Editor::DateTime, "DATE1"},
                              {"Номер дефекта", Editor::Edit, "NUM"},
                              {"Объект", Editor::Chooser, "E_OBJECT"},
                              {"Узел", Editor::Chooser, "E_UNIT"},
                              {"Состояние", Editor::Lookup, "S_STATE"},
                              {"Приоритет", Editor::Lookup, "S_PRIORITY"},
                              {"Вид дефекта", Editor::Lookup, "S_DEFECT_KIND"},
                              {"Устранить до", Editor::Date, "DUE_DATE"},
                              {"Описание", Editor::Memo, "COMMENT", 40},
                              {"Подробности", Editor::Memo, "DETAILS", 60},
                              {"Фото", Editor::Picture, "PHOTO", 90}})},
        {"ORDER`", record,
         RecordForm(nullptr, {{"Начало", Editor::DateTime, "DATE1"},
                              {"Окончание", Editor::DateTime, "DATE2"},
                              {"Оборудование", Editor::Chooser, "OBJECT"},
                              {"Состояние", Editor::Lookup, "S_STATE"},
                              {"Распоряжение", Editor::Memo, "COMMENT", 100}})},
    };
}

void AddDemoForms(database::TDM& dm)
{
    for (const DemoForm& form : DemoForms()) {
        database::TDBStream stream(dm);
        stream.bytes() = editing::CompileFormText(form.text);
        stream.SaveToDB(form.path, QStringLiteral(" "), form.kind);
    }
}

} // namespace ctl

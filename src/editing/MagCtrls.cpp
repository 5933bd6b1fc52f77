#include "MagCtrls.h"

#include "ComponentRegistry.h"
#include "Error.h"
#include "Messages.h"

#include <QDialog>
#include <QShortcut>
#include <QToolTip>

namespace editing
{

namespace
{

constexpr QChar kLevelSeparator = u'`';
constexpr int kModalOk = 1;
constexpr int kModalCancel = 2;

// Modal results of the button kinds.
int KindModalResult(const QString& kind)
{
    static const QStringList kKinds = {"bkOK",     "bkCancel", "bkAbort", "bkRetry",
                                       "bkIgnore", "bkYes",    "bkNo",    "bkAll"};
    const qsizetype index = kKinds.indexOf(kind);
    return index < 0 ? 0 : int(index) + 1;
}

constexpr char kOKButtonDesign[] = R"(object OKButton: TOKButton
  Width = 80
  Height = 25
  Anchors = [akRight, akBottom]
  Kind = bkOK
  Caption = 'Запись'
  TabOrder = 0
end
)";

constexpr char kCancelButtonDesign[] = R"(object CancelButton: TCancelButton
  Width = 80
  Height = 25
  Anchors = [akRight, akBottom]
  Kind = bkCancel
  Caption = 'Отмена'
  TabOrder = 1
end
)";

constexpr char kSignButtonDesign[] = R"(object SignButton: TSignButton
  Left = 4
  Top = 8
  Width = 80
  Height = 25
  Caption = 'ЭЦП'
  NumGlyphs = 2
end
)";

constexpr char kUGridDesign[] = R"(object TUGrid
  OptionsBehavior = [edgoAutoSort]
  OptionsDB = [edgoLoadAllRecords]
  OptionsView = [edgoRowSelect]
  ZebraColors = False
end
)";

} // namespace

QString EQLevelText(const QString& text, int fromLevel, int toLevel)
{
    if (text.trimmed().isEmpty())
        return text;
    const QStringList levels = text.split(kLevelSeparator, Qt::SkipEmptyParts);
    QString result;
    for (int k = fromLevel; k <= toLevel; ++k) {
        if (k < 0 || k >= levels.size())
            break;
        result += levels[k];
        if (k < toLevel)
            result += kLevelSeparator;
    }
    return result.replace(kLevelSeparator, u' ');
}

std::optional<QColor> ZebraRowColor(bool zebraColors, bool selected, int row)
{
    if (!zebraColors || selected)
        return std::nullopt;
    if (row % 2 != 0)
        return QToolTip::palette().color(QPalette::ToolTipBase);
    return QColor(Qt::white);
}

// ---- BitButton and the dialog buttons

BitButton::BitButton() : Control(this)
{
    setAutoDefault(false);
    connect(this, &QPushButton::clicked, this, [this] { onClicked(); });
}

void BitButton::onClicked()
{
    QDialog* dialog = qobject_cast<QDialog*>(window());
    try {
        Click();
    } catch (const std::exception& e) {
        platform::ShowPlain(platform::ErrorText(e));
    }
    if (m_modalResult == 0 || !dialog)
        return;
    dialog->done(m_modalResult == kModalOk       ? QDialog::Accepted
                 : m_modalResult == kModalCancel ? QDialog::Rejected
                                                 : m_modalResult);
}

void BitButton::updateGlyph()
{
    const QPixmap pixmap = GlyphPixmap(m_glyph, m_numGlyphs);
    setIcon(QIcon(pixmap));
    if (!pixmap.isNull())
        setIconSize(pixmap.size());
}

void BitButton::applyProperty(const QString& name, const StreamValue& value)
{
    bool escape = false;
    if (name == "Kind") {
        m_modalResult = KindModalResult(value.text);
        escape = value.text == "bkCancel";
    } else if (name == "ModalResult") {
        m_modalResult = int(IntegerValue(value));
    } else if (name == "Default") {
        setDefault(BooleanValue(value));
    } else if (name == "Cancel") {
        escape = BooleanValue(value);
    } else if (name == "Glyph.Data") {
        m_glyph = PictureImage(value.bytes);
        updateGlyph();
    } else if (name == "NumGlyphs") {
        m_numGlyphs = int(IntegerValue(value));
        updateGlyph();
    }
    if (escape && !findChild<QShortcut*>())
        new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &QPushButton::click,
                      Qt::WindowShortcut);
    Control::applyProperty(name, value);
}

TOKButton::TOKButton()
{
    ApplyBuiltInDesign(*this, kOKButtonDesign);
}

void TOKButton::Click()
{
    if (saveRecord)
        saveRecord(*this);
}

TCancelButton::TCancelButton()
{
    ApplyBuiltInDesign(*this, kCancelButtonDesign);
}

TSignButton::TSignButton()
{
    ApplyBuiltInDesign(*this, kSignButtonDesign);
}

void TSignButton::Click()
{
    if (showSignatures)
        showSignatures(*this);
}

// ---- TPicButton

TPicButton::TPicButton() : Control(this)
{
    connect(this, &QToolButton::clicked, this, [this] {
        if (editPicture)
            editPicture(*this);
    });
}

void TPicButton::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "PicField.DataField") {
        m_picField.setDataField(TextValue(value));
    } else if (name == "PicField.ReadOnly") {
        m_picField.readOnly = BooleanValue(value);
    } else if (name == "Flat") {
        setAutoRaise(BooleanValue(value));
    } else if (name == "Glyph.Data" || name == "NumGlyphs") {
        if (name == "Glyph.Data")
            m_glyph = PictureImage(value.bytes);
        else
            m_numGlyphs = int(IntegerValue(value));
        const QPixmap pixmap = GlyphPixmap(m_glyph, m_numGlyphs);
        setIcon(QIcon(pixmap));
        setToolButtonStyle(pixmap.isNull() ? Qt::ToolButtonTextOnly : Qt::ToolButtonTextBesideIcon);
    }
    Control::applyProperty(name, value);
}

void TPicButton::setReference(const QString& property, const QString& name, QObject* target)
{
    if (property == "PicField.DataSource")
        m_picField.setDataSource(target, name);
    Control::setReference(property, name, target);
}

// ---- TUGrid

TUGrid::TUGrid()
{
    ApplyBuiltInDesign(*this, kUGridDesign);
}

void TUGrid::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "ZebraColors") {
        m_zebraColors = BooleanValue(value);
        viewport()->update();
    }
    DataGrid::applyProperty(name, value);
}

std::optional<QColor> TUGrid::rowBackground(int row, bool selected) const
{
    return ZebraRowColor(m_zebraColors, selected, row);
}

void TUGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    DataGrid::mouseDoubleClickEvent(event);
    if (openRecord)
        openRecord(*this);
}

// ---- TEQRefCombo

TEQRefCombo::TEQRefCombo() : DataComboBox(false)
{
    setText({});
}

void TEQRefCombo::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "FullPath")
        m_fullPath = TextValue(value);
    else if (name == "EQFromLevel")
        m_fromLevel = int(IntegerValue(value));
    else if (name == "EQToLevel")
        m_toLevel = int(IntegerValue(value));
    DataComboBox::applyProperty(name, value);
    setText(m_text);
}

void TEQRefCombo::setText(const QString& text)
{
    m_text = text;
    clear();
    addItem(displayText());
    setCurrentIndex(0);
}

QString TEQRefCombo::displayText() const
{
    return m_text.isEmpty() ? QString() : EQLevelText(m_text, m_fromLevel, m_toLevel);
}

void TEQRefCombo::showPopup()
{
    if (dropDown)
        dropDown(*this);
}

void TEQRefCombo::hidePopup()
{
    if (closeUp)
        closeUp(*this);
    DataComboBox::hidePopup();
}

// ---- columns and editors

void TdxEQColumn::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "EQFromLevel")
        m_fromLevel = int(IntegerValue(value));
    else if (name == "EQToLevel")
        m_toLevel = int(IntegerValue(value));
    GridColumn::applyProperty(name, value);
}

QString TdxEQColumn::cellText(const QString& text) const
{
    return EQLevelText(text, m_fromLevel, m_toLevel);
}

QString TdxDateColumnEx::cellText(const QString& text) const
{
    return text.section(u' ', 0, 0);
}

QString TdxTimeColumnEx::cellText(const QString& text) const
{
    return text.section(u' ', 1, 1);
}

QString OwnTextEdit::displayValue(const QString&) const
{
    return text();
}

} // namespace editing

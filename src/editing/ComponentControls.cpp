#include "ComponentControls.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <algorithm>

namespace editing
{

namespace
{

struct NamedCode {
    const char* name;
    qint64 code;
};

constexpr qint64 kSystemColor = 0x80000000LL;
constexpr qint64 kColorNone = 0x1FFFFFFF;
constexpr qint64 kColorDefault = 0x20000000;

// Colour names and their numbers (0x00BBGGRR; system colours are 0x80000000
// plus the system colour index).
constexpr NamedCode kColors[] = {
    {"clBlack", 0x000000},
    {"clMaroon", 0x000080},
    {"clGreen", 0x008000},
    {"clOlive", 0x008080},
    {"clNavy", 0x800000},
    {"clPurple", 0x800080},
    {"clTeal", 0x808000},
    {"clGray", 0x808080},
    {"clSilver", 0xC0C0C0},
    {"clRed", 0x0000FF},
    {"clLime", 0x00FF00},
    {"clYellow", 0x00FFFF},
    {"clBlue", 0xFF0000},
    {"clFuchsia", 0xFF00FF},
    {"clAqua", 0xFFFF00},
    {"clLtGray", 0xC0C0C0},
    {"clDkGray", 0x808080},
    {"clWhite", 0xFFFFFF},
    {"clMoneyGreen", 0xC0DCC0},
    {"clSkyBlue", 0xF0CAA6},
    {"clCream", 0xF0FBFF},
    {"clMedGray", 0xA4A0A0},
    {"clNone", kColorNone},
    {"clDefault", kColorDefault},
    {"clScrollBar", kSystemColor | 0},
    {"clBackground", kSystemColor | 1},
    {"clActiveCaption", kSystemColor | 2},
    {"clInactiveCaption", kSystemColor | 3},
    {"clMenu", kSystemColor | 4},
    {"clWindow", kSystemColor | 5},
    {"clWindowFrame", kSystemColor | 6},
    {"clMenuText", kSystemColor | 7},
    {"clWindowText", kSystemColor | 8},
    {"clCaptionText", kSystemColor | 9},
    {"clActiveBorder", kSystemColor | 10},
    {"clInactiveBorder", kSystemColor | 11},
    {"clAppWorkSpace", kSystemColor | 12},
    {"clHighlight", kSystemColor | 13},
    {"clHighlightText", kSystemColor | 14},
    {"clBtnFace", kSystemColor | 15},
    {"clBtnShadow", kSystemColor | 16},
    {"clGrayText", kSystemColor | 17},
    {"clBtnText", kSystemColor | 18},
    {"clInactiveCaptionText", kSystemColor | 19},
    {"clBtnHighlight", kSystemColor | 20},
    {"cl3DDkShadow", kSystemColor | 21},
    {"cl3DLight", kSystemColor | 22},
    {"clInfoText", kSystemColor | 23},
    {"clInfoBk", kSystemColor | 24},
    {"clHotLight", kSystemColor | 26},
    {"clGradientActiveCaption", kSystemColor | 27},
    {"clGradientInactiveCaption", kSystemColor | 28},
    {"clMenuHighlight", kSystemColor | 29},
    {"clMenuBar", kSystemColor | 30},
};

// The palette role that stands for each system colour index.
constexpr QPalette::ColorRole kSystemColorRoles[] = {
    QPalette::Button,
    QPalette::Window,
    QPalette::Highlight,
    QPalette::Mid,
    QPalette::Window,
    QPalette::Base,
    QPalette::Shadow,
    QPalette::WindowText,
    QPalette::Text,
    QPalette::HighlightedText,
    QPalette::Button,
    QPalette::Button,
    QPalette::Dark,
    QPalette::Highlight,
    QPalette::HighlightedText,
    QPalette::Button,
    QPalette::Dark,
    QPalette::PlaceholderText,
    QPalette::ButtonText,
    QPalette::WindowText,
    QPalette::Light,
    QPalette::Shadow,
    QPalette::Midlight,
    QPalette::ToolTipText,
    QPalette::ToolTipBase,
    QPalette::Link,
    QPalette::Link,
    QPalette::Highlight,
    QPalette::Mid,
    QPalette::Highlight,
    QPalette::Window,
};

struct CursorName {
    const char* name;
    qint64 code;
    Qt::CursorShape shape;
};

constexpr CursorName kCursors[] = {
    {"crDefault", 0, Qt::ArrowCursor},        {"crNone", -1, Qt::BlankCursor},
    {"crArrow", -2, Qt::ArrowCursor},         {"crCross", -3, Qt::CrossCursor},
    {"crIBeam", -4, Qt::IBeamCursor},         {"crSize", -22, Qt::SizeAllCursor},
    {"crSizeNESW", -6, Qt::SizeBDiagCursor},  {"crSizeNS", -7, Qt::SizeVerCursor},
    {"crSizeNWSE", -8, Qt::SizeFDiagCursor},  {"crSizeWE", -9, Qt::SizeHorCursor},
    {"crUpArrow", -10, Qt::UpArrowCursor},    {"crHourGlass", -11, Qt::WaitCursor},
    {"crDrag", -12, Qt::DragMoveCursor},      {"crNoDrop", -13, Qt::ForbiddenCursor},
    {"crHSplit", -14, Qt::SplitHCursor},      {"crVSplit", -15, Qt::SplitVCursor},
    {"crMultiDrag", -16, Qt::DragCopyCursor}, {"crSQLWait", -17, Qt::WaitCursor},
    {"crNo", -18, Qt::ForbiddenCursor},       {"crAppStart", -19, Qt::BusyCursor},
    {"crHelp", -20, Qt::WhatsThisCursor},     {"crHandPoint", -21, Qt::PointingHandCursor},
    {"crSizeAll", -22, Qt::SizeAllCursor},
};

constexpr NamedCode kCharsets[] = {
    {"ANSI_CHARSET", 0},      {"DEFAULT_CHARSET", 1},    {"SYMBOL_CHARSET", 2},
    {"MAC_CHARSET", 77},      {"SHIFTJIS_CHARSET", 128}, {"HANGEUL_CHARSET", 129},
    {"JOHAB_CHARSET", 130},   {"GB2312_CHARSET", 134},   {"CHINESEBIG5_CHARSET", 136},
    {"GREEK_CHARSET", 161},   {"TURKISH_CHARSET", 162},  {"VIETNAMESE_CHARSET", 163},
    {"HEBREW_CHARSET", 177},  {"ARABIC_CHARSET", 178},   {"BALTIC_CHARSET", 186},
    {"RUSSIAN_CHARSET", 204}, {"THAI_CHARSET", 222},     {"EASTEUROPE_CHARSET", 238},
    {"OEM_CHARSET", 255},
};

template <typename Table> std::optional<qint64> FindCode(const Table& table, const QString& name)
{
    for (const auto& entry : table)
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.code;
    return std::nullopt;
}

Qt::Alignment HorizontalAlignment(const QString& name)
{
    if (name == "taRightJustify")
        return Qt::AlignRight;
    if (name == "taCenter")
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

Qt::Alignment VerticalAlignment(const QString& name)
{
    if (name == "tlCenter")
        return Qt::AlignVCenter;
    if (name == "tlBottom")
        return Qt::AlignBottom;
    return Qt::AlignTop;
}

// Re-arranges a container's controls whenever it is resized.
class ArrangeFilter : public QObject
{
public:
    static ArrangeFilter* instance()
    {
        static ArrangeFilter* filter = new ArrangeFilter(qApp);
        return filter;
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Resize && watched->isWidgetType())
            ArrangeChildren(static_cast<QWidget*>(watched));
        return false;
    }

private:
    using QObject::QObject;
};

// Places the aligned controls of one side in the order they are designed.
void PlaceAligned(std::vector<Control*> controls, Align side, QRect& area)
{
    auto key = [side](const Control* c) {
        const QRect b = c->bounds();
        switch (side) {
        case Align::Bottom:
            return -b.bottom();
        case Align::Left:
            return b.left();
        case Align::Right:
            return -b.right();
        default:
            return b.top();
        }
    };
    std::stable_sort(controls.begin(), controls.end(),
                     [&](const Control* a, const Control* b) { return key(a) < key(b); });
    for (Control* c : controls) {
        const QRect b = c->bounds();
        QRect r;
        switch (side) {
        case Align::Top:
            r = QRect(area.left(), area.top(), area.width(), b.height());
            area.setTop(area.top() + b.height());
            break;
        case Align::Bottom:
            r = QRect(area.left(), area.bottom() + 1 - b.height(), area.width(), b.height());
            area.setBottom(area.bottom() - b.height());
            break;
        case Align::Left:
            r = QRect(area.left(), area.top(), b.width(), area.height());
            area.setLeft(area.left() + b.width());
            break;
        case Align::Right:
            r = QRect(area.right() + 1 - b.width(), area.top(), b.width(), area.height());
            area.setRight(area.right() - b.width());
            break;
        default:
            r = area;
            break;
        }
        c->widget()->setGeometry(r.normalized());
    }
}

QRect Anchored(const Control& c, QSize designSize, QSize size)
{
    QRect r = c.bounds();
    const int dx = size.width() - designSize.width();
    const int dy = size.height() - designSize.height();
    const int a = c.anchors();
    if ((a & kAnchorLeft) && (a & kAnchorRight))
        r.setWidth(std::max(0, r.width() + dx));
    else if (a & kAnchorRight)
        r.moveLeft(r.left() + dx);
    else if (!(a & kAnchorLeft))
        r.moveLeft(r.left() + dx / 2);
    if ((a & kAnchorTop) && (a & kAnchorBottom))
        r.setHeight(std::max(0, r.height() + dy));
    else if (a & kAnchorBottom)
        r.moveTop(r.top() + dy);
    else if (!(a & kAnchorTop))
        r.moveTop(r.top() + dy / 2);
    return r;
}

} // namespace

qint64 IntegerValue(const StreamValue& value)
{
    if (value.type == ValueType::Ident)
        return ColorCode(value.text)
            .value_or(CursorCode(value.text).value_or(CharsetCode(value.text).value_or(0)));
    return value.integer;
}

bool BooleanValue(const StreamValue& value)
{
    return value.type == ValueType::True ||
           (value.type == ValueType::Ident &&
            value.text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0);
}

QString TextValue(const StreamValue& value)
{
    return value.text;
}

double FloatValue(const StreamValue& value)
{
    switch (value.type) {
    case ValueType::Extended:
    case ValueType::Single:
    case ValueType::Date:
        return value.real;
    case ValueType::Currency:
        return double(value.integer) / 10000.0;
    default:
        return double(value.integer);
    }
}

QStringList StringsValue(const StreamValue& value)
{
    QStringList lines;
    for (const StreamValue& item : value.list)
        lines << item.text;
    return lines;
}

std::optional<qint64> ColorCode(const QString& name)
{
    return FindCode(kColors, name);
}

std::optional<qint64> CursorCode(const QString& name)
{
    return FindCode(kCursors, name);
}

std::optional<qint64> CharsetCode(const QString& name)
{
    return FindCode(kCharsets, name);
}

QColor ColorValue(const StreamValue& value)
{
    const qint64 code = IntegerValue(value) & 0xFFFFFFFFLL;
    if (code == kColorNone || code == kColorDefault)
        return {};
    if ((code & 0xFF000000LL) == kSystemColor) {
        const qint64 index = code & 0xFF;
        if (index >= qint64(std::size(kSystemColorRoles)))
            return {};
        return QApplication::palette().color(kSystemColorRoles[index]);
    }
    return QColor(int(code & 0xFF), int((code >> 8) & 0xFF), int((code >> 16) & 0xFF));
}

QImage PictureImage(const QByteArray& data)
{
    QImage image;
    image.loadFromData(ExtractGraphicData(data).image);
    return image;
}

QPixmap GlyphPixmap(const QImage& glyph, int numGlyphs)
{
    if (glyph.isNull())
        return {};
    const int cells = std::max(1, numGlyphs);
    QImage cell = glyph.copy(0, 0, std::max(1, glyph.width() / cells), glyph.height())
                      .convertToFormat(QImage::Format_ARGB32);
    const QRgb transparent = cell.pixel(0, cell.height() - 1);
    for (int y = 0; y < cell.height(); ++y)
        for (int x = 0; x < cell.width(); ++x)
            if (cell.pixel(x, y) == transparent)
                cell.setPixel(x, y, qRgba(0, 0, 0, 0));
    return QPixmap::fromImage(cell);
}

// ---- Component

void Component::applyProperty(const QString& name, const StreamValue& value)
{
    m_values[name] = value;
    if (name == "DataField")
        if (auto* data = dynamic_cast<DataControl*>(this))
            data->setDataField(TextValue(value));
}

const StreamValue* Component::propertyValue(const QString& name) const
{
    auto it = m_values.find(name);
    return it == m_values.end() ? nullptr : &it.value();
}

void Component::setReference(const QString& property, const QString& name, QObject* target)
{
    m_references[property] = {name, target};
    if (property == "DataSource")
        if (auto* link = dynamic_cast<DataSourceLink*>(this))
            link->setDataSource(target, name);
}

QString Component::referenceName(const QString& property) const
{
    return m_references.value(property).first;
}

QObject* Component::reference(const QString& property) const
{
    return m_references.value(property).second;
}

Component::~Component()
{
    for (const QPointer<QWidget>& widget : m_adopted)
        delete widget.data();
}

void Component::addChild(Component& child)
{
    QObject* o = child.object();
    if (!o->isWidgetType()) {
        o->setParent(object());
        return;
    }
    // A widget's parent must be a widget.
    auto* widget = static_cast<QWidget*>(o);
    for (QObject* up = object(); up; up = up->parent())
        if (up->isWidgetType()) {
            widget->setParent(static_cast<QWidget*>(up));
            return;
        }
    m_adopted.push_back(widget);
}

void Component::setEventHandler(const QString& event, const QString& method)
{
    if (method.isEmpty())
        m_events.remove(event);
    else
        m_events[event] = method;
}

QString Component::eventHandler(const QString& event) const
{
    return m_events.value(event);
}

void DataSourceLink::setDataSource(QObject* source, const QString& name)
{
    m_dataSource = source;
    m_dataSourceName = name;
    dataBindingChanged();
}

void DataSourceLink::setDataSource(QObject* source)
{
    setDataSource(source, source ? source->objectName() : QString());
}

void DataControl::setDataField(const QString& field)
{
    m_dataField = field;
    dataBindingChanged();
}

// ---- Control

QObject* Control::object()
{
    return m_widget;
}

void Control::applyBounds()
{
    m_widget->setGeometry(m_bounds);
}

void Control::setCaption(const QString&) {}

void Control::setBoundsSize(const QSize& size)
{
    m_bounds.setSize(size);
    applyBounds();
}

void Control::setFaceColor(const QColor& color)
{
    if (!color.isValid())
        return;
    QPalette p = m_widget->palette();
    p.setColor(m_widget->backgroundRole(), color);
    m_widget->setPalette(p);
    m_widget->setAutoFillBackground(true);
}

void Control::setTextColor(const QColor& color)
{
    if (!color.isValid())
        return;
    QPalette p = m_widget->palette();
    p.setColor(m_widget->foregroundRole(), color);
    p.setColor(QPalette::Text, color);
    m_widget->setPalette(p);
}

void Control::updateHint()
{
    m_widget->setToolTip(m_showHint ? m_hint : QString());
}

void Control::applyProperty(const QString& name, const StreamValue& value)
{
    Component::applyProperty(name, value);
    if (name == "Left") {
        m_bounds.moveLeft(int(IntegerValue(value)));
        applyBounds();
    } else if (name == "Top") {
        m_bounds.moveTop(int(IntegerValue(value)));
        applyBounds();
    } else if (name == "Width") {
        m_bounds.setWidth(int(IntegerValue(value)));
        applyBounds();
    } else if (name == "Height") {
        m_bounds.setHeight(int(IntegerValue(value)));
        applyBounds();
    } else if (name == "Align") {
        static const QStringList kAligns = {"alNone",  "alTop",    "alBottom", "alLeft",
                                            "alRight", "alClient", "alCustom"};
        m_align = Align(std::max<qsizetype>(0, kAligns.indexOf(value.text)));
    } else if (name == "Anchors") {
        m_anchors = (value.members.contains("akLeft") ? kAnchorLeft : 0) |
                    (value.members.contains("akTop") ? kAnchorTop : 0) |
                    (value.members.contains("akRight") ? kAnchorRight : 0) |
                    (value.members.contains("akBottom") ? kAnchorBottom : 0);
    } else if (name == "Caption" || name == "Text") {
        setCaption(TextValue(value));
    } else if (name == "Color") {
        setFaceColor(ColorValue(value));
    } else if (name == "Font.Color") {
        setTextColor(ColorValue(value));
    } else if (name.startsWith("Font.")) {
        QFont font = m_widget->font();
        if (name == "Font.Name")
            font.setFamily(TextValue(value));
        else if (name == "Font.Size" && IntegerValue(value) > 0)
            font.setPointSize(int(IntegerValue(value)));
        else if (name == "Font.Height" && IntegerValue(value) != 0)
            font.setPixelSize(int(std::abs(IntegerValue(value))));
        else if (name == "Font.Style") {
            font.setBold(value.members.contains("fsBold"));
            font.setItalic(value.members.contains("fsItalic"));
            font.setUnderline(value.members.contains("fsUnderline"));
            font.setStrikeOut(value.members.contains("fsStrikeOut"));
        }
        m_widget->setFont(font);
    } else if (name == "Visible") {
        m_widget->setVisible(BooleanValue(value));
    } else if (name == "Enabled") {
        m_widget->setEnabled(BooleanValue(value));
    } else if (name == "Hint") {
        m_hint = TextValue(value);
        updateHint();
    } else if (name == "ShowHint") {
        m_showHint = BooleanValue(value);
        updateHint();
    } else if (name == "TabOrder") {
        m_tabOrder = int(IntegerValue(value));
    } else if (name == "TabStop") {
        m_widget->setFocusPolicy(BooleanValue(value) ? Qt::StrongFocus : Qt::NoFocus);
    } else if (name == "Cursor") {
        const qint64 code = IntegerValue(value);
        for (const CursorName& c : kCursors)
            if (c.code == code) {
                m_widget->setCursor(c.shape);
                break;
            }
    } else if (name == "Constraints.MinWidth") {
        m_widget->setMinimumWidth(int(IntegerValue(value)));
    } else if (name == "Constraints.MinHeight") {
        m_widget->setMinimumHeight(int(IntegerValue(value)));
    } else if (name == "Constraints.MaxWidth" && IntegerValue(value) > 0) {
        m_widget->setMaximumWidth(int(IntegerValue(value)));
    } else if (name == "Constraints.MaxHeight" && IntegerValue(value) > 0) {
        m_widget->setMaximumHeight(int(IntegerValue(value)));
    }
}

void Control::addChild(Component& child)
{
    auto* control = dynamic_cast<Control*>(&child);
    if (!control) {
        Component::addChild(child);
        return;
    }
    QWidget* parent = childParent();
    control->widget()->setParent(parent);
    control->applyBounds();
    parent->installEventFilter(ArrangeFilter::instance());
}

void Control::loaded()
{
    std::vector<Control*> ordered;
    for (QObject* o : childParent()->children())
        if (auto* c = dynamic_cast<Control*>(o); c && c->tabOrder())
            ordered.push_back(c);
    std::stable_sort(ordered.begin(), ordered.end(), [](const Control* a, const Control* b) {
        return *a->tabOrder() < *b->tabOrder();
    });
    for (size_t i = 1; i < ordered.size(); ++i)
        QWidget::setTabOrder(ordered[i - 1]->widget(), ordered[i]->widget());
}

void ArrangeChildren(QWidget* container)
{
    std::vector<Control*> controls;
    for (QObject* o : container->children())
        if (auto* c = dynamic_cast<Control*>(o))
            controls.push_back(c);
    if (controls.empty())
        return;
    QRect area = container->contentsRect();
    for (Align side : {Align::Top, Align::Bottom, Align::Left, Align::Right, Align::Client}) {
        std::vector<Control*> aligned;
        for (Control* c : controls)
            if (c->align() == side)
                aligned.push_back(c);
        PlaceAligned(aligned, side, area);
    }
    // The container's own design size; a container that is no control (a
    // scroll box's content) keeps its children where they are.
    Control* owner = dynamic_cast<Control*>(container);
    const QSize design = owner ? owner->designClientSize() : container->size();
    for (Control* c : controls)
        if (c->align() == Align::None || c->align() == Align::Custom)
            c->widget()->setGeometry(Anchored(*c, design, container->size()));
    for (Control* c : controls)
        ArrangeChildren(c->childParent());
}

// ---- TPanel

TPanel::TPanel() : Control(this)
{
    updateFrame();
}

void TPanel::updateFrame()
{
    int style = QFrame::NoFrame;
    if (m_singleBorder)
        style = QFrame::Box | QFrame::Plain;
    else if (m_bevelOuter == "bvRaised")
        style = QFrame::Panel | QFrame::Raised;
    else if (m_bevelOuter == "bvLowered")
        style = QFrame::Panel | QFrame::Sunken;
    else if (m_bevelInner == "bvRaised")
        style = QFrame::Panel | QFrame::Raised;
    else if (m_bevelInner == "bvLowered")
        style = QFrame::Panel | QFrame::Sunken;
    setFrameStyle(style);
}

void TPanel::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "BevelOuter")
        m_bevelOuter = value.text;
    else if (name == "BevelInner")
        m_bevelInner = value.text;
    else if (name == "BorderStyle")
        m_singleBorder = value.text == "bsSingle";
    else if (name == "BevelWidth")
        setLineWidth(int(IntegerValue(value)));
    else if (name == "Alignment")
        m_alignment = HorizontalAlignment(value.text) | Qt::AlignVCenter;
    if (name.startsWith("Bevel") || name == "BorderStyle")
        updateFrame();
    Control::applyProperty(name, value);
}

void TPanel::setCaption(const QString& caption)
{
    m_caption = caption;
    update();
}

void TPanel::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (m_caption.isEmpty())
        return;
    QPainter painter(this);
    painter.drawText(contentsRect(), int(m_alignment), m_caption);
}

// ---- TScrollBox

TScrollBox::TScrollBox() : Control(this), m_content(new QWidget)
{
    setWidget(m_content);
    setWidgetResizable(false);
}

void TScrollBox::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "BorderStyle")
        setFrameShape(value.text == "bsNone" ? QFrame::NoFrame : QFrame::StyledPanel);
    else if (name == "AutoScroll") {
        const auto policy = BooleanValue(value) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff;
        setHorizontalScrollBarPolicy(policy);
        setVerticalScrollBarPolicy(policy);
    }
    Control::applyProperty(name, value);
}

void TScrollBox::loaded()
{
    QRect extent(QPoint(0, 0), bounds().size());
    for (QObject* o : m_content->children())
        if (auto* c = dynamic_cast<Control*>(o))
            extent |= c->bounds();
    m_content->resize(extent.size());
    Control::loaded();
}

// ---- TGroupBox, TLabel

TGroupBox::TGroupBox() : Control(this) {}

TLabel::TLabel() : Control(this)
{
    setAlignment(m_horizontal | m_vertical);
}

void TLabel::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "Alignment")
        m_horizontal = HorizontalAlignment(value.text);
    else if (name == "Layout")
        m_vertical = VerticalAlignment(value.text);
    else if (name == "WordWrap")
        setWordWrap(BooleanValue(value));
    else if (name == "Transparent")
        setAutoFillBackground(!BooleanValue(value));
    else if (name == "AutoSize")
        m_autoSize = BooleanValue(value);
    setAlignment(m_horizontal | m_vertical);
    Control::applyProperty(name, value);
    // A label that sizes itself fits its text (a wrapping one keeps its
    // width) whenever the text or its look changes.
    const bool refit =
        name == "Caption" || name == "AutoSize" || name == "WordWrap" || name.startsWith("Font.");
    if (m_autoSize && refit)
        setBoundsSize(wordWrap() ? QSize(bounds().width(), heightForWidth(bounds().width()))
                                 : sizeHint());
}

// ---- TImage

TImage::TImage() : Control(this) {}

void TImage::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "Picture.Data")
        m_picture = PictureImage(value.bytes);
    else if (name == "Stretch")
        m_stretch = BooleanValue(value);
    else if (name == "Proportional")
        m_proportional = BooleanValue(value);
    else if (name == "Center")
        m_center = BooleanValue(value);
    Control::applyProperty(name, value);
    if (name == "Picture.Data" || name == "Stretch" || name == "Proportional" || name == "Center" ||
        name == "Width" || name == "Height")
        showPicture();
}

void TImage::setPicture(const QImage& image)
{
    m_picture = image;
    showPicture();
}

void TImage::showPicture()
{
    setAlignment(m_center ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
    if (m_picture.isNull()) {
        clear();
        return;
    }
    QImage shown = m_picture;
    if ((m_stretch || m_proportional) && !size().isEmpty()) {
        const bool fits = m_picture.width() <= width() && m_picture.height() <= height();
        if (m_stretch && !m_proportional)
            shown = m_picture.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        else if (m_stretch || !fits)
            shown = m_picture.scaled(size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    setPixmap(QPixmap::fromImage(shown));
}

void TImage::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    if (m_stretch || m_proportional)
        showPicture();
}

// ---- TBevel

TBevel::TBevel() : Control(this) {}

void TBevel::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "Shape")
        m_shape = value.text;
    else if (name == "Style")
        m_raised = value.text == "bsRaised";
    update();
    Control::applyProperty(name, value);
}

void TBevel::paintEvent(QPaintEvent*)
{
    if (m_shape == "bsSpacer")
        return;
    QPainter p(this);
    const QColor first = palette().color(m_raised ? QPalette::Light : QPalette::Dark);
    const QColor second = palette().color(m_raised ? QPalette::Dark : QPalette::Light);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    auto line = [&](QPoint a, QPoint b, QPoint offset) {
        p.setPen(first);
        p.drawLine(a, b);
        p.setPen(second);
        p.drawLine(a + offset, b + offset);
    };
    if (m_shape == "bsTopLine")
        line(r.topLeft(), r.topRight(), {0, 1});
    else if (m_shape == "bsBottomLine")
        line(r.bottomLeft() - QPoint(0, 1), r.bottomRight() - QPoint(0, 1), {0, 1});
    else if (m_shape == "bsLeftLine")
        line(r.topLeft(), r.bottomLeft(), {1, 0});
    else if (m_shape == "bsRightLine")
        line(r.topRight() - QPoint(1, 0), r.bottomRight() - QPoint(1, 0), {1, 0});
    else {
        p.setPen(first);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        if (m_shape == "bsFrame") {
            p.setPen(second);
            p.drawRect(r.adjusted(1, 1, 0, 0));
        }
    }
}

// ---- DataEdit, DataCheckBox, DataMemo, DataComboBox

DataEdit::DataEdit() : Control(this) {}

void DataEdit::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "ReadOnly")
        setReadOnly(BooleanValue(value));
    else if (name == "MaxLength")
        setMaxLength(IntegerValue(value) > 0 ? int(IntegerValue(value)) : 32767);
    else if (name == "PasswordChar")
        setEchoMode(value.text == QChar(0) ? QLineEdit::Normal : QLineEdit::Password);
    else if (name == "Alignment")
        setAlignment(HorizontalAlignment(value.text) | Qt::AlignVCenter);
    else if (name == "BorderStyle" || name == "Style.BorderStyle")
        setFrame(value.text != "bsNone" && value.text != "xbsNone");
    Control::applyProperty(name, value);
}

DataCheckBox::DataCheckBox() : Control(this) {}

void DataCheckBox::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "Checked")
        setChecked(BooleanValue(value));
    else if (name == "AllowGrayed")
        setTristate(BooleanValue(value));
    else if (name == "State")
        setCheckState(value.text == "cbChecked"  ? Qt::Checked
                      : value.text == "cbGrayed" ? Qt::PartiallyChecked
                                                 : Qt::Unchecked);
    Control::applyProperty(name, value);
}

DataMemo::DataMemo() : Control(this) {}

void DataMemo::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "Lines.Strings")
        setPlainText(StringsValue(value).join('\n'));
    else if (name == "ReadOnly")
        setReadOnly(BooleanValue(value));
    else if (name == "WordWrap")
        setLineWrapMode(BooleanValue(value) ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
    else if (name == "ScrollBars") {
        const QString& s = value.text;
        setHorizontalScrollBarPolicy(s == "ssHorizontal" || s == "ssBoth" ? Qt::ScrollBarAlwaysOn
                                                                          : Qt::ScrollBarAsNeeded);
        setVerticalScrollBarPolicy(s == "ssVertical" || s == "ssBoth" ? Qt::ScrollBarAlwaysOn
                                                                      : Qt::ScrollBarAsNeeded);
    }
    Control::applyProperty(name, value);
}

DataComboBox::DataComboBox(bool editable) : Control(this)
{
    setEditable(editable);
}

void DataComboBox::setCaption(const QString& caption)
{
    if (isEditable()) {
        setEditText(caption);
        return;
    }
    int index = findText(caption);
    if (index < 0 && !caption.isEmpty()) {
        addItem(caption);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

void DataComboBox::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "Items.Strings") {
        const QString text = currentText();
        clear();
        addItems(StringsValue(value));
        setCaption(text);
    } else if (name == "Style") {
        setEditable(value.text == "csDropDown" || value.text == "csSimple");
    } else if (name == "DropDownCount" || name == "DropDownRows") {
        setMaxVisibleItems(std::max(1, int(IntegerValue(value))));
    } else if (name == "ReadOnly" && isEditable()) {
        lineEdit()->setReadOnly(BooleanValue(value));
    }
    Control::applyProperty(name, value);
}

// ---- TDBNavigator

TDBNavigator::TDBNavigator() : Control(this)
{
    // nbFirst, nbPrior, nbNext, nbLast, nbInsert, nbDelete, nbEdit, nbPost,
    // nbCancel, nbRefresh
    static const char* const kFaces[] = {"|◀", "◀", "▶", "▶|", "+", "−", "▲", "✓", "✕", "↻"};
    for (const char* face : kFaces) {
        auto* button = new QToolButton(this);
        button->setText(QString::fromUtf8(face));
        button->setFocusPolicy(Qt::NoFocus);
        m_buttons << button;
    }
}

void TDBNavigator::applyProperty(const QString& name, const StreamValue& value)
{
    static const QStringList kButtons = {"nbFirst",  "nbPrior", "nbNext", "nbLast",   "nbInsert",
                                         "nbDelete", "nbEdit",  "nbPost", "nbCancel", "nbRefresh"};
    if (name == "VisibleButtons") {
        for (int i = 0; i < m_buttons.size(); ++i)
            m_buttons[i]->setVisible(value.members.contains(kButtons[i]));
        layoutButtons();
    } else if (name == "Flat") {
        for (QToolButton* b : m_buttons)
            b->setAutoRaise(BooleanValue(value));
    } else if (name == "Hints.Strings") {
        const QStringList hints = StringsValue(value);
        for (int i = 0; i < m_buttons.size() && i < hints.size(); ++i)
            m_buttons[i]->setToolTip(hints[i]);
    }
    Control::applyProperty(name, value);
}

void TDBNavigator::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutButtons();
}

void TDBNavigator::layoutButtons()
{
    QList<QToolButton*> shown;
    for (QToolButton* b : m_buttons)
        if (!b->isHidden())
            shown << b;
    for (int i = 0; i < shown.size(); ++i) {
        const int left = width() * i / int(shown.size());
        const int right = width() * (i + 1) / int(shown.size());
        shown[i]->setGeometry(left, 0, right - left, height());
    }
}

// ---- GridColumn

void GridColumn::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "FieldName")
        m_fieldName = TextValue(value);
    else if (name == "Caption" || name == "Title.Caption")
        m_caption = TextValue(value);
    else if (name == "Width")
        m_width = int(IntegerValue(value));
    else if (name == "Visible")
        m_visible = BooleanValue(value);
    else if (name == "Alignment")
        m_alignment = HorizontalAlignment(value.text);
    Component::applyProperty(name, value);
}

// ---- DataGrid

namespace
{

// The class name of the columns a standard grid makes from its collection.
constexpr char kCollectionColumnClass[] = "TColumn";

class GridDelegate : public QStyledItemDelegate
{
public:
    explicit GridDelegate(DataGrid* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (GridColumn* column = m_grid->columns().value(index.column())) {
            option->text = column->cellText(option->text);
            option->displayAlignment = column->alignment() | Qt::AlignVCenter;
        }
        const bool selected = option->state & QStyle::State_Selected;
        if (auto background = m_grid->rowBackground(index.row(), selected))
            option->backgroundBrush = *background;
    }

private:
    DataGrid* m_grid;
};

} // namespace

// The rows of a grid as shown: sorted on demand, with the grid's column
// captions as horizontal headers.
class GridRows : public QSortFilterProxyModel
{
public:
    explicit GridRows(DataGrid* grid) : QSortFilterProxyModel(grid), m_grid(grid) {}

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            if (const GridColumn* c = m_grid->columns().value(section))
                return c->caption().isEmpty() ? c->fieldName() : c->caption();
        return QSortFilterProxyModel::headerData(section, orientation, role);
    }

private:
    DataGrid* m_grid;
};

DataGrid::DataGrid() : Control(this), m_rows(new GridRows(this))
{
    m_rows->setSourceModel(&m_headers);
    setModel(m_rows);
    setItemDelegate(new GridDelegate(this));
    verticalHeader()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
}

void DataGrid::setRecordModel(QAbstractItemModel* model)
{
    m_rows->setSourceModel(model ? model : &m_headers);
    applyColumns();
}

QAbstractItemModel* DataGrid::recordModel() const
{
    return m_rows->sourceModel() == &m_headers ? nullptr : m_rows->sourceModel();
}

void DataGrid::setAutoSort(bool on)
{
    // No sort order until a header is clicked: the rows stay as the model has them.
    if (on && !isSortingEnabled())
        horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    setSortingEnabled(on);
    if (!on)
        m_rows->sort(-1);
}

std::optional<QColor> DataGrid::rowBackground(int, bool) const
{
    return std::nullopt;
}

void DataGrid::applyOptions(const QString& name, const QStringList& members)
{
    auto has = [&](const char* m) { return members.contains(QLatin1String(m)); };
    if (name == "Options") {
        setEditTriggers(has("dgEditing") ? QAbstractItemView::AllEditTriggers
                                         : QAbstractItemView::NoEditTriggers);
        setSelectionBehavior(has("dgRowSelect") ? SelectRows : SelectItems);
        horizontalHeader()->setVisible(has("dgTitles"));
        verticalHeader()->setVisible(has("dgIndicator"));
        setShowGrid(has("dgColLines") || has("dgRowLines"));
        setSelectionMode(has("dgMultiSelect") ? ExtendedSelection : SingleSelection);
    } else if (name == "OptionsBehavior") {
        setAutoSort(has("edgoAutoSort"));
        setEditTriggers(has("edgoEditing") ? QAbstractItemView::AllEditTriggers
                                           : QAbstractItemView::NoEditTriggers);
        setSelectionMode(has("edgoMultiSelect") ? ExtendedSelection : SingleSelection);
    } else if (name == "OptionsView") {
        setSelectionBehavior(has("edgoRowSelect") ? SelectRows : SelectItems);
        verticalHeader()->setVisible(has("edgoIndicator"));
        horizontalHeader()->setStretchLastSection(has("edgoAutoWidth"));
    }
}

void DataGrid::applyProperty(const QString& name, const StreamValue& value)
{
    if (name == "Columns") {
        // A collection read anew replaces the columns it made before.
        for (GridColumn* c : std::as_const(m_columns))
            if (c->className() == kCollectionColumnClass)
                delete c;
        m_columns.removeIf([](GridColumn* c) { return c->className() == kCollectionColumnClass; });
        for (const CollectionItem& item : value.items) {
            auto* column = new GridColumn;
            column->setClassName(kCollectionColumnClass);
            column->setParent(this);
            for (const StreamProperty& p : item.properties)
                column->applyProperty(p.name, p.value);
            m_columns << column;
        }
        applyColumns();
    } else if (name.startsWith("Options")) {
        applyOptions(name, value.members);
    } else if (name == "ReadOnly" && BooleanValue(value)) {
        setEditTriggers(QAbstractItemView::NoEditTriggers);
    } else if (name == "ShowHeader") {
        horizontalHeader()->setVisible(BooleanValue(value));
    } else if (name == "ShowGrid") {
        setShowGrid(BooleanValue(value));
    } else if (name == "DefaultRowHeight") {
        verticalHeader()->setDefaultSectionSize(int(IntegerValue(value)));
    } else if (name.startsWith("TitleFont.") || name.startsWith("HeaderFont.")) {
        QFont font = horizontalHeader()->font();
        const QString part = name.section('.', 1);
        if (part == "Name")
            font.setFamily(TextValue(value));
        else if (part == "Size" && IntegerValue(value) > 0)
            font.setPointSize(int(IntegerValue(value)));
        else if (part == "Style")
            font.setBold(value.members.contains("fsBold"));
        horizontalHeader()->setFont(font);
    }
    Control::applyProperty(name, value);
}

void DataGrid::addChild(Component& child)
{
    if (auto* column = dynamic_cast<GridColumn*>(&child)) {
        column->setParent(this);
        m_columns << column;
        return;
    }
    Control::addChild(child);
}

void DataGrid::loaded()
{
    applyColumns();
    Control::loaded();
}

void DataGrid::applyColumns()
{
    if (!recordModel())
        m_headers.setColumnCount(int(m_columns.size()));
    if (const int count = m_rows->columnCount())
        emit m_rows->headerDataChanged(Qt::Horizontal, 0, count - 1);
    for (int i = 0; i < m_columns.size(); ++i) {
        setColumnWidth(i, m_columns[i]->width());
        setColumnHidden(i, !m_columns[i]->isVisible());
    }
}

} // namespace editing

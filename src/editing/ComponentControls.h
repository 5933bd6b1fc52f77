#pragma once
// The objects behind the component classes of stored forms: the common base
// of every component, the geometry and look shared by all controls, the data
// links of data-aware controls, and the standard controls. The program's own
// controls are in MagCtrls.h, the form class in UsUnit.h; ComponentRegistry
// knows which class name makes which object.

#include "ComponentStream.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QToolButton>
#include <optional>

namespace editing
{

// Conversions of property values that have been checked against their
// property's kind (ComponentRegistry does the checking).
[[nodiscard]] qint64 IntegerValue(const StreamValue& value); // integers; colour and cursor names
[[nodiscard]] bool BooleanValue(const StreamValue& value);   // False/True and the names
[[nodiscard]] QString TextValue(const StreamValue& value);   // strings and identifiers
[[nodiscard]] double FloatValue(const StreamValue& value);   // float kinds and integers
[[nodiscard]] QStringList StringsValue(const StreamValue& value); // a list of strings
// A colour value (a number 0x00BBGGRR, a system colour, or a colour name);
// invalid for clNone and clDefault. System colours come from the application
// palette.
[[nodiscard]] QColor ColorValue(const StreamValue& value);
// The colour number of a colour name, or nullopt for an unknown name.
[[nodiscard]] std::optional<qint64> ColorCode(const QString& name);
// The numbers of cursor names (crHandPoint) and character set names
// (RUSSIAN_CHARSET), or nullopt.
[[nodiscard]] std::optional<qint64> CursorCode(const QString& name);
[[nodiscard]] std::optional<qint64> CharsetCode(const QString& name);
// The image of a picture or bitmap binary value (see ExtractGraphicData);
// a null image when the data is not recognised.
[[nodiscard]] QImage PictureImage(const QByteArray& data);
// The first of numGlyphs cells side by side in a button glyph, with the
// colour of its bottom-left pixel made transparent.
[[nodiscard]] QPixmap GlyphPixmap(const QImage& glyph, int numGlyphs);

// Base of every object that a stream creates.
class Component
{
public:
    virtual ~Component();

    virtual QObject* object() = 0;
    const QString& className() const { return m_className; }
    void setClassName(const QString& name) { m_className = name; }

    // Applies one property of the class's table; value has been checked
    // against the property's kind. Names of nested objects come dotted. The
    // base keeps every value, readable with propertyValue, and sets the
    // DataField of a data control.
    virtual void applyProperty(const QString& name, const StreamValue& value);
    // The last value applied to a property, or nullptr.
    const StreamValue* propertyValue(const QString& name) const;

    // A component reference, once the whole tree is read: the name as written
    // and the object it names (null when it cannot be resolved or for nil).
    // The base keeps it and links the DataSource of a data-aware object.
    virtual void setReference(const QString& property, const QString& name, QObject* target);
    QString referenceName(const QString& property) const;
    QObject* reference(const QString& property) const;

    // Takes a component read inside this one's record. The base makes it a
    // QObject child of this component's object; a control goes to the
    // nearest widget above instead, or, when there is none, is kept and
    // destroyed by this component.
    virtual void addChild(Component& child);
    // Called once for every component after the tree is read and the
    // references resolved, children before their parents.
    virtual void loaded() {}

    // Event properties: the method of the root that handles the event, empty
    // when the event has no handler.
    void setEventHandler(const QString& event, const QString& method);
    QString eventHandler(const QString& event) const;

private:
    QString m_className;
    QMap<QString, StreamValue> m_values;
    QMap<QString, QString> m_events;
    QMap<QString, std::pair<QString, QPointer<QObject>>> m_references;
    std::vector<QPointer<QWidget>> m_adopted;
};

// The link of a data-aware object to its data source. DataSource names a
// component (normally a TDataSource of the form, or one of another root by
// "owner.component"); the binding layer may assign any data source object.
class DataSourceLink
{
public:
    virtual ~DataSourceLink() = default;

    // The data source as named in the stream or by the last setDataSource.
    const QString& dataSourceName() const { return m_dataSourceName; }
    // The resolved data source object, or null.
    QObject* dataSource() const { return m_dataSource; }
    void setDataSource(QObject* source, const QString& name);
    void setDataSource(QObject* source); // name from the object's name

    // Called whenever the data source or the data field changes. The binding
    // layer overrides it in its classes to attach the control to its field.
    virtual void dataBindingChanged() {}

private:
    QString m_dataSourceName;
    QPointer<QObject> m_dataSource;
};

// A control that shows and edits one field: DataField and DataSource.
class DataControl : public DataSourceLink
{
public:
    const QString& dataField() const { return m_dataField; }
    void setDataField(const QString& field);

private:
    QString m_dataField;
};

// Alignment of a control in its parent; anchors keep its distances to the
// parent's edges when the parent is resized.
enum class Align { None, Top, Bottom, Left, Right, Client, Custom };
enum AnchorFlag { kAnchorLeft = 1, kAnchorTop = 2, kAnchorRight = 4, kAnchorBottom = 8 };

// What every visual component shares: bounds, alignment, anchors, font,
// colour, visibility, enabled state, hint, tab order, caption handling.
class Control : public Component
{
public:
    explicit Control(QWidget* self) : m_widget(self) {}

    QObject* object() override;
    QWidget* widget() const { return m_widget; }
    // Where child controls go (a scroll box's content widget, for example).
    virtual QWidget* childParent() { return m_widget; }

    void applyProperty(const QString& name, const StreamValue& value) override;
    void addChild(Component& child) override;
    void loaded() override;

    // The bounds as designed (Left, Top, Width, Height).
    QRect bounds() const { return m_bounds; }
    Align align() const { return m_align; }
    int anchors() const { return m_anchors; }
    std::optional<int> tabOrder() const { return m_tabOrder; }
    // The client size the children were designed against.
    virtual QSize designClientSize() const { return m_bounds.size(); }

protected:
    // Places the widget at its bounds; the form overrides it for the window.
    virtual void applyBounds();
    // Changes the size of the bounds (for controls that size themselves).
    void setBoundsSize(const QSize& size);
    // The text a caption or text property shows.
    virtual void setCaption(const QString& caption);
    // The colour of the control's face (Color) and of its text (Font.Color).
    virtual void setFaceColor(const QColor& color);
    virtual void setTextColor(const QColor& color);

private:
    void updateHint();

    QWidget* m_widget;
    QRect m_bounds;
    Align m_align = Align::None;
    int m_anchors = kAnchorLeft | kAnchorTop;
    std::optional<int> m_tabOrder;
    QString m_hint;
    bool m_showHint = true;
};

// Lays the controls of container out: aligned ones in the order top, bottom,
// left, right, client; the others by their anchors against the client size
// their parent was designed with. Runs again whenever the container resizes.
void ArrangeChildren(QWidget* container);

// A component with nothing to show: it keeps its property values
// (TTreeNode, TOpenPictureDialog, TdxEditStyleController).
class NonVisualComponent : public QObject, public Component
{
public:
    QObject* object() override { return this; }
};

class TDataSource : public NonVisualComponent
{
    Q_OBJECT
public:
    // The dataset as named in the stream ("DM.GRQuery") and its object.
    QString dataSetName() const { return referenceName("DataSet"); }
    QObject* dataSet() const { return reference("DataSet"); }
};

class TPanel : public QFrame, public Control
{
public:
    TPanel();
    void applyProperty(const QString& name, const StreamValue& value) override;

protected:
    void setCaption(const QString& caption) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void updateFrame();
    QString m_caption;
    Qt::Alignment m_alignment = Qt::AlignCenter;
    QString m_bevelOuter = "bvRaised";
    QString m_bevelInner = "bvNone";
    bool m_singleBorder = false;
};

class TScrollBox : public QScrollArea, public Control
{
public:
    TScrollBox();
    QWidget* childParent() override { return m_content; }
    void applyProperty(const QString& name, const StreamValue& value) override;
    void loaded() override;

private:
    QWidget* m_content;
};

class TGroupBox : public QGroupBox, public Control
{
public:
    TGroupBox();

protected:
    void setCaption(const QString& caption) override { setTitle(caption); }
};

class TLabel : public QLabel, public Control
{
public:
    TLabel();
    void applyProperty(const QString& name, const StreamValue& value) override;

protected:
    void setCaption(const QString& caption) override { setText(caption); }

private:
    bool m_autoSize = true;
    Qt::Alignment m_horizontal = Qt::AlignLeft;
    Qt::Alignment m_vertical = Qt::AlignTop;
};

// A label that shows its field (TDBText).
class TDBText : public TLabel, public DataControl
{
};

// A picture (TImage); the data-aware pictures (TDBImage, TdxDBGraphicEdit)
// are TDBImage.
class TImage : public QLabel, public Control
{
public:
    TImage();
    void applyProperty(const QString& name, const StreamValue& value) override;
    // Shows image, fitted as Stretch, Proportional and Center say.
    void setPicture(const QImage& image);
    const QImage& picture() const { return m_picture; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void showPicture();
    QImage m_picture;
    bool m_stretch = false;
    bool m_proportional = false;
    bool m_center = false;
};

class TDBImage : public TImage, public DataControl
{
};

class TBevel : public QFrame, public Control
{
public:
    TBevel();
    void applyProperty(const QString& name, const StreamValue& value) override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_shape = "bsBox";
    bool m_raised = false;
};

// The one-line data editors: TDBEdit, TRxDBCalcEdit, TDBDateEdit, and the
// extended TdxDBEdit, TdxDBMaskEdit, TdxDBCalcEdit, TdxDBSpinEdit,
// TdxDBPopupEdit.
class DataEdit : public QLineEdit, public Control, public DataControl
{
public:
    DataEdit();
    void applyProperty(const QString& name, const StreamValue& value) override;
    // What the editor shows for its field's value as the field formats it;
    // the binding layer asks it before it sets the text.
    virtual QString displayValue(const QString& formatted) const { return formatted; }

protected:
    void setCaption(const QString& caption) override { setText(caption); }
};

// TDBCheckBox and TdxDBCheckEdit.
class DataCheckBox : public QCheckBox, public Control, public DataControl
{
public:
    DataCheckBox();
    void applyProperty(const QString& name, const StreamValue& value) override;

protected:
    void setCaption(const QString& caption) override { setText(caption); }
};

// TDBMemo and TdxDBMemo.
class DataMemo : public QPlainTextEdit, public Control, public DataControl
{
public:
    DataMemo();
    void applyProperty(const QString& name, const StreamValue& value) override;

protected:
    void setCaption(const QString& caption) override { setPlainText(caption); }
};

// The list editors: TDBComboBox, TDBLookupComboBox and the extended
// TdxDBPickEdit, TdxDBMRUEdit, TdxDBLookupEdit, TdxDBImageEdit.
class DataComboBox : public QComboBox, public Control, public DataControl
{
public:
    // editable: text may be typed besides choosing from the list.
    explicit DataComboBox(bool editable);
    void applyProperty(const QString& name, const StreamValue& value) override;

protected:
    void setCaption(const QString& caption) override;
};

// The record navigator: one tool button per visible button.
class TDBNavigator : public QWidget, public Control, public DataSourceLink
{
public:
    TDBNavigator();
    void applyProperty(const QString& name, const StreamValue& value) override;
    // The buttons in order: nbFirst ... nbRefresh.
    QList<QToolButton*> buttons() const { return m_buttons; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layoutButtons();
    QList<QToolButton*> m_buttons;
};

// A column of a grid: the extended grid's column components (TdxDBTreeListColumn
// and the program's column classes) and the items of a standard grid's
// Columns collection.
class GridColumn : public QObject, public Component
{
    Q_OBJECT
public:
    QObject* object() override { return this; }
    void applyProperty(const QString& name, const StreamValue& value) override;

    const QString& fieldName() const { return m_fieldName; }
    const QString& caption() const { return m_caption; }
    int width() const { return m_width; }
    bool isVisible() const { return m_visible; }
    // Shows or hides the column (the binding layer follows its field's
    // visibility); the grid applies it at its next applyColumns.
    void setVisible(bool visible) { m_visible = visible; }
    Qt::Alignment alignment() const { return m_alignment; }

    // The text a cell of this column shows for the cell's text.
    virtual QString cellText(const QString& text) const { return text; }

private:
    QString m_fieldName;
    QString m_caption;
    int m_width = 64;
    bool m_visible = true;
    Qt::Alignment m_alignment = Qt::AlignLeft;
};

// The data grids: TDBGrid (columns in its Columns collection), TdxDBGrid and
// TUGrid (columns as child components). The headers show the columns'
// captions (their field names when a caption is empty), with or without a
// record model; the binding layer gives the grid a model whose column i is
// grid column i. Rows go through a sorting proxy, so a header click sorts
// whatever the model holds when sorting is on; rows keep the model's order
// until then.
class DataGrid : public QTableView, public Control, public DataSourceLink
{
    Q_OBJECT
public:
    DataGrid();
    void applyProperty(const QString& name, const StreamValue& value) override;
    void addChild(Component& child) override;
    void loaded() override;

    const QList<GridColumn*>& columns() const { return m_columns; }
    // Shows model's rows (null: the headers only). The grid does not own it.
    void setRecordModel(QAbstractItemModel* model);
    QAbstractItemModel* recordModel() const;
    // Sorting by a click on a column header.
    void setAutoSort(bool on);
    // Applies the columns' captions, widths and visibility to the view.
    void applyColumns();

    // The background of a cell in row (0-based over the shown rows), or
    // nullopt for the normal one. Plain grids stripe nothing.
    virtual std::optional<QColor> rowBackground(int row, bool selected) const;

private:
    void applyOptions(const QString& name, const QStringList& members);
    QList<GridColumn*> m_columns;
    QStandardItemModel m_headers;
    QSortFilterProxyModel* m_rows;
};

} // namespace editing

#include "DataControls.h"

#include "ComponentRegistry.h"
#include "DMUnit.h"
#include "DataSetModel.h"
#include "DataSource.h"
#include "Error.h"
#include "FormBinding.h"
#include "MagCtrls.h"
#include "Messages.h"
#include "PicDialogUnit.h"

#include <QAbstractButton>
#include <QHeaderView>
#include <QKeyEvent>
#include <QSet>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace editing
{

using platform::DataSet;
using platform::DataSource;
using platform::Field;
using platform::FieldType;

namespace
{

// The role by which grids sort: the field's own value, not its text.
constexpr int kSortRole = Qt::UserRole + 1;
// How a field shows a date-time without a display format of its own.
constexpr char kDefaultDateTimeFormat[] = "dd.MM.yyyy hh:mm:ss";
constexpr char kDefaultDateFormat[] = "dd.MM.yyyy";
constexpr char kInvalidDate[] = "'%1' is not a valid date";
constexpr char kInvalidTime[] = "'%1' is not a valid time";
// A two-digit year lies within the 80 years before the current one and the
// 19 after it.
constexpr int kTwoDigitYearsBack = 80;
// A check box's field texts when ValueChecked and ValueUnchecked are not set.
constexpr char kCheckedText[] = "True";
constexpr char kUncheckedText[] = "False";
// The chooser holder's tree list.
constexpr char kChooserColumn[] = "Наименование";
constexpr QSize kChooserSize(315, 283);
// The grouping panel: two header rows high.
constexpr int kGroupPanelRows = 2;

void ShowFailure(const std::exception& e)
{
    platform::ShowPlain(platform::ErrorText(e));
}

// Runs an action of a control's event; its failure goes to the error box
// rather than into the event loop.
template <class F> void Guarded(F&& action)
{
    try {
        action();
    } catch (const std::exception& e) {
        ShowFailure(e);
    }
}

bool IsEditing(const DataSet& ds)
{
    return ds.state() == platform::DataSetState::Edit ||
           ds.state() == platform::DataSetState::Insert;
}

bool BooleanProperty(const Component& c, const char* name)
{
    const StreamValue* v = c.propertyValue(QLatin1String(name));
    return v && BooleanValue(*v);
}

// ---- following a data source

// Follows the platform data source of a control: reports every change of
// its dataset (opened, closed, replaced, the cursor, a state or a field) and
// the disposal of the source.
class SourceLink : public QObject
{
public:
    SourceLink(DataSourceLink& link, std::function<void()> changed)
        : m_link(link), m_changed(std::move(changed))
    {
    }

    // The link's data source or data field changed.
    void attach()
    {
        auto* source = qobject_cast<DataSource*>(m_link.dataSource());
        const bool had = m_source;
        if (source != m_source) {
            if (m_source)
                disconnect(m_source, nullptr, this, nullptr);
            m_source = source;
            if (source)
                connectTo(*source);
        }
        if (source || had)
            m_changed();
    }

    DataSet* dataSet() const { return m_source ? m_source->dataSet() : nullptr; }

private:
    void connectTo(DataSource& source)
    {
        auto changed = [this] { m_changed(); };
        connect(&source, &DataSource::dataSetReplaced, this, changed);
        connect(&source, &DataSource::dataSetChanged, this, changed);
        connect(&source, &DataSource::recordChanged, this, changed);
        connect(&source, &DataSource::stateChanged, this, changed);
        connect(&source, &DataSource::fieldChanged, this, changed);
        connect(&source, &QObject::destroyed, this, changed);
    }

    DataSourceLink& m_link;
    std::function<void()> m_changed;
    QPointer<DataSource> m_source;
};

// The field a data control names, in the open dataset of its source.
Field* FieldOf(const SourceLink& link, const DataControl& control)
{
    DataSet* ds = link.dataSet();
    if (!ds || !ds->active() || control.dataField().isEmpty())
        return nullptr;
    return ds->findField(control.dataField());
}

bool CanWrite(const Field* f)
{
    return f && !f->readOnly() && !f->dataSet()->readOnly();
}

// Writes the value that value() gives into the field, putting its dataset
// into edit state first. A field that may not be written is left alone; a
// refused value is shown in the error box and the field keeps its value.
template <class F> void WriteField(Field* f, F&& value)
{
    if (!CanWrite(f))
        return;
    Guarded([&] {
        const QVariant v = value();
        DataSet* ds = f->dataSet();
        if (!IsEditing(*ds))
            ds->edit();
        f->setValue(v);
    });
}

// ---- the text of date-time fields

// Which part of a field's text an editor shows: the whole text, or the date
// (before the first blank) or the time (between the first and second blank)
// of a date-time.
enum class Piece { Whole, Date, Time };

QString PieceOf(const QString& text, Piece piece)
{
    switch (piece) {
    case Piece::Date:
        return text.section(u' ', 0, 0);
    case Piece::Time:
        return text.section(u' ', 1, 1);
    case Piece::Whole:
        break;
    }
    return text;
}

QString DisplayFormatOf(const Field& f)
{
    if (!f.displayFormat().isEmpty())
        return f.displayFormat();
    return QString::fromLatin1(f.type() == FieldType::Date ? kDefaultDateFormat
                                                           : kDefaultDateTimeFormat);
}

// A date read with a two-digit year format, moved into its century window.
QDate WithCentury(QDate date, const QString& format)
{
    if (!date.isValid() || format.contains(QLatin1String("yyyy")) ||
        !format.contains(QLatin1String("yy")))
        return date;
    const int earliest = QDate::currentDate().year() - kTwoDigitYearsBack;
    while (date.year() < earliest)
        date = date.addYears(100);
    return date;
}

// The value of what the user typed into an editor of a field. An empty text
// is NULL (for the time part: midnight of the field's date). Date-times are
// read in the field's display format; the date part keeps the field's time
// and the time part its date (today's for an empty field). Failure:
// platform::Error for a date or time part that does not read.
QVariant ParseFieldText(const Field& f, const QString& text, Piece piece)
{
    const QString t = text.trimmed();
    if (!platform::IsDateTimeType(f.type()))
        return t.isEmpty() ? QVariant() : QVariant(text);
    const QDateTime old = f.asDateTime();
    if (t.isEmpty())
        return piece == Piece::Time && old.isValid() ? QVariant(QDateTime(old.date(), QTime(0, 0)))
                                                     : QVariant();
    const QString format = PieceOf(DisplayFormatOf(f), piece);
    switch (piece) {
    case Piece::Date: {
        const QDate date = WithCentury(QDate::fromString(t, format), format);
        if (!date.isValid())
            throw platform::Error(QString::fromLatin1(kInvalidDate).arg(t));
        return QDateTime(date, old.isValid() ? old.time() : QTime(0, 0));
    }
    case Piece::Time: {
        const QTime time = QTime::fromString(t, format);
        if (!time.isValid())
            throw platform::Error(QString::fromLatin1(kInvalidTime).arg(t));
        return QDateTime(old.isValid() ? old.date() : QDate::currentDate(), time);
    }
    case Piece::Whole:
        break;
    }
    const QDateTime dt = QDateTime::fromString(t, format);
    // Text in another form goes to the field, which reads the fixed forms or
    // refuses it with its own message.
    return dt.isValid() ? QVariant(QDateTime(WithCentury(dt.date(), format), dt.time()))
                        : QVariant(t);
}

// The result texts of a lookup field's list, in list order.
QStringList LookupChoices(const Field& f)
{
    const Field::Lookup& lookup = f.lookup();
    const DataSet* list = lookup.dataSet;
    const Field* result = list && list->active() ? list->findField(lookup.resultField) : nullptr;
    if (!result || result->slot() < 0)
        return {};
    QStringList choices;
    for (int i = 0; i < list->rowCount(); ++i)
        choices.append(list->row(i)[size_t(result->slot())].toString());
    return choices;
}

// ---- data-aware controls

// What every data-aware control shares: the link to its field, the field's
// visibility, and a refresh whenever the field or the row may have changed.
template <class Base> class Bound : public Base
{
public:
    template <class... Args>
    explicit Bound(Args&&... args)
        : Base(std::forward<Args>(args)...), m_link(*this, [this] { refresh(); })
    {
    }
    void dataBindingChanged() override { m_link.attach(); }

protected:
    Field* boundField() const { return FieldOf(m_link, *this); }
    // Shows the field's value (none: the control's field is not there).
    virtual void showField(Field* f) = 0;
    void refresh()
    {
        Field* f = boundField();
        if (f)
            this->setVisible(f->visible());
        showField(f);
    }
    bool readOnlyFor(const Field* f) const
    {
        return BooleanProperty(*this, "ReadOnly") || !CanWrite(f);
    }

    SourceLink m_link;
};

// The one-line editors; the date and time editors show and change one part
// of a date-time.
template <class Base, Piece P> class BoundEdit : public Bound<Base>
{
public:
    BoundEdit()
    {
        QObject::connect(this, &QLineEdit::editingFinished, &this->m_link, [this] { store(); });
    }

protected:
    void showField(Field* f) override
    {
        this->setReadOnly(this->readOnlyFor(f));
        QString text;
        if (f)
            text = P == Piece::Whole ? this->displayValue(f->displayText())
                                     : PieceOf(f->displayText(), P);
        this->setText(text);
        this->setModified(false);
    }

private:
    void store()
    {
        if (!this->isModified())
            return;
        this->setModified(false);
        Field* f = this->boundField();
        const QString text = this->text();
        WriteField(f, [&] { return ParseFieldText(*f, text, P); });
        this->refresh();
    }
};

// Memos keep line breaks as CR LF in their field.
class BoundMemo : public Bound<DataMemo>
{
protected:
    void showField(Field* f) override
    {
        setReadOnly(readOnlyFor(f));
        QString text = f ? f->asString() : QString();
        text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        if (toPlainText() != text)
            setPlainText(text);
        document()->setModified(false);
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        DataMemo::focusOutEvent(event);
        if (!document()->isModified())
            return;
        document()->setModified(false);
        Field* f = boundField();
        QString text = toPlainText();
        text.replace(QLatin1String("\n"), QLatin1String("\r\n"));
        WriteField(f, [&] { return text.isEmpty() ? QVariant() : QVariant(text); });
        refresh();
    }
};

// Check boxes: a Boolean field, or a field holding ValueChecked or
// ValueUnchecked.
class BoundCheckBox : public Bound<DataCheckBox>
{
public:
    BoundCheckBox()
    {
        connect(this, &QCheckBox::clicked, &m_link, [this](bool checked) { store(checked); });
    }

protected:
    void showField(Field* f) override
    {
        const bool checked =
            f && (f->type() == FieldType::Boolean
                      ? f->value().toBool()
                      : f->asString().compare(valueText(true), Qt::CaseInsensitive) == 0);
        setChecked(checked);
    }

private:
    QString valueText(bool checked) const
    {
        const StreamValue* v =
            propertyValue(QLatin1String(checked ? "ValueChecked" : "ValueUnchecked"));
        return v ? TextValue(*v) : QString::fromLatin1(checked ? kCheckedText : kUncheckedText);
    }
    void store(bool checked)
    {
        Field* f = boundField();
        WriteField(f, [&] {
            return f->type() == FieldType::Boolean ? QVariant(checked)
                                                   : QVariant(valueText(checked));
        });
        refresh();
    }
};

// List editors; one over a lookup field lists the lookup's results and
// writes the chosen one (the lookup field sets its key field).
class BoundComboBox : public Bound<DataComboBox>
{
public:
    explicit BoundComboBox(bool editable) : Bound<DataComboBox>(editable)
    {
        connect(this, &QComboBox::activated, &m_link, [this](int) { store(); });
    }
    void showPopup() override
    {
        if (m_link.dataSet() && !CanWrite(boundField()))
            return;
        DataComboBox::showPopup();
    }

protected:
    void showField(Field* f) override
    {
        if (f && f->isLookup())
            fillChoices(LookupChoices(*f));
        if (isEditable())
            lineEdit()->setReadOnly(readOnlyFor(f));
        m_shown = f ? f->displayText() : QString();
        setCaption(m_shown);
    }
    void focusOutEvent(QFocusEvent* event) override
    {
        DataComboBox::focusOutEvent(event);
        if (isEditable())
            store();
    }

private:
    void fillChoices(const QStringList& choices)
    {
        if (choices == m_choices)
            return;
        m_choices = choices;
        clear();
        addItems(choices);
    }
    void store()
    {
        const QString text = currentText();
        if (text == m_shown)
            return;
        Field* f = boundField();
        WriteField(f, [&] { return text.isEmpty() ? QVariant() : QVariant(text); });
        refresh();
    }

    QStringList m_choices;
    QString m_shown;
};

class BoundImage : public Bound<TDBImage>
{
protected:
    void showField(Field* f) override
    {
        setPicture(f ? PictureImage(f->value().toByteArray()) : QImage());
    }
};

class BoundText : public Bound<TDBText>
{
protected:
    void showField(Field* f) override { setText(f ? f->displayText() : QString()); }
};

// The equipment chooser shows its lookup field's text (the equipment's full
// description); choosing goes through the drop-down and close-up actions.
class BoundEQRefCombo : public Bound<TEQRefCombo>
{
protected:
    void showField(Field* f) override { setText(f ? f->displayText() : QString()); }
};

// ---- grids

// The rows of a grid's dataset as DataSetModel shows them, in the grid's
// columns: column i shows the field that grid column i names (nothing when
// the dataset has no visible field of that name). A grid without columns
// shows every visible field. kSortRole gives the field's own value.
class GridModel : public QAbstractTableModel
{
public:
    GridModel(const DataGrid& grid, QObject* parent) : QAbstractTableModel(parent), m_grid(grid)
    {
        connect(&m_source, &QAbstractItemModel::modelAboutToBeReset, this,
                &GridModel::beginResetModel);
        connect(&m_source, &QAbstractItemModel::modelReset, this, [this] {
            remap();
            endResetModel();
        });
        connect(&m_source, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& from, const QModelIndex& to) {
                    if (columnCount() > 0)
                        emit dataChanged(index(from.row(), 0), index(to.row(), columnCount() - 1));
                });
    }

    DataSet* dataSet() const { return m_source.dataSet(); }
    void setDataSet(DataSet* ds) { m_source.setDataSet(ds); }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : m_source.rowCount();
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_columns.size());
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        const int column = index.isValid() ? m_columns[size_t(index.column())] : -1;
        if (column < 0)
            return {};
        if (role == kSortRole) {
            const Field* f = m_source.fieldAt(column);
            return f && dataSet() ? dataSet()->valueAt(index.row(), f) : QVariant();
        }
        return m_source.data(m_source.index(index.row(), column), role);
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation == Qt::Horizontal && section >= 0 && section < columnCount() &&
            m_columns[size_t(section)] >= 0)
            return m_source.headerData(m_columns[size_t(section)], orientation, role);
        return QAbstractTableModel::headerData(section, orientation, role);
    }

private:
    void remap()
    {
        m_columns.clear();
        if (m_grid.columns().isEmpty()) {
            for (int c = 0; c < m_source.columnCount(); ++c)
                m_columns.push_back(c);
            return;
        }
        for (const GridColumn* column : m_grid.columns()) {
            int found = -1;
            for (int c = 0; c < m_source.columnCount() && found < 0; ++c)
                if (m_source.fieldAt(c)->name().compare(column->fieldName(), Qt::CaseInsensitive) ==
                    0)
                    found = c;
            m_columns.push_back(found);
        }
    }

    const DataGrid& m_grid;
    platform::DataSetModel m_source;
    std::vector<int> m_columns; // the source column of each column, -1 for none
};

// The data grids: the dataset in the grid's columns, the cursor following
// the selection and the selection following the cursor, columns following
// their fields' visibility, and, for extended grids with ShowGroupPanel, the
// grouping panel with its prompt above the headers.
template <class Base> class BoundGrid : public Base
{
public:
    BoundGrid() : m_link(*this, [this] { follow(); })
    {
        QObject::connect(this->selectionModel(), &QItemSelectionModel::currentRowChanged, &m_link,
                         [this](const QModelIndex& current) { moveCursor(current); });
    }
    void dataBindingChanged() override { m_link.attach(); }
    void loaded() override
    {
        Base::loaded();
        if (BooleanProperty(*this, "ShowGroupPanel"))
            showGroupPanel();
    }

protected:
    void updateGeometries() override
    {
        if (!m_groupPanel) {
            Base::updateGeometries();
            return;
        }
        // Setting the margins resizes the viewport, which asks for the
        // geometry again; that nested request is what is being done here.
        if (m_placing)
            return;
        m_placing = true;
        Base::updateGeometries();
        const QMargins headers = this->viewportMargins();
        const int panel = kGroupPanelRows * this->fontMetrics().height() + 8;
        this->setViewportMargins(headers.left(), headers.top() + panel, headers.right(),
                                 headers.bottom());
        const QRect vg = this->viewport()->geometry();
        if (!this->horizontalHeader()->isHidden())
            this->horizontalHeader()->setGeometry(vg.left(), vg.top() - headers.top(), vg.width(),
                                                  headers.top());
        if (!this->verticalHeader()->isHidden())
            this->verticalHeader()->setGeometry(vg.left() - headers.left(), vg.top(),
                                                headers.left(), vg.height());
        if (auto* corner =
                this->template findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly))
            corner->setGeometry(vg.left() - headers.left(), vg.top() - headers.top(),
                                headers.left(), headers.top());
        const QRect inner = this->contentsRect();
        m_groupPanel->setGeometry(inner.left(), inner.top(), inner.width(), panel);
        m_placing = false;
    }

private:
    QSortFilterProxyModel* rows() const
    {
        return static_cast<QSortFilterProxyModel*>(this->model());
    }

    void follow()
    {
        DataSet* ds = m_link.dataSet();
        if (!m_model) {
            if (!ds)
                return;
            m_model = new GridModel(*this, this);
            this->setRecordModel(m_model);
            rows()->setSortRole(kSortRole);
            QObject::connect(m_model, &QAbstractItemModel::modelReset, &m_link,
                             [this] { modelReset(); });
        }
        if (m_model->dataSet() != ds)
            m_model->setDataSet(ds);
        selectCurrent();
    }

    void modelReset()
    {
        const DataSet* ds = m_model->dataSet();
        if (ds && ds->active())
            for (GridColumn* column : this->columns())
                if (const Field* f = ds->findField(column->fieldName()))
                    column->setVisible(f->visible());
        this->applyColumns();
        selectCurrent();
    }

    void selectCurrent()
    {
        const DataSet* ds = m_model ? m_model->dataSet() : nullptr;
        if (!ds || !ds->active() || ds->recNo() < 0 || m_model->columnCount() == 0)
            return;
        const QModelIndex shown = rows()->mapFromSource(m_model->index(ds->recNo(), 0));
        if (!shown.isValid() || shown.row() == this->currentIndex().row())
            return;
        m_syncing = true;
        this->selectionModel()->setCurrentIndex(shown, QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
        this->scrollTo(shown);
        m_syncing = false;
    }

    void moveCursor(const QModelIndex& current)
    {
        DataSet* ds = m_model ? m_model->dataSet() : nullptr;
        if (m_syncing || !ds || !ds->active())
            return;
        const int row = rows()->mapToSource(current).row();
        if (row >= 0 && row != ds->recNo())
            Guarded([&] { ds->setRecNo(row); });
    }

    void showGroupPanel()
    {
        m_groupPanel = new QLabel(QStringLiteral(" ") + QString::fromUtf8(kGroupPanelPrompt), this);
        m_groupPanel->setAutoFillBackground(true);
        QPalette palette = m_groupPanel->palette();
        const StreamValue* color = this->propertyValue(QStringLiteral("GroupPanelColor"));
        const StreamValue* text = this->propertyValue(QStringLiteral("GroupPanelFontColor"));
        palette.setColor(QPalette::Window,
                         color ? ColorValue(*color) : palette.color(QPalette::Dark));
        palette.setColor(QPalette::WindowText,
                         text ? ColorValue(*text) : palette.color(QPalette::Light));
        m_groupPanel->setPalette(palette);
        m_groupPanel->show();
        this->updateGeometries();
    }

    SourceLink m_link;
    GridModel* m_model = nullptr;
    QLabel* m_groupPanel = nullptr;
    bool m_syncing = false;
    bool m_placing = false;
};

// ---- the equipment chooser's drop-down

class ChooserModel : public catalogue::TreeModel
{
public:
    using TreeModel::TreeModel;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return QString::fromUtf8(kChooserColumn);
        return TreeModel::headerData(section, orientation, role);
    }
};

// The drop-down window of one combo: the chooser holder's tree in a popup
// with a panel border. Closing it by choosing marks the choice accepted.
class ChooserPopup : public QFrame
{
public:
    explicit ChooserPopup(TEQRefCombo& combo)
        : QFrame(&combo, Qt::Popup), m_combo(combo), m_view(new QTreeView(this))
    {
        setFrameStyle(QFrame::Panel | QFrame::Raised);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(frameWidth(), frameWidth(), frameWidth(), frameWidth());
        layout->addWidget(m_view);
        m_view->setExpandsOnDoubleClick(false);
        m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        connect(m_view, &QTreeView::doubleClicked, this, &ChooserPopup::choose);
        resize(kChooserSize);
    }

    QTreeView* view() const { return m_view; }
    catalogue::EquipmentTree* tree() const { return m_tree; }

    void setTree(catalogue::EquipmentTree& tree)
    {
        if (m_tree == &tree)
            return;
        m_tree = &tree;
        delete m_model;
        m_model = new ChooserModel(&tree, 1, this);
        m_view->setModel(m_model);
    }

    // Selects node (none: the selection stays) and scrolls it into view.
    void select(const catalogue::TreeNode* node)
    {
        const QModelIndex index = node ? m_model->indexOf(node) : QModelIndex();
        if (!index.isValid())
            return;
        m_view->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
        m_view->scrollTo(index);
    }

    // The first selected node in tree order, or none.
    catalogue::TreeNode* firstSelected() const
    {
        QSet<const catalogue::TreeNode*> chosen;
        for (const QModelIndex& index : m_view->selectionModel()->selectedRows())
            chosen.insert(m_model->node(index));
        for (catalogue::TreeNode* n = m_tree ? m_tree->first() : nullptr; n; n = n->next())
            if (chosen.contains(n))
                return n;
        return nullptr;
    }

    bool takeAccepted() { return std::exchange(m_accepted, false); }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            choose();
        else
            QFrame::keyPressEvent(event);
    }

private:
    void choose()
    {
        m_accepted = true;
        m_combo.hidePopup();
        hide();
    }

    TEQRefCombo& m_combo;
    QTreeView* m_view;
    catalogue::EquipmentTree* m_tree = nullptr;
    ChooserModel* m_model = nullptr;
    bool m_accepted = false;
};

ChooserPopup* PopupOf(const TEQRefCombo& combo)
{
    for (QObject* child : combo.children())
        if (auto* popup = dynamic_cast<ChooserPopup*>(child))
            return popup;
    return nullptr;
}

// The field that the chooser writes: the key field of the combo's lookup
// field, or the field itself; none without a data source.
Field* ChooserKeyField(const TEQRefCombo& combo)
{
    const auto* source = qobject_cast<const DataSource*>(combo.dataSource());
    DataSet* ds = source ? source->dataSet() : nullptr;
    Field* f = ds && ds->active() ? ds->findField(combo.dataField()) : nullptr;
    return f && f->isLookup() ? ds->findField(f->lookup().keyField) : f;
}

// Makes the object of a data-aware class.
template <class T, class... Args> ComponentFactory Make(Args... args)
{
    return [=] { return new T(args...); };
}

// Restores a dataset's read-only state when the scope ends.
class ReadOnlyScope
{
public:
    explicit ReadOnlyScope(DataSet& ds) : m_ds(ds), m_was(ds.readOnly()) { ds.setReadOnly(true); }
    ~ReadOnlyScope() { m_ds.setReadOnly(m_was); }
    ReadOnlyScope(const ReadOnlyScope&) = delete;
    ReadOnlyScope& operator=(const ReadOnlyScope&) = delete;

private:
    DataSet& m_ds;
    bool m_was;
};

} // namespace

void InstallDataControls()
{
    struct Entry {
        const char* className;
        ComponentFactory factory;
    };
    const Entry entries[] = {
        {"TDBEdit", Make<BoundEdit<DataEdit, Piece::Whole>>()},
        {"TRxDBCalcEdit", Make<BoundEdit<DataEdit, Piece::Whole>>()},
        {"TDBDateEdit", Make<BoundEdit<DataEdit, Piece::Date>>()},
        {"TdxDBEdit", Make<BoundEdit<DataEdit, Piece::Whole>>()},
        {"TdxDBMaskEdit", Make<BoundEdit<DataEdit, Piece::Whole>>()},
        {"TdxDBSpinEdit", Make<BoundEdit<DataEdit, Piece::Whole>>()},
        {"TdxDBCalcEdit", Make<BoundEdit<DataEdit, Piece::Whole>>()},
        {"TdxDBPopupEdit", Make<BoundEdit<DataEdit, Piece::Whole>>()},
        {"TdxDBDateEditEx", Make<BoundEdit<TdxDBDateEditEx, Piece::Date>>()},
        {"TdxDBTimeEditEx", Make<BoundEdit<TdxDBTimeEditEx, Piece::Time>>()},
        {"TDBCheckBox", Make<BoundCheckBox>()},
        {"TdxDBCheckEdit", Make<BoundCheckBox>()},
        {"TDBMemo", Make<BoundMemo>()},
        {"TdxDBMemo", Make<BoundMemo>()},
        {"TDBComboBox", Make<BoundComboBox>(true)},
        {"TdxDBMRUEdit", Make<BoundComboBox>(true)},
        {"TdxDBPickEdit", Make<BoundComboBox>(true)},
        {"TDBLookupComboBox", Make<BoundComboBox>(false)},
        {"TdxDBImageEdit", Make<BoundComboBox>(false)},
        {"TdxDBLookupEdit", Make<BoundComboBox>(false)},
        {"TDBImage", Make<BoundImage>()},
        {"TdxDBGraphicEdit", Make<BoundImage>()},
        {"TDBText", Make<BoundText>()},
        {"TEQRefCombo", Make<BoundEQRefCombo>()},
        {"TDBGrid", Make<BoundGrid<DataGrid>>()},
        {"TdxDBGrid", Make<BoundGrid<DataGrid>>()},
        {"TUGrid", Make<BoundGrid<TUGrid>>()},
    };
    for (const Entry& e : entries)
        ReplaceComponentFactory(QString::fromLatin1(e.className), e.factory);

    TOKButton::saveRecord = SaveRecord;
    TSignButton::showSignatures = ShowRecordSignatures;
    TPicButton::editPicture = [](TPicButton& b) { Guarded([&] { EditPicture(b); }); };
    TUGrid::openRecord = [](TUGrid& g) { Guarded([&] { OpenGridRecord(g); }); };
    TEQRefCombo::dropDown = [](TEQRefCombo& c) { Guarded([&] { DropDownChooser(c); }); };
    TEQRefCombo::closeUp = [](TEQRefCombo& c) { Guarded([&] { CloseUpChooser(c); }); };
}

void SaveRecord(TOKButton& sender)
{
    const FormContext* context = FormContextOf(&sender);
    if (context && context->dm)
        context->dm->UsrModify();
}

void ShowRecordSignatures(TSignButton& sender)
{
    const FormContext* context = FormContextOf(&sender);
    if (!context || !context->showSignatures)
        return;
    const DataSet* ds = FormDataSetOf(&sender);
    const Field* recId = ds ? ds->findField(QStringLiteral("RECID")) : nullptr;
    const int id = recId && !recId->isNull() ? int(recId->asInteger()) : 0;
    context->showSignatures(id, database::LogOn().CurrentUID);
}

void EditPicture(TPicButton& sender)
{
    DataSet* ds = FormDataSetOf(&sender);
    if (!ds || !ds->active())
        return;
    PictureField& picField = sender.picField();
    Field* f = ds->findField(picField.dataField());
    const bool writable = CanWrite(f) && !picField.readOnly;
    if (writable && !IsEditing(*ds))
        ds->edit();
    Picture picture = f ? Picture::fromBytes(f->value().toByteArray()) : Picture();
    TPicDialog dialog(picture, !writable, sender.window());
    if (dialog.exec() != QDialog::Accepted || !writable)
        return;
    f->setValue(picture.isEmpty() ? QVariant() : QVariant(picture.data));
    picField.picture = picture.image;
}

void OpenGridRecord(TUGrid& sender)
{
    DataSet* ds = FormDataSetOf(&sender);
    if (!ds || !ds->active() || ds->isEmpty()) {
        platform::ShowWarning(QString::fromUtf8(kNoRecords));
        return;
    }
    const FormContext* context = FormContextOf(&sender);
    if (!context || !context->editRecord)
        return;
    ReadOnlyScope viewing(*ds);
    context->editRecord(*ds);
}

void DropDownChooser(TEQRefCombo& combo)
{
    const FormContext* context = FormContextOf(&combo);
    Field* key = ChooserKeyField(combo);
    if (!context || !context->chooser || !key || key->readOnly())
        return;
    catalogue::EquipmentTree& tree = context->chooser->tree();
    ChooserPopup* popup = PopupOf(combo);
    if (!popup)
        popup = new ChooserPopup(combo);
    popup->setTree(tree);
    if (catalogue::TreeNode* node = catalogue::FindNodeByPath(tree.first(), key->asString()))
        tree.setSelected(node);
    popup->select(tree.selected());
    popup->resize(std::max(combo.width(), kChooserSize.width()), kChooserSize.height());
    popup->move(combo.mapToGlobal(QPoint(0, combo.height())));
    popup->show();
    popup->view()->setFocus();
}

void CloseUpChooser(TEQRefCombo& combo)
{
    ChooserPopup* popup = PopupOf(combo);
    if (!popup)
        return;
    const bool accepted = popup->takeAccepted();
    popup->hide();
    Field* key = ChooserKeyField(combo);
    if (!accepted || !key || !IsEditing(*key->dataSet()))
        return;
    catalogue::TreeNode* chosen = popup->firstSelected();
    combo.setFullPath(chosen ? chosen->fullPath() : QString());
    if (chosen && popup->tree())
        popup->tree()->setSelected(chosen);
    if (!combo.fullPath().isEmpty())
        key->setValue(combo.fullPath());
}

QTreeView* ChooserTreeView(const TEQRefCombo& combo)
{
    const ChooserPopup* popup = PopupOf(combo);
    return popup ? popup->view() : nullptr;
}

} // namespace editing

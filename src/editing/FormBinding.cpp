#include "FormBinding.h"

#include "ComponentControls.h"
#include "DMUnit.h"
#include "DataSource.h"
#include "Error.h"
#include "UsUnit.h"

#include <QRegularExpression>

namespace editing
{

using platform::DataSet;
using platform::DataSource;
using platform::Field;

namespace
{

constexpr int kMaxTransitions = 50;
constexpr int kMaxAllowedValues = 50;
constexpr char kFullPathField[] = "FULLPATH";
constexpr char kRecIdField[] = "RECID";
constexpr char kNullValue[] = "NULL";
constexpr char kAnyValue[] = "ALL>";
constexpr char kReadRight[] = "r";
constexpr char kWriteRight[] = "w";
// The fields that stay editable on a signed record.
constexpr char kStateField[] = "STATE";
constexpr char kStateLookupField[] = "S_STATE";
// Graphic controls: no window of their own, so the binding does not visit
// them (the data-aware label TDBText aside).
const QStringList kGraphicControls = {"TLabel", "TImage", "TBevel", "TPicButton"};
constexpr char kDataLabel[] = "TDBText";

// What a bound form keeps: the context it was bound with and its dataset.
class FormBindingState : public QObject
{
public:
    using QObject::QObject;
    FormContext context;
    QPointer<DataSet> dataSet;
};

FormBindingState* StateOfForm(const TUForm& form)
{
    for (QObject* child : form.children())
        if (auto* state = dynamic_cast<FormBindingState*>(child))
            return state;
    return nullptr;
}

FormBindingState* StateOf(const QWidget* widget)
{
    for (const QObject* o = widget; o; o = o->parent())
        if (auto* form = qobject_cast<const TUForm*>(o))
            return StateOfForm(*form);
    return nullptr;
}

// Suspends the dataset's bound controls for a scope.
class ControlsSuspended
{
public:
    explicit ControlsSuspended(DataSet& ds) : m_ds(ds) { m_ds.disableControls(); }
    ~ControlsSuspended() { m_ds.enableControls(); }
    ControlsSuspended(const ControlsSuspended&) = delete;
    ControlsSuspended& operator=(const ControlsSuspended&) = delete;

private:
    DataSet& m_ds;
};

QString ValueText(const QVariant& v)
{
    return platform::IsNullValue(v) ? QString() : v.toString();
}

// The validation hook of a field with a value rule.
void CheckAllowedValue(Field& field, const QVariant& value)
{
    const platform::DataSetState state = field.dataSet()->state();
    if (state != platform::DataSetState::Edit && state != platform::DataSetState::Insert)
        return;
    if (!IsAllowedValue(field.allowedValues, ValueText(value)))
        throw platform::Error(QString::fromUtf8(kInvalidFieldValue) + u'"' + field.displayLabel() +
                              u'"');
}

// Visibility, write permission and value rules of every field from the rights
// of the record's journal.
void ApplyFieldRights(DataSet& ds, const catalogue::TreeNode* firstTop, const QString& fullPath)
{
    for (int i = 0; i < ds.fieldCount(); ++i) {
        Field* f = ds.field(i);
        const QString key = f->isLookup() ? f->lookup().keyField : f->name();
        const QString w = catalogue::CheckRight(firstTop, fullPath, key, kWriteRight);
        const QString r = catalogue::CheckRight(firstTop, fullPath, key, kReadRight);
        f->setVisible(!r.isEmpty());
        f->setReadOnly(w.isEmpty());
        if (f->isLookup())
            continue;
        f->allowedValues.clear();
        f->setValidator({});
        const QString transitions = TransitionList(w);
        if (transitions.isEmpty())
            continue;
        f->allowedValues =
            AllowedValues(transitions, f->isNull() ? QString(kNullValue) : f->asString());
        f->setValidator(CheckAllowedValue);
    }
}

bool IsRecordSigned(const DataSet& ds, const FormContext& context)
{
    const Field* recId = ds.findField(kRecIdField);
    if (!recId || recId->isNull() || !context.dm)
        return false;
    return context.dm->RecSigned(int(recId->asInteger()));
}

bool IsGraphicControl(const Component& c)
{
    return kGraphicControls.contains(c.className()) || c.className() == kDataLabel;
}

} // namespace

void SetUDataSet(TUForm& form, DataSet* dataSet, const FormContext& context)
{
    form.setFormDataSource(nullptr);
    FormBindingState* state = StateOfForm(form);
    if (!state)
        state = new FormBindingState(&form);
    state->context = context;
    state->dataSet = dataSet;
    if (!dataSet)
        return;
    const Field* fullPath = dataSet->findField(kFullPathField);
    if (fullPath && !fullPath->isNull()) {
        ControlsSuspended suspended(*dataSet);
        ApplyFieldRights(*dataSet, context.journals ? context.journals->first() : nullptr,
                         fullPath->asString());
    }
    auto* source = new DataSource;
    source->setDataSet(dataSet);
    form.setFormDataSource(source);
    BindDataControls(&form, source, IsRecordSigned(*dataSet, context));
}

const FormContext* FormContextOf(const QWidget* widget)
{
    const FormBindingState* state = StateOf(widget);
    return state ? &state->context : nullptr;
}

DataSet* FormDataSetOf(const QWidget* widget)
{
    const FormBindingState* state = StateOf(widget);
    return state ? state->dataSet.data() : nullptr;
}

bool RecordQueryHasField(const DataSet* recordQuery, const QString& name)
{
    if (!recordQuery || !recordQuery->active())
        return false;
    for (int i = 0; i < recordQuery->fieldCount(); ++i)
        if (recordQuery->field(i)->name() == name)
            return true;
    return false;
}

void BindDataControls(QWidget* container, DataSource* source, bool recordSigned)
{
    auto* self = dynamic_cast<Control*>(container);
    QWidget* parent = self ? self->childParent() : container;
    const QObjectList children = parent->children();
    for (QObject* o : children) {
        if (!o->isWidgetType())
            continue;
        auto* child = static_cast<QWidget*>(o);
        const auto* component = dynamic_cast<const Component*>(child);
        const bool graphic = component && IsGraphicControl(*component);
        if (!graphic || component->className() == kDataLabel)
            BindDataControl(child, source, recordSigned);
        if (!graphic)
            BindDataControls(child, source, recordSigned);
    }
}

void BindDataControl(QWidget* control, DataSource* source, bool recordSigned)
{
    DataSet* ds = source ? source->dataSet() : nullptr;
    if (!ds || !ds->active())
        return;
    if (auto* grid = dynamic_cast<DataGrid*>(control)) {
        grid->setDataSource(source);
        for (GridColumn* column : grid->columns())
            if (const Field* f = ds->findField(column->fieldName()))
                column->setVisible(f->visible());
        grid->applyColumns();
        return;
    }
    auto* data = dynamic_cast<DataControl*>(control);
    if (!data)
        return;
    const QString name = data->dataField();
    if (!RecordQueryHasField(ds, name)) {
        data->setDataField(QString());
        control->setEnabled(false);
        return;
    }
    data->setDataSource(source);
    Field* f = ds->fieldByName(name);
    if (recordSigned && !f->isNull() && name != kStateField && name != kStateLookupField)
        f->setReadOnly(true);
    control->setVisible(f->visible());
}

QString TransitionList(const QString& rightsWord)
{
    static const QRegularExpression parens(QStringLiteral("[()]"));
    return rightsWord.split(parens).value(1);
}

QString AllowedValues(const QString& transitions, const QString& current)
{
    const QStringList items = transitions.split(u';');
    const QString own = current + u'>';
    for (int i = 0; i < kMaxTransitions && i < items.size() && !items[i].isEmpty(); ++i) {
        const QString& item = items[i];
        if (!item.startsWith(own) && !item.startsWith(QLatin1String(kAnyValue)))
            continue;
        const QString allowed = item.mid(item.indexOf(u'>') + 1);
        return allowed.isEmpty() ? QString(kNoTransition) : allowed;
    }
    return kNoTransition;
}

bool IsAllowedValue(const QString& allowed, const QString& text)
{
    if (text.isEmpty())
        return true;
    const QStringList values = allowed.split(u'|');
    for (int i = 0; i < kMaxAllowedValues && i < values.size() && !values[i].isEmpty(); ++i)
        if (values[i] == text)
            return true;
    return false;
}

} // namespace editing

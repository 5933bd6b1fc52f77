#include "DataSet.h"

#include "Error.h"

#include <QRegularExpression>

namespace platform
{

DataSet::DataSet(QObject* parent) : QObject(parent) {}
DataSet::~DataSet() = default;

// --- fields -------------------------------------------------------------------

void DataSet::setFieldDefs(std::vector<FieldDef> defs)
{
    for (FieldDef& d : defs)
        d.name = d.name.toUpper();
    m_fieldDefs = std::move(defs);
}

void DataSet::addFieldDef(const QString& name, FieldType type, int size, bool required)
{
    m_fieldDefs.push_back(FieldDef{name.toUpper(), type, size, required, false});
}

Field* DataSet::addField(const FieldDef& def, FieldKind kind)
{
    if (active())
        throw Error(QStringLiteral("Cannot add field '%1' to an open dataset").arg(def.name));
    if (findField(def.name))
        throw Error(QStringLiteral("Duplicate field name '%1'").arg(def.name.toUpper()));
    m_persistent = true;
    m_fields.push_back(std::make_unique<Field>(this, def, kind));
    layoutSlots();
    return m_fields.back().get();
}

void DataSet::createFieldsFromDefs()
{
    for (const FieldDef& d : m_fieldDefs)
        if (!findField(d.name))
            addField(d);
}

void DataSet::clearFields()
{
    if (active())
        throw Error(QStringLiteral("Cannot remove the fields of an open dataset"));
    m_fields.clear();
    m_persistent = false;
    m_slotCount = 0;
}

Field* DataSet::findField(const QString& name) const
{
    for (const auto& f : m_fields)
        if (f->name().compare(name, Qt::CaseInsensitive) == 0)
            return f.get();
    return nullptr;
}

Field* DataSet::fieldByName(const QString& name) const
{
    if (Field* f = findField(name))
        return f;
    const QString owner = objectName().isEmpty() ? QString() : objectName() + ": ";
    throw Error(owner + QStringLiteral("Field '%1' not found").arg(name));
}

QStringList DataSet::fieldNames() const
{
    QStringList names;
    for (const auto& f : m_fields)
        names.append(f->name());
    return names;
}

void DataSet::layoutSlots()
{
    int slot = 0;
    for (auto& f : m_fields)
        f->m_slot = f->isLookup() ? -1 : slot++;
    m_slotCount = slot;
}

std::vector<int> DataSet::bindFieldsToDefs()
{
    if (!m_persistent) {
        m_fields.clear();
        for (const FieldDef& d : m_fieldDefs)
            m_fields.push_back(std::make_unique<Field>(this, d, FieldKind::Data));
        layoutSlots();
    }
    std::vector<int> slotOfDef(m_fieldDefs.size(), -1);
    for (size_t i = 0; i < m_fieldDefs.size(); ++i) {
        Field* f = findField(m_fieldDefs[i].name);
        if (f && f->kind() == FieldKind::Data)
            slotOfDef[i] = f->slot();
    }
    for (const auto& f : m_fields) {
        if (f->kind() != FieldKind::Data)
            continue;
        const bool found =
            std::any_of(m_fieldDefs.begin(), m_fieldDefs.end(), [&](const FieldDef& d) {
                return d.name.compare(f->name(), Qt::CaseInsensitive) == 0;
            });
        if (!found)
            throw Error(QStringLiteral("Field '%1' not found").arg(f->name()));
    }
    return slotOfDef;
}

// --- life ---------------------------------------------------------------------

void DataSet::doOpen()
{
    bindFieldsToDefs();
}

void DataSet::open()
{
    if (active())
        return;
    m_rows.clear();
    doOpen();
    finishOpen();
}

void DataSet::finishOpen()
{
    for (auto& f : m_fields)
        if (f->isLookup())
            f->refreshLookupCache();
    for (Row& r : m_rows)
        computeCalcFields(r);
    m_state = DataSetState::Browse;
    m_modified = false;
    rebuildView();
    m_cursor = -1;
    first();
    notifyDataSet();
    emit stateChanged();
}

void DataSet::close()
{
    if (!active())
        return;
    doClose();
    m_rows.clear();
    m_view.clear();
    m_buffer.clear();
    m_oldRow.clear();
    m_cursor = -1;
    m_eof = m_bof = true;
    m_state = DataSetState::Inactive;
    if (!m_persistent) {
        m_fields.clear();
        m_slotCount = 0;
    }
    notifyDataSet();
    emit stateChanged();
}

void DataSet::checkActive() const
{
    if (!active())
        throw Error(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void DataSet::checkBrowse(const char* operation) const
{
    checkActive();
    if (m_state != DataSetState::Browse)
        throw Error(QStringLiteral("Cannot %1 while the dataset is being edited")
                        .arg(QLatin1String(operation)));
}

void DataSet::setState(DataSetState s)
{
    if (m_state == s)
        return;
    m_state = s;
    emit stateChanged();
}

// --- cursor -------------------------------------------------------------------

int DataSet::recordCount() const
{
    if (!active())
        return 0;
    return m_filtered ? int(m_view.size()) : int(m_rows.size());
}

int DataSet::rowIndexOf(int position) const
{
    return m_filtered ? m_view[size_t(position)] : position;
}

void DataSet::setRecNo(int index)
{
    checkActive();
    if (m_state != DataSetState::Browse)
        post();
    const int n = recordCount();
    if (n == 0) {
        m_cursor = -1;
        m_eof = m_bof = true;
    } else {
        m_cursor = std::clamp(index, 0, n - 1);
        m_eof = m_bof = false;
    }
    notifyRecord();
}

void DataSet::first()
{
    setRecNo(0);
    m_bof = true;
    m_eof = recordCount() == 0;
}

void DataSet::last()
{
    setRecNo(recordCount() - 1);
    m_eof = true;
    m_bof = recordCount() == 0;
}

void DataSet::next()
{
    checkActive();
    if (m_state != DataSetState::Browse)
        post();
    if (m_cursor + 1 < recordCount()) {
        ++m_cursor;
        m_bof = false;
        notifyRecord();
    } else {
        m_eof = true;
    }
}

void DataSet::prior()
{
    checkActive();
    if (m_state != DataSetState::Browse)
        post();
    if (m_cursor > 0) {
        --m_cursor;
        m_eof = false;
        notifyRecord();
    } else {
        m_bof = true;
    }
}

bool DataSet::locate(const QString& names, const QVariantList& values, LocateOptions options)
{
    checkActive();
    const QStringList parts = names.split(u';');
    if (parts.size() != values.size())
        throw Error(QStringLiteral("Locate needs one value for each of '%1'").arg(names));
    std::vector<Field*> fields;
    for (const QString& n : parts)
        fields.push_back(fieldByName(n.trimmed()));
    const Qt::CaseSensitivity cs =
        options.caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (int pos = 0; pos < recordCount(); ++pos) {
        const Row& r = m_rows[size_t(rowIndexOf(pos))];
        bool all = true;
        for (size_t i = 0; i < fields.size() && all; ++i) {
            const QVariant v = fields[i]->slot() >= 0 ? r[size_t(fields[i]->slot())] : QVariant();
            const QVariant& want = values[int(i)];
            if (IsNullValue(want) || IsNullValue(v)) {
                all = IsNullValue(want) && IsNullValue(v);
            } else if (IsTextType(fields[i]->type()) || want.typeId() == QMetaType::QString) {
                const QString have = v.typeId() == QMetaType::QDateTime
                                         ? DateTimeToSqlText(v.toDateTime())
                                         : v.toString();
                all = options.partialKey ? have.startsWith(want.toString(), cs)
                                         : have.compare(want.toString(), cs) == 0;
            } else {
                all = SameValue(ConvertForField(want, fields[i]->def()), v);
            }
        }
        if (all) {
            setRecNo(pos);
            return true;
        }
    }
    return false;
}

// --- filter -------------------------------------------------------------------

void DataSet::setFilter(const QString& text)
{
    // Split at "and" outside quotes; each part is NAME=value.
    std::vector<Condition> conditions;
    static const QRegularExpression cond(
        QStringLiteral(
            R"(^\s*\(?\s*([A-Za-z_][A-Za-z0-9_]*)\s*=\s*('(?:[^']|'')*'|[-+]?[0-9]+(?:\.[0-9]+)?)\s*\)?\s*(?:and\s+|$))"),
        QRegularExpression::CaseInsensitiveOption);
    QString rest = text.trimmed();
    while (!rest.isEmpty()) {
        const QRegularExpressionMatch m = cond.match(rest);
        if (!m.hasMatch())
            throw Error(QStringLiteral("Filter expression incorrectly formatted: %1").arg(text));
        QString value = m.captured(2);
        const bool isText = value.startsWith(u'\'');
        if (isText)
            value =
                value.mid(1, value.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
        conditions.push_back({m.captured(1), value, isText});
        rest = rest.mid(m.capturedLength()).trimmed();
    }
    m_filterText = text;
    m_conditions = std::move(conditions);
    if (active() && m_filtered) {
        rebuildView();
        first();
        notifyDataSet();
    }
}

void DataSet::setFiltered(bool on)
{
    if (m_filtered == on)
        return;
    m_filtered = on;
    if (active()) {
        rebuildView();
        first();
        notifyDataSet();
    }
}

bool DataSet::rowPassesFilter(const Row& r) const
{
    for (const Condition& c : m_conditions) {
        const Field* f = findField(c.field);
        if (!f || f->slot() < 0)
            throw Error(QStringLiteral("Field '%1' not found").arg(c.field));
        const QVariant& v = r[size_t(f->slot())];
        if (IsNullValue(v))
            return false;
        if (c.isText || IsTextType(f->type())) {
            if (v.toString() != c.value.toString())
                return false;
        } else if (v.toDouble() != c.value.toDouble()) {
            return false;
        }
    }
    return true;
}

void DataSet::rebuildView()
{
    m_view.clear();
    if (!m_filtered)
        return;
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (rowPassesFilter(m_rows[i]))
            m_view.push_back(int(i));
}

// --- values -------------------------------------------------------------------

QVariant DataSet::currentValue(const Field* f) const
{
    if (f->slot() < 0 || !active())
        return QVariant();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return m_buffer[size_t(f->slot())];
    if (m_cursor < 0 || m_cursor >= recordCount())
        return QVariant();
    return m_rows[size_t(rowIndexOf(m_cursor))][size_t(f->slot())];
}

QVariant DataSet::valueAt(int position, const Field* f) const
{
    if (position == m_cursor && (m_state == DataSetState::Edit || m_state == DataSetState::Insert))
        return f->value();
    if (!active() || position < 0 || position >= recordCount())
        return QVariant();
    const Row& r = m_rows[size_t(rowIndexOf(position))];
    if (f->isLookup()) {
        const Field* key = f->m_keyFieldCache;
        return key && key->slot() >= 0 ? f->lookupFor(r[size_t(key->slot())]) : QVariant();
    }
    return f->slot() >= 0 ? r[size_t(f->slot())] : QVariant();
}

void DataSet::setCurrentValue(Field* f, const QVariant& v)
{
    if (m_inCalc) {
        if (f->slot() >= 0)
            m_buffer[size_t(f->slot())] = v;
        return;
    }
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        throw Error(QStringLiteral("Dataset not in edit or insert mode"));
    if (f->isCalculated())
        throw Error(QStringLiteral("Field '%1' cannot be modified").arg(f->name()));
    m_buffer[size_t(f->slot())] = v;
    m_modified = true;
    emit fieldChanged(f);
    if (!controlsDisabled())
        emit recordChanged();
}

QVariant DataSet::oldValueOf(const Field* f) const
{
    if (f->slot() < 0 || !active())
        return QVariant();
    if (m_state == DataSetState::Edit)
        return m_oldRow[size_t(f->slot())];
    if (m_state == DataSetState::Insert)
        return QVariant();
    return currentValue(f);
}

void DataSet::computeCalcFields(Row& r)
{
    if (!m_autoCalc || !onCalcFields)
        return;
    bool any = false;
    for (const auto& f : m_fields)
        any = any || f->isCalculated();
    if (!any)
        return;
    // The handler reads and sets fields through the buffer.
    Row savedBuffer = std::move(m_buffer);
    const DataSetState savedState = m_state;
    m_buffer = r;
    m_state = DataSetState::Edit;
    m_inCalc = true;
    try {
        onCalcFields(*this);
    } catch (...) {
        m_inCalc = false;
        m_state = savedState;
        m_buffer = std::move(savedBuffer);
        throw;
    }
    m_inCalc = false;
    m_state = savedState;
    r = std::move(m_buffer);
    m_buffer = std::move(savedBuffer);
}

// --- editing ------------------------------------------------------------------

void DataSet::append()
{
    checkActive();
    if (m_readOnly)
        throw Error(QStringLiteral("Cannot modify a read-only dataset"));
    if (m_state != DataSetState::Browse)
        post();
    m_buffer.assign(size_t(m_slotCount), QVariant());
    m_oldRow.assign(size_t(m_slotCount), QVariant());
    m_insertAt = int(m_rows.size());
    m_modified = false;
    setState(DataSetState::Insert);
    notifyRecord();
}

void DataSet::insert()
{
    checkActive();
    const int at =
        (m_cursor >= 0 && m_cursor < recordCount()) ? rowIndexOf(m_cursor) : int(m_rows.size());
    append();
    m_insertAt = at;
}

void DataSet::edit()
{
    checkActive();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return;
    if (m_readOnly)
        throw Error(QStringLiteral("Cannot modify a read-only dataset"));
    if (recordCount() == 0) {
        append();
        return;
    }
    m_buffer = m_rows[size_t(rowIndexOf(m_cursor))];
    m_oldRow = m_buffer;
    m_modified = false;
    setState(DataSetState::Edit);
}

void DataSet::post()
{
    checkActive();
    if (m_state == DataSetState::Browse)
        return;
    if (beforePost)
        beforePost(*this);
    const bool inserting = m_state == DataSetState::Insert;
    writeBack(inserting ? Row() : m_oldRow, m_buffer);
    computeCalcFields(m_buffer);
    int rowIndex;
    if (inserting) {
        rowIndex = std::clamp(m_insertAt, 0, int(m_rows.size()));
        m_rows.insert(m_rows.begin() + rowIndex, std::move(m_buffer));
    } else {
        rowIndex = rowIndexOf(m_cursor);
        m_rows[size_t(rowIndex)] = std::move(m_buffer);
    }
    m_buffer.clear();
    m_oldRow.clear();
    m_modified = false;
    m_state = DataSetState::Browse;
    rebuildView();
    // Keep the cursor on the posted row when it still passes the filter.
    int position = rowIndex;
    if (m_filtered) {
        auto it = std::lower_bound(m_view.begin(), m_view.end(), rowIndex);
        position = int(it - m_view.begin());
    }
    m_cursor = std::clamp(position, recordCount() ? 0 : -1, recordCount() - 1);
    m_eof = m_bof = recordCount() == 0;
    if (inserting)
        notifyDataSet();
    else
        notifyRecord();
    emit stateChanged();
}

void DataSet::cancel()
{
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    m_buffer.clear();
    m_oldRow.clear();
    m_modified = false;
    setState(DataSetState::Browse);
    notifyRecord();
}

void DataSet::deleteRecord()
{
    checkActive();
    if (m_state == DataSetState::Insert) {
        cancel();
        return;
    }
    cancel();
    if (m_readOnly)
        throw Error(QStringLiteral("Cannot modify a read-only dataset"));
    if (recordCount() == 0)
        throw Error(QStringLiteral("Cannot perform this operation on an empty dataset"));
    const int rowIndex = rowIndexOf(m_cursor);
    writeDelete(m_rows[size_t(rowIndex)]);
    m_rows.erase(m_rows.begin() + rowIndex);
    rebuildView();
    m_cursor = std::min(m_cursor, recordCount() - 1);
    m_eof = m_bof = recordCount() == 0;
    notifyDataSet();
}

void DataSet::appendRow(Row row)
{
    checkBrowse("append a row");
    row.resize(size_t(m_slotCount));
    computeCalcFields(row);
    m_rows.push_back(std::move(row));
    if (m_filtered && rowPassesFilter(m_rows.back()))
        m_view.push_back(int(m_rows.size()) - 1);
    if (m_cursor < 0 && recordCount() > 0) {
        m_cursor = 0;
        m_eof = m_bof = false;
    }
    notifyDataSet();
}

// --- notifications ----------------------------------------------------------

void DataSet::enableControls()
{
    if (m_controlsDisabled > 0 && --m_controlsDisabled == 0)
        emit dataSetChanged();
}

void DataSet::notifyRecord()
{
    if (!controlsDisabled())
        emit recordChanged();
}

void DataSet::notifyDataSet()
{
    if (!controlsDisabled())
        emit dataSetChanged();
}

} // namespace platform

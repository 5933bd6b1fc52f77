#pragma once
// A field of a dataset: a named, typed column with its display settings. Its
// value is that of the dataset's current row (or of the edit buffer while the
// dataset is being edited).

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVariant>
#include <functional>

namespace platform
{

class DataSet;

// Field type numbers; they are also the type codes of the snapshot format.
enum class FieldType : int {
    Unknown = 0,
    String = 1,
    Smallint = 2,
    Integer = 3,
    Word = 4,
    Boolean = 5,
    Float = 6,
    Currency = 7,
    BCD = 8,
    Date = 9,
    Time = 10,
    DateTime = 11,
    Bytes = 12,
    VarBytes = 13,
    AutoInc = 14,
    Blob = 15,
    Memo = 16,
    Graphic = 17,
    FmtMemo = 18,
    ParadoxOle = 19,
    DBaseOle = 20,
    TypedBinary = 21,
    Largeint = 25,
};

bool IsBlobType(FieldType t); // blob, memo, graphic and the other long kinds
bool IsIntegerType(FieldType t);
bool IsDateTimeType(FieldType t); // date, time, date-time
bool IsTextType(FieldType t);     // string and memo kinds

// The description of a column as the server (or a snapshot) gives it.
struct FieldDef {
    QString name; // upper case
    FieldType type = FieldType::Unknown;
    int size = 0; // characters for strings, 0 where the type has no size
    bool required = false;
    bool fixedChar = false; // CHAR(n): trailing blanks are padding
};

enum class FieldKind { Data, Calculated, Lookup };

class Field
{
public:
    Field(DataSet* owner, FieldDef def, FieldKind kind);

    DataSet* dataSet() const { return m_owner; }
    const QString& name() const { return m_def.name; }
    FieldType type() const { return m_def.type; }
    int size() const { return m_def.size; }
    bool required() const { return m_def.required; }
    const FieldDef& def() const { return m_def; }
    FieldKind kind() const { return m_kind; }
    bool isLookup() const { return m_kind == FieldKind::Lookup; }
    bool isCalculated() const { return m_kind == FieldKind::Calculated; }

    QString displayLabel() const { return m_displayLabel.isEmpty() ? m_def.name : m_displayLabel; }
    void setDisplayLabel(const QString& label) { m_displayLabel = label; }
    bool visible() const { return m_visible; }
    void setVisible(bool v);
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool r);
    QString displayFormat() const { return m_displayFormat; }
    void setDisplayFormat(const QString& f) { m_displayFormat = f; }

    // Value of the current row. Reading an inactive or empty dataset gives NULL.
    QVariant value() const;
    bool isNull() const;
    QString asString() const; // NULL gives ""
    qint64 asInteger() const; // NULL gives 0; text that is no number raises
    double asFloat() const;
    QDateTime asDateTime() const;
    QString displayText() const; // as a grid shows it (display format applied)

    // Assigns a value to the edit buffer; the dataset must be in edit or insert
    // state. Runs the validation hook first; a read-only field raises.
    void setValue(const QVariant& v);
    void clear() { setValue(QVariant()); }
    // The value as it was when editing of the row began (NULL for a new row).
    QVariant oldValue() const;

    // Runs before every assignment with the new value; throws to refuse it.
    using Validator = std::function<void(Field&, const QVariant& newValue)>;
    void setValidator(Validator v) { m_validator = std::move(v); }
    bool hasValidator() const { return bool(m_validator); }
    // Per-field value rule text that the validator consults (form binding).
    QString allowedValues;

    // Lookup definition: the value is ResultField of the row of LookupDataSet
    // whose LookupKeyField equals this row's KeyField. The list is cached
    // (refreshLookupCache) when the owning dataset opens.
    struct Lookup {
        DataSet* dataSet = nullptr;
        QString keyField;
        QString lookupKeyField;
        QString resultField;
    };
    void setLookup(const Lookup& l) { m_lookup = l; }
    const Lookup& lookup() const { return m_lookup; }
    void refreshLookupCache();
    // The lookup result for a key value, from the cached list.
    QVariant lookupFor(const QVariant& key) const;

    // Index of the field's slot in a row, -1 for lookup fields.
    int slot() const { return m_slot; }

private:
    friend class DataSet;
    QVariant lookupValue() const;

    DataSet* m_owner;
    FieldDef m_def;
    FieldKind m_kind;
    QString m_displayLabel;
    QString m_displayFormat;
    bool m_visible = true;
    bool m_readOnly = false;
    int m_slot = -1;
    Validator m_validator;
    Lookup m_lookup;
    Field* m_keyFieldCache = nullptr;
    QHash<QString, QVariant> m_lookupCache;
};

// NULL is an invalid or null variant.
inline bool IsNullValue(const QVariant& v)
{
    return !v.isValid() || v.isNull();
}
// Equal values, NULL equal only to NULL.
inline bool SameValue(const QVariant& a, const QVariant& b)
{
    const bool an = IsNullValue(a), bn = IsNullValue(b);
    return an || bn ? an == bn : a == b;
}

// Converts a value to the field type's natural Qt type (text to dates, numbers
// to integers, ...). Raises platform::Error when the value does not convert.
QVariant ConvertForField(const QVariant& v, const FieldDef& def);

// The fixed text form in which date-times are bound to statements and stored
// as text: "yyyy-MM-dd hh:mm:ss.zzz", which sorts and compares as the moment.
QString DateTimeToSqlText(const QDateTime& dt);
QDateTime DateTimeFromText(const QString& text);

} // namespace platform

#include "Field.h"

#include "DataSet.h"
#include "Error.h"

#include <QLocale>

namespace platform
{

bool IsBlobType(FieldType t)
{
    switch (t) {
    case FieldType::Blob:
    case FieldType::Memo:
    case FieldType::Graphic:
    case FieldType::FmtMemo:
    case FieldType::ParadoxOle:
    case FieldType::DBaseOle:
    case FieldType::TypedBinary:
        return true;
    default:
        return false;
    }
}

bool IsIntegerType(FieldType t)
{
    return t == FieldType::Smallint || t == FieldType::Integer || t == FieldType::Word ||
           t == FieldType::AutoInc || t == FieldType::Largeint;
}

bool IsDateTimeType(FieldType t)
{
    return t == FieldType::Date || t == FieldType::Time || t == FieldType::DateTime;
}

bool IsTextType(FieldType t)
{
    return t == FieldType::String || t == FieldType::Memo || t == FieldType::FmtMemo;
}

namespace
{

int digits(const QChar* p, int n)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c - '0');
    }
    return v;
}

} // namespace

QString DateTimeToSqlText(const QDateTime& dt)
{
    return dt.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
}

QDateTime DateTimeFromText(const QString& text)
{
    // Fast path for the fixed form and its shorter variants ("yyyy-MM-dd",
    // "yyyy-MM-dd hh:mm:ss", with "T" or a blank, up to milliseconds).
    const QChar* p = text.constData();
    const int n = int(text.size());
    if (n >= 10 && p[4] == u'-' && p[7] == u'-') {
        const int y = digits(p, 4), mo = digits(p + 5, 2), d = digits(p + 8, 2);
        int h = 0, mi = 0, s = 0, ms = 0;
        bool ok = y >= 0 && mo >= 0 && d >= 0;
        if (ok && n > 10) {
            ok = n >= 16 && (p[10] == u' ' || p[10] == u'T') && p[13] == u':';
            if (ok) {
                h = digits(p + 11, 2);
                mi = digits(p + 14, 2);
                ok = h >= 0 && mi >= 0;
            }
            if (ok && n >= 19) {
                ok = p[16] == u':' && (s = digits(p + 17, 2)) >= 0;
                if (ok && n > 19) {
                    ok = p[19] == u'.' || p[19] == u',';
                    int frac = 0, scale = 0;
                    for (int i = 20; ok && i < n && scale < 3; ++i, ++scale) {
                        const int dgt = digits(p + i, 1);
                        if (dgt < 0)
                            break;
                        frac = frac * 10 + dgt;
                    }
                    while (scale > 0 && scale < 3) {
                        frac *= 10;
                        ++scale;
                    }
                    ms = frac;
                }
            } else if (ok && n != 16) {
                ok = false;
            }
        }
        if (ok) {
            const QDate date(y, mo, d);
            const QTime time(h, mi, s, ms);
            if (date.isValid() && time.isValid())
                return QDateTime(date, time);
        }
    }
    QDateTime dt = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!dt.isValid())
        dt = QDateTime::fromString(text, Qt::ISODate);
    return dt;
}

QVariant ConvertForField(const QVariant& v, const FieldDef& def)
{
    if (IsNullValue(v))
        return QVariant();
    const int id = v.typeId();
    switch (def.type) {
    case FieldType::String:
    case FieldType::Memo:
    case FieldType::FmtMemo: {
        QString s = id == QMetaType::QString      ? v.toString()
                    : id == QMetaType::QByteArray ? QString::fromUtf8(v.toByteArray())
                    : id == QMetaType::QDateTime  ? DateTimeToSqlText(v.toDateTime())
                                                  : v.toString();
        if (def.fixedChar) {
            qsizetype end = s.size();
            while (end > 0 && s[end - 1] == u' ')
                --end;
            s.truncate(end);
        }
        return s;
    }
    case FieldType::Smallint:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::AutoInc:
    case FieldType::Largeint: {
        bool ok = true;
        qlonglong n = 0;
        if (id == QMetaType::QString) {
            const QString s = v.toString().trimmed();
            n = s.toLongLong(&ok);
            if (!ok) {
                const double d = s.toDouble(&ok);
                n = qlonglong(d);
                ok = ok && double(n) == d;
            }
        } else if (id == QMetaType::Double || id == QMetaType::Float) {
            const double d = v.toDouble();
            n = qlonglong(d);
            ok = double(n) == d;
        } else {
            n = v.toLongLong(&ok);
        }
        if (!ok)
            throw Error(QStringLiteral("'%1' is not a valid integer value").arg(v.toString()));
        if (def.type == FieldType::Largeint)
            return QVariant(n);
        return QVariant(int(n));
    }
    case FieldType::Float:
    case FieldType::Currency:
    case FieldType::BCD: {
        bool ok = true;
        const double d =
            id == QMetaType::QString ? v.toString().trimmed().toDouble(&ok) : v.toDouble(&ok);
        if (!ok)
            throw Error(
                QStringLiteral("'%1' is not a valid floating point value").arg(v.toString()));
        return d;
    }
    case FieldType::Boolean: {
        if (id == QMetaType::QString) {
            const QString s = v.toString().trimmed().toLower();
            return !(s.isEmpty() || s == "0" || s == "false" || s == "f" || s == "n");
        }
        return v.toBool();
    }
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime: {
        QDateTime dt;
        if (id == QMetaType::QDateTime)
            dt = v.toDateTime();
        else if (id == QMetaType::QDate)
            dt = QDateTime(v.toDate(), QTime(0, 0));
        else if (id == QMetaType::QTime)
            dt = QDateTime(QDate(1899, 12, 30), v.toTime());
        else
            dt = DateTimeFromText(v.toString().trimmed());
        if (!dt.isValid())
            throw Error(QStringLiteral("'%1' is not a valid date and time").arg(v.toString()));
        if (dt.timeSpec() != Qt::LocalTime)
            dt = QDateTime(dt.date(), dt.time());
        return dt;
    }
    case FieldType::Blob:
    case FieldType::Graphic:
    case FieldType::Bytes:
    case FieldType::VarBytes:
    case FieldType::ParadoxOle:
    case FieldType::DBaseOle:
    case FieldType::TypedBinary:
        return id == QMetaType::QString ? QVariant(v.toString().toUtf8())
                                        : QVariant(v.toByteArray());
    case FieldType::Unknown:
        break;
    }
    return v;
}

Field::Field(DataSet* owner, FieldDef def, FieldKind kind)
    : m_owner(owner), m_def(std::move(def)), m_kind(kind)
{
    m_def.name = m_def.name.toUpper();
}

void Field::setVisible(bool v)
{
    if (m_visible == v)
        return;
    m_visible = v;
    emit m_owner->fieldChanged(this);
}

void Field::setReadOnly(bool r)
{
    if (m_readOnly == r)
        return;
    m_readOnly = r;
    emit m_owner->fieldChanged(this);
}

QVariant Field::value() const
{
    if (m_kind == FieldKind::Lookup)
        return lookupValue();
    return m_owner->currentValue(this);
}

bool Field::isNull() const
{
    return IsNullValue(value());
}

QString Field::asString() const
{
    const QVariant v = value();
    if (IsNullValue(v))
        return QString();
    if (v.typeId() == QMetaType::QDateTime)
        return displayText();
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    return v.toString();
}

qint64 Field::asInteger() const
{
    const QVariant v = value();
    if (IsNullValue(v))
        return 0;
    return ConvertForField(v, FieldDef{m_def.name, FieldType::Largeint}).toLongLong();
}

double Field::asFloat() const
{
    const QVariant v = value();
    return IsNullValue(v) ? 0.0
                          : ConvertForField(v, FieldDef{m_def.name, FieldType::Float}).toDouble();
}

QDateTime Field::asDateTime() const
{
    const QVariant v = value();
    return IsNullValue(v)
               ? QDateTime()
               : ConvertForField(v, FieldDef{m_def.name, FieldType::DateTime}).toDateTime();
}

QString Field::displayText() const
{
    const QVariant v = value();
    if (IsNullValue(v))
        return QString();
    if (v.typeId() == QMetaType::QDateTime) {
        const QDateTime dt = v.toDateTime();
        if (!m_displayFormat.isEmpty())
            return dt.toString(m_displayFormat);
        return m_def.type == FieldType::Date ? dt.date().toString(QStringLiteral("dd.MM.yyyy"))
                                             : dt.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss"));
    }
    if (v.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(v.toByteArray());
    return v.toString();
}

void Field::setValue(const QVariant& v)
{
    if (m_readOnly && !m_owner->m_inCalc)
        throw Error(QStringLiteral("Field '%1' cannot be modified").arg(m_def.name));
    if (m_validator)
        m_validator(*this, v);
    if (m_kind == FieldKind::Lookup) {
        // Choosing a result text sets the key field to the matching code.
        Field* key = m_owner->findField(m_lookup.keyField);
        if (!key)
            throw Error(QStringLiteral("Field '%1' not found").arg(m_lookup.keyField));
        if (IsNullValue(v)) {
            key->setValue(QVariant());
            return;
        }
        DataSet* ds = m_lookup.dataSet;
        Field* result = ds ? ds->findField(m_lookup.resultField) : nullptr;
        Field* lookupKey = ds ? ds->findField(m_lookup.lookupKeyField) : nullptr;
        if (!result || !lookupKey)
            throw Error(QStringLiteral("Field '%1' has no lookup list").arg(m_def.name));
        const QString wanted = v.toString();
        for (int i = 0; i < ds->rowCount(); ++i) {
            const DataSet::Row& r = ds->row(i);
            if (r[size_t(result->slot())].toString() == wanted) {
                key->setValue(r[size_t(lookupKey->slot())]);
                return;
            }
        }
        throw Error(QStringLiteral("'%1' is not a value of field '%2'").arg(wanted, m_def.name));
    }
    m_owner->setCurrentValue(this, ConvertForField(v, m_def));
}

QVariant Field::oldValue() const
{
    if (m_kind == FieldKind::Lookup)
        return QVariant();
    return m_owner->oldValueOf(this);
}

void Field::refreshLookupCache()
{
    m_lookupCache.clear();
    m_keyFieldCache = m_owner->findField(m_lookup.keyField);
    DataSet* ds = m_lookup.dataSet;
    if (!ds || !ds->active())
        return;
    const Field* key = ds->findField(m_lookup.lookupKeyField);
    const Field* result = ds->findField(m_lookup.resultField);
    if (!key || !result || key->slot() < 0 || result->slot() < 0)
        return;
    m_lookupCache.reserve(ds->rowCount());
    for (int i = 0; i < ds->rowCount(); ++i) {
        const DataSet::Row& r = ds->row(i);
        const QVariant& k = r[size_t(key->slot())];
        if (IsNullValue(k))
            continue;
        // The first row with a key wins, as a search from the top would find it.
        const QString text = k.toString();
        if (!m_lookupCache.contains(text))
            m_lookupCache.insert(text, r[size_t(result->slot())]);
    }
}

QVariant Field::lookupValue() const
{
    return m_keyFieldCache ? lookupFor(m_keyFieldCache->value()) : QVariant();
}

QVariant Field::lookupFor(const QVariant& k) const
{
    if (IsNullValue(k))
        return QVariant();
    auto it = m_lookupCache.constFind(k.toString());
    return it == m_lookupCache.constEnd() ? QVariant() : *it;
}

} // namespace platform

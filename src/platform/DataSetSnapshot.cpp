// The snapshot format of datasets (little-endian; texts are a 32-bit length and
// code page 1251 bytes):
//   "RADICAL FILE", field count, per field: name, type code (4), size (4),
//   required (1); row count; per row and field one tagged value.
// The reader never reads outside its buffer: any short or inconsistent input
// ends in "Invalid file format".

#include "DataSet.h"
#include "Error.h"
#include "TextEncoding.h"

#include <QFile>
#include <QSaveFile>
#include <QtEndian>
#include <cmath>
#include <cstring>

namespace platform
{

namespace
{

constexpr char kMagic[] = "RADICAL FILE";
constexpr int kMagicSize = 12;
const char* const kInvalidFormat = "Invalid file format";

enum Tag : quint8 {
    TagInteger = 0,
    TagText = 1,
    TagDouble = 2,
    TagCurrency = 3,
    TagBoolean = 4,
    TagArray = 5,
    TagBytes = 6,
    TagDateTime = 7,
    TagNull = 8,
};

const QDate kDayZero(1899, 12, 30);
constexpr double kMsPerDay = 86400000.0;

double toDays(const QDateTime& dt)
{
    const qint64 days = kDayZero.daysTo(dt.date());
    const double fraction = dt.time().msecsSinceStartOfDay() / kMsPerDay;
    // Before day zero the fraction still counts forward from midnight.
    return days < 0 ? double(days) - fraction : double(days) + fraction;
}

QDateTime fromDays(double v)
{
    const double whole = std::trunc(v);
    const qint64 ms = qint64(std::llround(std::fabs(v - whole) * kMsPerDay));
    QDate date = kDayZero.addDays(qint64(whole));
    if (ms >= qint64(kMsPerDay))
        return QDateTime(date.addDays(1), QTime(0, 0));
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(int(ms)));
}

class Writer
{
public:
    void raw(const char* p, qsizetype n) { m_out.append(p, n); }
    void u8(quint8 v) { m_out.append(char(v)); }
    void i32(qint32 v)
    {
        char b[4];
        qToLittleEndian(v, b);
        raw(b, 4);
    }
    void i64(qint64 v)
    {
        char b[8];
        qToLittleEndian(v, b);
        raw(b, 8);
    }
    void f64(double v)
    {
        quint64 bits;
        std::memcpy(&bits, &v, 8);
        i64(qint64(bits));
    }
    void bytes(const QByteArray& b)
    {
        i32(qint32(b.size()));
        m_out.append(b);
    }
    QByteArray take() { return std::move(m_out); }

private:
    QByteArray m_out;
};

class Reader
{
public:
    explicit Reader(const QByteArray& b) : m_data(b) {}
    qsizetype left() const { return m_data.size() - m_pos; }
    const char* take(qsizetype n)
    {
        if (n < 0 || left() < n)
            throw Error(QString::fromLatin1(kInvalidFormat));
        const char* p = m_data.constData() + m_pos;
        m_pos += n;
        return p;
    }
    quint8 u8() { return quint8(*take(1)); }
    qint32 i32() { return qFromLittleEndian<qint32>(take(4)); }
    qint64 i64() { return qFromLittleEndian<qint64>(take(8)); }
    double f64()
    {
        const quint64 bits = quint64(i64());
        double v;
        std::memcpy(&v, &bits, 8);
        return v;
    }
    QByteArray bytes()
    {
        const qint32 n = i32();
        return QByteArray(take(n), n);
    }

private:
    const QByteArray& m_data;
    qsizetype m_pos = 0;
};

int typeCode(FieldType t)
{
    const int code = int(t);
    return code >= 1 && code <= 21 ? code : 0;
}

void writeValue(Writer& w, const FieldDef& def, const QVariant& v)
{
    const bool null = !v.isValid() || v.isNull();
    if (IsBlobType(def.type) || def.type == FieldType::Bytes || def.type == FieldType::VarBytes) {
        w.u8(TagBytes);
        if (null)
            w.i32(0);
        else
            w.bytes(v.typeId() == QMetaType::QString ? ToCp1251(v.toString()) : v.toByteArray());
        return;
    }
    if (null) {
        w.u8(TagNull);
        return;
    }
    switch (def.type) {
    case FieldType::String:
        w.u8(TagText);
        w.bytes(ToCp1251(v.toString()));
        return;
    case FieldType::Smallint:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::AutoInc:
    case FieldType::Largeint:
        w.u8(TagInteger);
        w.i32(qint32(v.toLongLong()));
        return;
    case FieldType::Float:
    case FieldType::BCD:
        w.u8(TagDouble);
        w.f64(v.toDouble());
        return;
    case FieldType::Currency:
        w.u8(TagCurrency);
        w.i64(qint64(std::llround(v.toDouble() * 10000.0)));
        return;
    case FieldType::Boolean:
        w.u8(TagBoolean);
        w.u8(v.toBool() ? 1 : 0);
        return;
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime:
        w.u8(TagDateTime);
        w.f64(toDays(v.toDateTime()));
        return;
    default:
        w.u8(TagText);
        w.bytes(ToCp1251(v.toString()));
        return;
    }
}

QVariant readValue(Reader& r, const FieldDef& def, int depth)
{
    switch (r.u8()) {
    case TagInteger:
        return QVariant(int(r.i32()));
    case TagText:
        return FromCp1251(r.bytes());
    case TagDouble:
        return r.f64();
    case TagCurrency:
        return double(r.i64()) / 10000.0;
    case TagBoolean:
        return r.u8() != 0;
    case TagArray: {
        if (depth > 8)
            throw Error(QString::fromLatin1(kInvalidFormat));
        const qint32 low = r.i32(), high = r.i32();
        const qint64 count = qint64(high) - qint64(low) + 1;
        if (count < 0 || count > r.left())
            throw Error(QString::fromLatin1(kInvalidFormat));
        QVariantList items;
        for (qint64 i = 0; i < count; ++i)
            items.append(readValue(r, def, depth + 1));
        return items;
    }
    case TagBytes: {
        const QByteArray b = r.bytes();
        if (b.isEmpty())
            return QVariant();
        if (IsTextType(def.type))
            return FromCp1251(b);
        return b;
    }
    case TagDateTime: {
        const double days = r.f64();
        if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
            throw Error(QString::fromLatin1(kInvalidFormat));
        return fromDays(days);
    }
    case TagNull:
        return QVariant();
    default:
        throw Error(QString::fromLatin1(kInvalidFormat));
    }
}

} // namespace

QByteArray DataSet::saveToBytes() const
{
    std::vector<const Field*> stored;
    for (const auto& f : m_fields)
        if (f->kind() == FieldKind::Data)
            stored.push_back(f.get());
    Writer w;
    w.raw(kMagic, kMagicSize);
    w.i32(qint32(stored.size()));
    for (const Field* f : stored) {
        w.bytes(ToCp1251(f->name()));
        w.i32(typeCode(f->type()));
        w.i32(f->size());
        w.u8(f->required() ? 1 : 0);
    }
    const int rows = recordCount();
    w.i32(rows);
    for (int i = 0; i < rows; ++i)
        for (const Field* f : stored)
            writeValue(w, f->def(), valueAt(i, f));
    return w.take();
}

void DataSet::loadFromBytes(const QByteArray& bytes)
{
    close();
    Reader r(bytes);
    if (std::memcmp(r.take(kMagicSize), kMagic, kMagicSize) != 0)
        throw Error(QString::fromLatin1(kInvalidFormat));
    const qint32 fieldCount = r.i32();
    // Each description takes at least 13 bytes.
    if (fieldCount < 0 || fieldCount > r.left() / 13)
        throw Error(QString::fromLatin1(kInvalidFormat));
    std::vector<FieldDef> defs;
    for (qint32 i = 0; i < fieldCount; ++i) {
        FieldDef d;
        d.name = FromCp1251(r.bytes()).toUpper();
        d.type = FieldType(r.i32());
        d.size = r.i32();
        d.required = r.u8() != 0;
        if (d.size < 0)
            throw Error(QString::fromLatin1(kInvalidFormat));
        defs.push_back(d);
    }
    const qint32 rowCount = r.i32();
    // Each stored value takes at least its tag byte.
    if (rowCount < 0 || (fieldCount > 0 && rowCount > r.left() / fieldCount) ||
        (fieldCount == 0 && rowCount > 1))
        throw Error(QString::fromLatin1(kInvalidFormat));
    setFieldDefs(defs);
    const std::vector<int> slotOfDef = bindFieldsToDefs();
    std::vector<Row> rows;
    rows.reserve(size_t(rowCount));
    for (qint32 i = 0; i < rowCount; ++i) {
        Row row(static_cast<size_t>(slotCount()));
        for (size_t c = 0; c < defs.size(); ++c) {
            const QVariant v = readValue(r, defs[c], 0);
            if (slotOfDef[c] < 0)
                continue;
            // Texts of text fields need no conversion (the common case).
            const bool asIs = v.typeId() == QMetaType::QVariantList ||
                              (v.typeId() == QMetaType::QString && IsTextType(defs[c].type) &&
                               !defs[c].fixedChar) ||
                              !v.isValid();
            row[size_t(slotOfDef[c])] = asIs ? v : ConvertForField(v, defs[c]);
        }
        rows.push_back(std::move(row));
    }
    if (r.left() != 0)
        throw Error(QString::fromLatin1(kInvalidFormat));
    m_rows = std::move(rows);
    finishOpen();
}

void DataSet::saveToFile(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw Error(QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
    const QByteArray bytes = saveToBytes();
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw Error(QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString()));
}

void DataSet::loadFromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    loadFromBytes(file.readAll());
}

} // namespace platform

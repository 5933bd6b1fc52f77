#include "ComponentStream.h"

#include "Error.h"
#include "TextEncoding.h"

#include <QtEndian>
#include <cmath>
#include <cstring>
#include <limits>

namespace editing
{

using platform::Error;

bool StreamValue::isInteger() const
{
    return type == ValueType::Int8 || type == ValueType::Int16 || type == ValueType::Int32;
}

bool StreamValue::isString() const
{
    return type == ValueType::String || type == ValueType::LString || type == ValueType::WString ||
           type == ValueType::Utf8String;
}

StreamValue StreamValue::fromInteger(qint64 value)
{
    StreamValue v;
    v.integer = value;
    if (value >= std::numeric_limits<qint8>::min() && value <= std::numeric_limits<qint8>::max())
        v.type = ValueType::Int8;
    else if (value >= std::numeric_limits<qint16>::min() &&
             value <= std::numeric_limits<qint16>::max())
        v.type = ValueType::Int16;
    else if (value >= std::numeric_limits<qint32>::min() &&
             value <= std::numeric_limits<qint32>::max())
        v.type = ValueType::Int32;
    else
        v.type = ValueType::Int64;
    return v;
}

StreamValue StreamValue::fromText(const QString& text)
{
    StreamValue v;
    v.text = text;
    bool fitsCp1251 = true;
    for (QChar c : text)
        fitsCp1251 = fitsCp1251 && platform::Cp1251Code(c) >= 0;
    if (!fitsCp1251)
        v.type = ValueType::WString;
    else
        v.type = platform::ToCp1251(text).size() > 255 ? ValueType::LString : ValueType::String;
    return v;
}

StreamValue StreamValue::ident(const QString& name)
{
    StreamValue v;
    v.type = ValueType::Ident;
    v.text = name;
    return v;
}

StreamValue StreamValue::boolean(bool value)
{
    StreamValue v;
    v.type = value ? ValueType::True : ValueType::False;
    return v;
}

double ExtendedToDouble(const unsigned char bytes[10])
{
    const quint64 mantissa = qFromLittleEndian<quint64>(bytes);
    const quint16 signExp = qFromLittleEndian<quint16>(bytes + 8);
    const bool negative = (signExp & 0x8000) != 0;
    const int exponent = signExp & 0x7FFF;
    double result;
    if (exponent == 0x7FFF) {
        // The integer bit is ignored here; any fraction makes a NaN.
        result = (mantissa << 1) == 0 ? std::numeric_limits<double>::infinity()
                                      : std::numeric_limits<double>::quiet_NaN();
    } else {
        // value = mantissa * 2^(exponent - 16383 - 63); denormals have exponent 0
        // and count as exponent 1.
        const int e = (exponent == 0 ? 1 : exponent) - 16383 - 63;
        result = std::ldexp(static_cast<double>(mantissa), e);
    }
    return negative ? -result : result;
}

void DoubleToExtended(double value, unsigned char bytes[10])
{
    quint64 mantissa = 0;
    quint16 signExp = std::signbit(value) ? 0x8000 : 0;
    if (std::isnan(value)) {
        mantissa = 0xC000000000000000ULL;
        signExp |= 0x7FFF;
    } else if (std::isinf(value)) {
        mantissa = 0x8000000000000000ULL;
        signExp |= 0x7FFF;
    } else if (value != 0) {
        int e = 0;
        const double fraction = std::frexp(std::fabs(value), &e); // in [0.5, 1)
        // A double's 53 bits fit the 64-bit mantissa exactly.
        mantissa = static_cast<quint64>(std::ldexp(fraction, 64));
        signExp |= static_cast<quint16>(e - 1 + 16383);
    }
    qToLittleEndian(mantissa, bytes);
    qToLittleEndian(signExp, bytes + 8);
}

namespace
{

// Bounds-checked reading from a byte span at an explicit position.
class ByteReader
{
public:
    ByteReader(QByteArrayView bytes, qsizetype& pos) : m_bytes(bytes), m_pos(pos) {}

    void need(qint64 count) const
    {
        if (count < 0 || m_pos < 0 || count > m_bytes.size() - m_pos)
            throw Error(streamtext::kStreamReadError);
    }
    quint8 peek() const
    {
        need(1);
        return static_cast<quint8>(m_bytes[m_pos]);
    }
    quint8 byte()
    {
        const quint8 b = peek();
        ++m_pos;
        return b;
    }
    template <typename T> T number()
    {
        need(sizeof(T));
        const T value = qFromLittleEndian<T>(m_bytes.data() + m_pos);
        m_pos += sizeof(T);
        return value;
    }
    QByteArrayView take(qint64 count)
    {
        need(count);
        const QByteArrayView part = m_bytes.sliced(m_pos, count);
        m_pos += count;
        return part;
    }
    bool skipIfNext(QByteArrayView expected)
    {
        if (m_pos < 0 || expected.size() > m_bytes.size() - m_pos ||
            m_bytes.sliced(m_pos, expected.size()) != expected)
            return false;
        m_pos += expected.size();
        return true;
    }
    QString shortString() { return platform::FromCp1251(take(byte()).toByteArray()); }

private:
    QByteArrayView m_bytes;
    qsizetype& m_pos;
};

class StreamReader
{
public:
    StreamReader(QByteArrayView bytes, qsizetype& pos, ComponentSink& sink)
        : m_in(bytes, pos), m_sink(sink)
    {
    }

    void readStream()
    {
        // A stream too short for the signature is no stream either.
        if (!m_in.skipIfNext(QByteArrayView(streamtext::kSignature)))
            throw Error(streamtext::kInvalidStreamFormat);
        readComponent(0);
    }

private:
    void readComponent(int depth)
    {
        if (depth >= kMaxStreamNesting)
            throw Error(streamtext::kStreamReadError);
        ComponentHeader header;
        if ((m_in.peek() & 0xF0) == 0xF0) {
            header.flags = m_in.byte() & 0x0F;
            if (header.flags & kFlagChildPos)
                header.childPosition = readInteger();
        }
        header.className = m_in.shortString();
        header.name = m_in.shortString();
        m_sink.beginComponent(header);
        const QString label = header.name.isEmpty() ? header.className : header.name;
        while (m_in.peek() != 0)
            readProperty(label);
        m_in.byte();
        m_sink.endProperties();
        while (m_in.peek() != 0)
            readComponent(depth + 1);
        m_in.byte();
        m_sink.endComponent();
    }

    void readProperty(const QString& componentLabel)
    {
        QString name;
        try {
            name = m_in.shortString();
            m_sink.beginProperty(name);
            StreamProperty property{name, readValue(0)};
            m_sink.property(property);
        } catch (const Error& e) {
            throw Error(
                QString(streamtext::kErrorReading).arg(componentLabel, ".", name, e.text()));
        }
    }

    // An integer value of the prefix or of a collection item: types 2, 3, 4.
    qint64 readInteger()
    {
        StreamValue v = readValue(0);
        if (!v.isInteger())
            throw Error(streamtext::kInvalidPropertyValue);
        return v.integer;
    }

    std::vector<StreamProperty> readItemProperties(int depth)
    {
        std::vector<StreamProperty> properties;
        while (m_in.peek() != 0) {
            QString name = m_in.shortString();
            properties.push_back({name, readValue(depth + 1)});
        }
        m_in.byte();
        return properties;
    }

    StreamValue readValue(int depth)
    {
        if (depth >= kMaxStreamNesting)
            throw Error(streamtext::kStreamReadError);
        StreamValue v;
        const quint8 type = m_in.byte();
        v.type = static_cast<ValueType>(type);
        switch (v.type) {
        case ValueType::List:
            while (m_in.peek() != 0)
                v.list.push_back(readValue(depth + 1));
            m_in.byte();
            break;
        case ValueType::Int8:
            v.integer = m_in.number<qint8>();
            break;
        case ValueType::Int16:
            v.integer = m_in.number<qint16>();
            break;
        case ValueType::Int32:
            v.integer = m_in.number<qint32>();
            break;
        case ValueType::Int64:
        case ValueType::Currency:
            v.integer = m_in.number<qint64>();
            break;
        case ValueType::Extended: {
            const QByteArrayView raw = m_in.take(10);
            v.real = ExtendedToDouble(reinterpret_cast<const unsigned char*>(raw.data()));
            break;
        }
        case ValueType::Single: {
            const quint32 bits = m_in.number<quint32>();
            float f;
            std::memcpy(&f, &bits, sizeof f);
            v.real = f;
            break;
        }
        case ValueType::Date: {
            const quint64 bits = m_in.number<quint64>();
            std::memcpy(&v.real, &bits, sizeof v.real);
            break;
        }
        case ValueType::String:
        case ValueType::Ident:
            v.text = m_in.shortString();
            break;
        case ValueType::LString:
            v.text = platform::FromCp1251(m_in.take(m_in.number<quint32>()).toByteArray());
            break;
        case ValueType::WString: {
            const qint64 count = m_in.number<quint32>();
            const QByteArrayView raw = m_in.take(count * 2);
            v.text.resize(count);
            for (qint64 i = 0; i < count; ++i)
                v.text[i] = QChar(qFromLittleEndian<quint16>(raw.data() + 2 * i));
            break;
        }
        case ValueType::Utf8String:
            v.text = QString::fromUtf8(m_in.take(m_in.number<quint32>()));
            break;
        case ValueType::Binary:
            v.bytes = m_in.take(m_in.number<quint32>()).toByteArray();
            break;
        case ValueType::Set:
            for (QString member = m_in.shortString(); !member.isEmpty();
                 member = m_in.shortString())
                v.members.append(member);
            break;
        case ValueType::Collection:
            while (m_in.peek() != 0) {
                CollectionItem item;
                const quint8 next = m_in.peek();
                if (next == quint8(ValueType::Int8) || next == quint8(ValueType::Int16) ||
                    next == quint8(ValueType::Int32))
                    item.order = readInteger();
                if (m_in.byte() != quint8(ValueType::List))
                    throw Error(streamtext::kInvalidPropertyValue);
                item.properties = readItemProperties(depth);
                v.items.push_back(std::move(item));
            }
            m_in.byte();
            break;
        case ValueType::False:
        case ValueType::True:
        case ValueType::Nil:
            break;
        default: // the end marker or a byte that is no type
            throw Error(streamtext::kInvalidPropertyValue);
        }
        return v;
    }

    ByteReader m_in;
    ComponentSink& m_sink;
};

class StreamWriter
{
public:
    QByteArray take() { return std::move(m_out); }

    void component(const StreamComponent& c)
    {
        const ComponentHeader& h = c.header;
        if (h.flags != 0 || h.childPosition) {
            const quint8 flags = h.flags | (h.childPosition ? kFlagChildPos : 0);
            m_out.append(char(0xF0 | (flags & 0x0F)));
            if (flags & kFlagChildPos)
                value(StreamValue::fromInteger(h.childPosition.value_or(0)));
        }
        shortString(h.className);
        shortString(h.name);
        properties(c.properties);
        for (const StreamComponent& child : c.children)
            component(child);
        m_out.append('\0');
    }

private:
    void properties(const std::vector<StreamProperty>& list)
    {
        for (const StreamProperty& p : list) {
            shortString(p.name);
            value(p.value);
        }
        m_out.append('\0');
    }

    void shortString(const QString& text)
    {
        const QByteArray bytes = platform::ToCp1251(text);
        if (bytes.size() > 255)
            throw Error(QString(streamtext::kShortStringTooLong).arg(text.left(40)));
        m_out.append(char(bytes.size()));
        m_out.append(bytes);
    }

    template <typename T> void number(T n)
    {
        char raw[sizeof(T)];
        qToLittleEndian(n, raw);
        m_out.append(raw, sizeof raw);
    }

    void lengthAndBytes(const QByteArray& bytes)
    {
        number<quint32>(quint32(bytes.size()));
        m_out.append(bytes);
    }

    void value(const StreamValue& v)
    {
        m_out.append(char(v.type));
        switch (v.type) {
        case ValueType::List:
            for (const StreamValue& item : v.list)
                value(item);
            m_out.append('\0');
            break;
        case ValueType::Int8:
            number<qint8>(qint8(v.integer));
            break;
        case ValueType::Int16:
            number<qint16>(qint16(v.integer));
            break;
        case ValueType::Int32:
            number<qint32>(qint32(v.integer));
            break;
        case ValueType::Int64:
        case ValueType::Currency:
            number<qint64>(v.integer);
            break;
        case ValueType::Extended: {
            unsigned char raw[10];
            DoubleToExtended(v.real, raw);
            m_out.append(reinterpret_cast<const char*>(raw), 10);
            break;
        }
        case ValueType::Single: {
            const float f = float(v.real);
            quint32 bits;
            std::memcpy(&bits, &f, sizeof bits);
            number<quint32>(bits);
            break;
        }
        case ValueType::Date: {
            quint64 bits;
            std::memcpy(&bits, &v.real, sizeof bits);
            number<quint64>(bits);
            break;
        }
        case ValueType::String:
        case ValueType::Ident:
            shortString(v.text);
            break;
        case ValueType::LString:
            lengthAndBytes(platform::ToCp1251(v.text));
            break;
        case ValueType::WString:
            number<quint32>(quint32(v.text.size()));
            for (QChar c : v.text)
                number<quint16>(c.unicode());
            break;
        case ValueType::Utf8String:
            lengthAndBytes(v.text.toUtf8());
            break;
        case ValueType::Binary:
            lengthAndBytes(v.bytes);
            break;
        case ValueType::Set:
            for (const QString& member : v.members)
                shortString(member);
            m_out.append('\0');
            break;
        case ValueType::Collection:
            for (const CollectionItem& item : v.items) {
                if (item.order)
                    value(StreamValue::fromInteger(*item.order));
                m_out.append(char(ValueType::List));
                properties(item.properties);
            }
            m_out.append('\0');
            break;
        case ValueType::Null:
        case ValueType::False:
        case ValueType::True:
        case ValueType::Nil:
            break;
        }
    }

    QByteArray m_out;
};

bool IsGraphicClassName(QByteArrayView name)
{
    if (name.size() < 2 || name[0] != 'T')
        return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_'))
            return false;
    return true;
}

} // namespace

void ReadComponentStream(QByteArrayView bytes, qsizetype& pos, ComponentSink& sink)
{
    StreamReader(bytes, pos, sink).readStream();
}

void StreamTreeBuilder::beginComponent(const ComponentHeader& header)
{
    StreamComponent c;
    c.header = header;
    m_open.push_back(std::move(c));
}

void StreamTreeBuilder::property(const StreamProperty& property)
{
    m_open.back().properties.push_back(property);
}

void StreamTreeBuilder::endComponent()
{
    StreamComponent done = std::move(m_open.back());
    m_open.pop_back();
    if (m_open.empty())
        m_root = std::move(done);
    else
        m_open.back().children.push_back(std::move(done));
}

StreamComponent ReadStreamTree(QByteArrayView bytes)
{
    StreamTreeBuilder sink;
    qsizetype pos = 0;
    ReadComponentStream(bytes, pos, sink);
    return sink.takeRoot();
}

QByteArray WriteComponentStream(const StreamComponent& root)
{
    StreamWriter writer;
    writer.component(root);
    return QByteArray(streamtext::kSignature) + writer.take();
}

GraphicData ExtractGraphicData(QByteArrayView bytes)
{
    GraphicData result;
    QByteArrayView rest = bytes;
    if (!rest.isEmpty()) {
        const qsizetype nameLength = quint8(rest[0]);
        if (nameLength < rest.size() && IsGraphicClassName(rest.sliced(1, nameLength))) {
            result.className = QString::fromLatin1(rest.sliced(1, nameLength));
            rest = rest.sliced(1 + nameLength);
        }
    }
    if (rest.size() >= 6) {
        const quint32 length = qFromLittleEndian<quint32>(rest.data());
        if (length <= quint32(rest.size() - 4) && rest.sliced(4, 2) == QByteArrayView("BM"))
            rest = rest.sliced(4, length);
    }
    result.image = rest.toByteArray();
    return result;
}

} // namespace editing

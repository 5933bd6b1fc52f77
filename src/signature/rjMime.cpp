#include "rjMime.h"

#include <array>
#include <cstdint>

namespace signature::rjMime
{

namespace
{

constexpr int kNotInAlphabet = -1;

// Value of each 7-bit character in the alphabet, kNotInAlphabet for the rest.
constexpr std::array<int8_t, 128> kValues = [] {
    std::array<int8_t, 128> values{};
    values.fill(kNotInAlphabet);
    for (int i = 0; i < 64; ++i)
        values[static_cast<unsigned char>(kAlphabet[i])] = static_cast<int8_t>(i);
    return values;
}();

QChar symbol(uint32_t sixBits)
{
    return QLatin1Char(kAlphabet[sixBits & 0x3F]);
}

} // namespace

QString Encode(QByteArrayView bytes)
{
    const qsizetype size = bytes.size();
    QString text((size + 2) / 3 * 4, Qt::Uninitialized);
    QChar* out = text.data();
    const auto byteAt = [&](qsizetype i) { return uint32_t(static_cast<uint8_t>(bytes[i])); };

    qsizetype pos = 0;
    for (; size - pos >= 3; pos += 3) {
        const uint32_t group = byteAt(pos) << 16 | byteAt(pos + 1) << 8 | byteAt(pos + 2);
        *out++ = symbol(group >> 18);
        *out++ = symbol(group >> 12);
        *out++ = symbol(group >> 6);
        *out++ = symbol(group);
    }
    const qsizetype rest = size - pos;
    if (rest > 0) {
        const uint32_t group = byteAt(pos) << 16 | (rest == 2 ? byteAt(pos + 1) << 8 : 0);
        *out++ = symbol(group >> 18);
        *out++ = symbol(group >> 12);
        *out++ = rest == 2 ? symbol(group >> 6) : QLatin1Char(kPad);
        *out++ = QLatin1Char(kPad);
    }
    return text;
}

QByteArray Decode(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size() / 4 * 3 + 2);
    uint32_t group = 0;
    int pending = 0;
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code >= kValues.size() || kValues[code] == kNotInAlphabet)
            continue;
        group = group << 6 | uint32_t(kValues[code]);
        if (++pending == 4) {
            bytes.append(char(group >> 16));
            bytes.append(char(group >> 8));
            bytes.append(char(group));
            group = 0;
            pending = 0;
        }
    }
    // 2 pending characters carry 12 bits (1 byte), 3 carry 18 bits (2 bytes);
    // a single one carries too few for a byte.
    if (pending == 2) {
        bytes.append(char(group >> 4));
    } else if (pending == 3) {
        bytes.append(char(group >> 10));
        bytes.append(char(group >> 2));
    }
    return bytes;
}

} // namespace signature::rjMime

#include "ECText.h"

#include <array>

namespace signature
{

namespace
{

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr int kHexPerDigit = 4;

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 0;
}

// Number of every byte in the engine alphabet; 0 for bytes outside it.
constexpr std::array<uint8_t, 256> kEngineNumbers = [] {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 64; ++i)
        t[static_cast<unsigned char>(kEngineAlphabet[i])] = static_cast<uint8_t>(i);
    return t;
}();

void appendHexByte(QByteArray& out, int byte)
{
    out.append(kHexDigits[(byte >> 4) & 15]);
    out.append(kHexDigits[byte & 15]);
}

// The decoder's state between characters: the place in the group of four and
// the number before.
class EngineDecoder
{
public:
    explicit EngineDecoder(QByteArray& out) : m_out(out) {}

    void take(int number)
    {
        switch (m_place) {
        case 1:
            appendHexByte(m_out, (m_previous << 2 | number >> 4) & 255);
            break;
        case 2:
            appendHexByte(m_out, (m_previous << 4 | number >> 2) & 255);
            break;
        case 3:
            appendHexByte(m_out, (m_previous << 6 | number) & 255);
            break;
        default:
            break;
        }
        m_previous = number;
        m_place = (m_place + 1) % 4;
    }

    // The bits of the last number that would go into the next byte.
    [[nodiscard]] bool bitsLeftOver() const
    {
        switch (m_place) {
        case 1:
            return ((m_previous << 2) & 255) != 0;
        case 2:
            return ((m_previous << 4) & 255) != 0;
        case 3:
            return ((m_previous << 6) & 255) != 0;
        default:
            return false;
        }
    }

private:
    QByteArray& m_out;
    int m_place = 0;
    int m_previous = 0;
};

} // namespace

QByteArray HexText(const TvlPoint& v)
{
    QByteArray out;
    out.reserve(v.count() * kHexPerDigit);
    for (int i = v.count() - 1; i >= 0; --i) {
        const uint16_t d = v.digit(i);
        for (int shift = 12; shift >= 0; shift -= 4)
            out.append(kHexDigits[(d >> shift) & 15]);
    }
    return out;
}

TvlPoint FromHexText(QByteArrayView hex)
{
    const qsizetype q = hex.size() / kHexPerDigit;
    if (q > TvlPoint::kMaxDigits)
        throw ECError(ecerror::kTooLong);
    std::array<uint16_t, TvlPoint::kMaxDigits> digits{};
    for (qsizetype i = 0; i < q; ++i) {
        uint16_t d = 0;
        for (int j = 0; j < kHexPerDigit; ++j)
            d = static_cast<uint16_t>(d << 4 | hexValue(hex[i * kHexPerDigit + j]));
        digits[q - 1 - i] = d;
    }
    TvlPoint v = TvlPoint::fromDigits(digits);
    SecureWipe(digits.data(), sizeof digits);
    return v;
}

QByteArray TBase64::encode(QByteArrayView hex)
{
    const qsizetype bytes = hex.size() / 2;
    auto byteAt = [&hex](qsizetype i) {
        return hexValue(hex[2 * i]) << 4 | hexValue(hex[2 * i + 1]);
    };
    auto letter = [](int number) { return kEngineAlphabet[number & 63]; };
    QByteArray out;
    out.reserve((bytes + 2) / 3 * 4);
    qsizetype pos = 0;
    for (; bytes - pos >= 3; pos += 3) {
        const int b0 = byteAt(pos), b1 = byteAt(pos + 1), b2 = byteAt(pos + 2);
        out.append(letter(b0 >> 2));
        out.append(letter((b0 & 3) << 4 | b1 >> 4));
        out.append(letter((b1 & 15) << 2 | b2 >> 6));
        out.append(letter(b2));
    }
    if (bytes - pos == 1) {
        const int b0 = byteAt(pos);
        out.append(letter(b0 >> 2));
        out.append(letter((b0 & 3) << 4));
    } else if (bytes - pos == 2) {
        const int b0 = byteAt(pos), b1 = byteAt(pos + 1);
        out.append(letter(b0 >> 2));
        out.append(letter((b0 & 3) << 4 | b1 >> 4));
        out.append(letter((b1 & 15) << 2));
        out.append(kEngineAlphabet[0]);
    }
    return out;
}

QByteArray TBase64::decode(QByteArrayView text)
{
    QByteArray out;
    out.reserve(text.size() / 4 * 6 + 6);
    EngineDecoder decoder(out);
    for (const char c : text)
        decoder.take(kEngineNumbers[static_cast<unsigned char>(c)]);
    if (decoder.bitsLeftOver())
        decoder.take(kEngineFillNumber);
    return out;
}

} // namespace signature

#include "ECVlPoint.h"

#include <algorithm>
#include <bit>

namespace signature
{

namespace
{

// The widest intermediate: a product of two full numbers.
constexpr int kWideDigits = 2 * TvlPoint::kMaxDigits;

// The number of digits of digits[0..size) without leading zeros.
int significant(std::span<const uint16_t> digits)
{
    int n = static_cast<int>(digits.size());
    while (n > 0 && digits[n - 1] == 0)
        --n;
    return n;
}

// The remainder of the number digits (least significant first) modulo m, by
// shifting in one bit at a time; the running remainder stays below 2m, which
// needs one digit more than m.
TvlPoint reduce(std::span<const uint16_t> digits, const TvlPoint& m)
{
    if (m.isZero())
        throw ECError(ecerror::kModZero);
    constexpr int kRemDigits = TvlPoint::kMaxDigits + 1;
    std::array<uint16_t, kRemDigits> rem{};
    std::array<uint16_t, kRemDigits> mod{};
    for (int i = 0; i < m.count(); ++i)
        mod[i] = m.digit(i);
    const int len = significant(digits);
    for (int bitIndex = len * 16 - 1; bitIndex >= 0; --bitIndex) {
        uint16_t carry = (digits[bitIndex / 16] >> (bitIndex % 16)) & 1;
        for (int i = 0; i < kRemDigits; ++i) {
            const uint16_t out = rem[i] >> 15;
            rem[i] = static_cast<uint16_t>(rem[i] << 1 | carry);
            carry = out;
        }
        int cmp = 0;
        for (int i = kRemDigits - 1; i >= 0 && cmp == 0; --i)
            cmp = rem[i] < mod[i] ? -1 : rem[i] > mod[i] ? 1 : 0;
        if (cmp >= 0) {
            int borrow = 0;
            for (int i = 0; i < kRemDigits; ++i) {
                const int d = int(rem[i]) - int(mod[i]) - borrow;
                borrow = d < 0;
                rem[i] = static_cast<uint16_t>(d);
            }
        }
    }
    TvlPoint result = TvlPoint::fromDigits(rem);
    SecureWipe(rem.data(), sizeof rem);
    return result;
}

// The full product of a and b, least significant digit first.
std::array<uint16_t, kWideDigits> wideProduct(const TvlPoint& a, const TvlPoint& b)
{
    std::array<uint16_t, kWideDigits> out{};
    for (int i = 0; i < a.count(); ++i) {
        uint32_t carry = 0;
        for (int j = 0; j < b.count(); ++j) {
            const uint32_t t = uint32_t(a.digit(i)) * b.digit(j) + out[i + j] + carry;
            out[i + j] = static_cast<uint16_t>(t);
            carry = t >> 16;
        }
        for (int k = i + b.count(); carry != 0; ++k) {
            const uint32_t t = out[k] + carry;
            out[k] = static_cast<uint16_t>(t);
            carry = t >> 16;
        }
    }
    return out;
}

} // namespace

TvlPoint::TvlPoint(uint64_t value)
{
    while (value != 0) {
        m_digits[m_count++] = static_cast<uint16_t>(value);
        value >>= 16;
    }
}

TvlPoint TvlPoint::fromDigits(std::span<const uint16_t> digits)
{
    const int n = significant(digits);
    if (n > kMaxDigits)
        throw ECError(ecerror::kTooLong);
    TvlPoint v;
    for (int i = 0; i < n; ++i)
        v.m_digits[i] = digits[i];
    v.m_count = n;
    return v;
}

int TvlPoint::bitLength() const
{
    if (m_count == 0)
        return 0;
    return (m_count - 1) * 16 + std::bit_width(unsigned(m_digits[m_count - 1]));
}

std::strong_ordering TvlPoint::operator<=>(const TvlPoint& other) const
{
    if (m_count != other.m_count)
        return m_count <=> other.m_count;
    for (int i = m_count - 1; i >= 0; --i)
        if (m_digits[i] != other.m_digits[i])
            return m_digits[i] <=> other.m_digits[i];
    return std::strong_ordering::equal;
}

void TvlPoint::wipe()
{
    SecureWipe(m_digits.data(), sizeof m_digits);
    m_count = 0;
}

TvlPoint operator+(const TvlPoint& a, const TvlPoint& b)
{
    std::array<uint16_t, TvlPoint::kMaxDigits + 1> out{};
    const int n = std::max(a.count(), b.count());
    uint32_t carry = 0;
    for (int i = 0; i < n; ++i) {
        const uint32_t t = uint32_t(a.digit(i)) + b.digit(i) + carry;
        out[i] = static_cast<uint16_t>(t);
        carry = t >> 16;
    }
    out[n] = static_cast<uint16_t>(carry);
    return TvlPoint::fromDigits(out);
}

TvlPoint operator-(const TvlPoint& a, const TvlPoint& b)
{
    if (b > a)
        throw ECError(ecerror::kNegative);
    std::array<uint16_t, TvlPoint::kMaxDigits> out{};
    int borrow = 0;
    for (int i = 0; i < a.count(); ++i) {
        const int d = int(a.digit(i)) - int(b.digit(i)) - borrow;
        borrow = d < 0;
        out[i] = static_cast<uint16_t>(d);
    }
    return TvlPoint::fromDigits(out);
}

TvlPoint operator*(const TvlPoint& a, const TvlPoint& b)
{
    return TvlPoint::fromDigits(wideProduct(a, b));
}

TvlPoint operator%(const TvlPoint& a, const TvlPoint& m)
{
    std::array<uint16_t, TvlPoint::kMaxDigits> digits{};
    for (int i = 0; i < a.count(); ++i)
        digits[i] = a.digit(i);
    TvlPoint result = reduce(digits, m);
    SecureWipe(digits.data(), sizeof digits);
    return result;
}

TvlPoint MulMod(const TvlPoint& a, const TvlPoint& b, const TvlPoint& m)
{
    auto product = wideProduct(a, b);
    TvlPoint result = reduce(product, m);
    SecureWipe(product.data(), sizeof product);
    return result;
}

TvlPoint ShiftRight1(const TvlPoint& a)
{
    std::array<uint16_t, TvlPoint::kMaxDigits> out{};
    for (int i = 0; i < a.count(); ++i)
        out[i] = static_cast<uint16_t>(a.digit(i) >> 1 | (a.digit(i + 1) & 1) << 15);
    return TvlPoint::fromDigits(out);
}

} // namespace signature

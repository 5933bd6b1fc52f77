#pragma once
// TvlPoint: the engine's long integer. A non-negative integer of up to 19 digits
// of 16 bits, least significant digit first; the digit count never includes
// leading zero digits, so zero has count 0. Every operation whose result would
// need more than 19 digits throws ECError instead of losing digits.

#include "ECRandom.h"

#include <array>
#include <compare>
#include <cstdint>
#include <span>

namespace signature
{

class TvlPoint
{
public:
    static constexpr int kMaxDigits = 19;

    TvlPoint() = default;
    // A small constant (up to four digits).
    explicit TvlPoint(uint64_t value);
    // The number of the given digits, least significant first; leading zero
    // digits are dropped. Throws ECError when more than 19 digits remain.
    [[nodiscard]] static TvlPoint fromDigits(std::span<const uint16_t> digits);

    [[nodiscard]] int count() const { return m_count; }
    // Digit i (0 is the least significant); 0 past the count.
    [[nodiscard]] uint16_t digit(int i) const { return i < m_count ? m_digits[i] : 0; }
    [[nodiscard]] bool isZero() const { return m_count == 0; }
    [[nodiscard]] bool isOdd() const { return m_count != 0 && (m_digits[0] & 1) != 0; }
    [[nodiscard]] int bitLength() const;

    [[nodiscard]] std::strong_ordering operator<=>(const TvlPoint& other) const;
    [[nodiscard]] bool operator==(const TvlPoint& other) const { return (*this <=> other) == 0; }

    // Overwrites the digits; used for secret values before they go out of scope.
    void wipe();

private:
    std::array<uint16_t, kMaxDigits> m_digits{};
    int m_count = 0;
};

// a + b; throws ECError past 19 digits.
[[nodiscard]] TvlPoint operator+(const TvlPoint& a, const TvlPoint& b);
// a - b for a >= b; throws ECError when b > a.
[[nodiscard]] TvlPoint operator-(const TvlPoint& a, const TvlPoint& b);
// a * b; throws ECError past 19 digits.
[[nodiscard]] TvlPoint operator*(const TvlPoint& a, const TvlPoint& b);
// a mod m for m > 0; throws ECError when m is zero.
[[nodiscard]] TvlPoint operator%(const TvlPoint& a, const TvlPoint& m);
// (a * b) mod m, exact for any a and b (the product is never cut to 19 digits).
[[nodiscard]] TvlPoint MulMod(const TvlPoint& a, const TvlPoint& b, const TvlPoint& m);
// a >> 1.
[[nodiscard]] TvlPoint ShiftRight1(const TvlPoint& a);

} // namespace signature

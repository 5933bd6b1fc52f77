#pragma once
// The two fields of the signature engine.
//
// GF(2^15): the integers 0 to 32767 read as polynomials over GF(2) modulo
// x^15 + x + 1. Products and quotients go through the EXP and LOG tables.
//
// GF(2^255) (TgfPoint): polynomials c0 + c1*X + ... + c16*X^16 with coefficients
// in GF(2^15), modulo X^17 + X^3 + 1.

#include "ECVlPoint.h"

#include <array>
#include <cstdint>

namespace signature
{

// The GF(2^15) tables, built once for the process and read-only afterwards.
struct Gf15Tables {
    static constexpr int kSize = 32768;
    static constexpr int kOrder = 32767;        // of the multiplicative group
    static constexpr uint16_t kZeroLog = 32767; // LOG[0]
    // The same logarithms with zero far out of range, so that the sum of two of
    // them lands in the zero part of expOfSum whenever a factor is zero.
    static constexpr uint32_t kFarZeroLog = 2 * kOrder + 1;
    static constexpr int kExpOfSumSize = 2 * kFarZeroLog + 1;

    // EXP[0] = 1, EXP[i + 1] = EXP[i] * x.
    std::array<uint16_t, kSize> exp;
    // LOG[EXP[i]] = i for i < 32767, LOG[0] = 32767.
    std::array<uint16_t, kSize> log;
    // LOG with kFarZeroLog for 0.
    std::array<uint16_t, kSize> logFar;
    // EXP[i mod 32767] for i < 2 * 32767, 0 from kFarZeroLog on.
    std::array<uint16_t, kExpOfSumSize> expOfSum;
};

[[nodiscard]] const Gf15Tables& Gf15();

struct TgfPoint {
    static constexpr int kCoefficients = 17;
    std::array<uint16_t, kCoefficients> c{};

    [[nodiscard]] bool isZero() const;
    [[nodiscard]] bool operator==(const TgfPoint&) const = default;
    // The bit the engine takes for the trace: bit 0 of c0.
    [[nodiscard]] int traceBit() const { return c[0] & 1; }
};

[[nodiscard]] TgfPoint operator+(const TgfPoint& a, const TgfPoint& b);
TgfPoint& operator+=(TgfPoint& a, const TgfPoint& b);
[[nodiscard]] TgfPoint Multiply(const TgfPoint& a, const TgfPoint& b);
[[nodiscard]] TgfPoint Square(const TgfPoint& a);
// a * s for s in GF(2^15), coefficient by coefficient.
[[nodiscard]] TgfPoint MultiplySmall(const TgfPoint& a, uint16_t s);
// a / s for s != 0 in GF(2^15), coefficient by coefficient.
[[nodiscard]] TgfPoint DivideSmall(const TgfPoint& a, uint16_t s);
// 1 / a. Throws ECError for a = 0.
[[nodiscard]] TgfPoint Inverse(const TgfPoint& a);

// sum of c_i * 2^(15 i).
[[nodiscard]] TvlPoint Pack(const TgfPoint& a);
// c0 = the lowest 15 bits of v, c1 the next 15, ... Throws ECError when v has
// more than 255 bits (more coefficients than an element holds).
[[nodiscard]] TgfPoint Unpack(const TvlPoint& v);

} // namespace signature

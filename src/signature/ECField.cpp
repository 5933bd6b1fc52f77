#include "ECField.h"

#include <memory>
#include <utility>

namespace signature
{

namespace
{

constexpr int kN = TgfPoint::kCoefficients;
constexpr int kBits = 15;
constexpr uint16_t kCoefficientMask = (1u << kBits) - 1;
// x^15 + x + 1 without the x^15 term, as the exclusive-or that reduces bit 15.
constexpr uint16_t kReduce15 = 0x8003;
// X^17 + X^3 + 1: X^k for k >= 17 becomes X^(k-14) + X^(k-17).
constexpr int kTrinomialMiddle = 3;
constexpr int kProductTerms = 2 * kN - 1;

std::unique_ptr<Gf15Tables> buildTables()
{
    auto t = std::make_unique<Gf15Tables>();
    t->exp[0] = 1;
    for (int i = 0; i + 1 < Gf15Tables::kSize; ++i) {
        uint16_t v = static_cast<uint16_t>(t->exp[i] << 1);
        if (v & 0x8000)
            v ^= kReduce15;
        t->exp[i + 1] = v;
    }
    t->log[0] = Gf15Tables::kZeroLog;
    for (int i = 0; i < Gf15Tables::kOrder; ++i)
        t->log[t->exp[i]] = static_cast<uint16_t>(i);
    t->logFar = t->log;
    t->logFar[0] = Gf15Tables::kFarZeroLog;
    t->expOfSum.fill(0);
    for (int i = 0; i < 2 * Gf15Tables::kOrder; ++i)
        t->expOfSum[i] = t->exp[i % Gf15Tables::kOrder];
    return t;
}

// Folds the product terms X^17 .. X^32 back into the element.
TgfPoint reduceProduct(std::array<uint16_t, kProductTerms>& acc)
{
#pragma GCC unroll 16
    for (int k = kProductTerms - 1; k >= kN; --k) {
        acc[k - (kN - kTrinomialMiddle)] ^= acc[k];
        acc[k - kN] ^= acc[k];
    }
    TgfPoint r;
#pragma GCC unroll 17
    for (int i = 0; i < kN; ++i)
        r.c[i] = acc[i];
    return r;
}

// The degree of p[0..size), 0 for a constant or zero.
template <std::size_t Size> int degree(const std::array<uint16_t, Size>& p)
{
    int d = static_cast<int>(Size) - 1;
    while (d > 0 && p[d] == 0)
        --d;
    return d;
}

// Divides every coefficient by s (s != 0), or multiplies when logDelta is +log s.
TgfPoint scaleCoefficients(const TgfPoint& a, int logDelta)
{
    const Gf15Tables& t = Gf15();
    TgfPoint r;
    for (int i = 0; i < kN; ++i)
        r.c[i] = t.expOfSum[t.logFar[a.c[i]] + logDelta];
    return r;
}

} // namespace

const Gf15Tables& Gf15()
{
    static const std::unique_ptr<Gf15Tables> tables = buildTables();
    return *tables;
}

bool TgfPoint::isZero() const
{
    uint16_t any = 0;
    for (uint16_t v : c)
        any |= v;
    return any == 0;
}

TgfPoint operator+(const TgfPoint& a, const TgfPoint& b)
{
    TgfPoint r = a;
    r += b;
    return r;
}

TgfPoint& operator+=(TgfPoint& a, const TgfPoint& b)
{
    for (int i = 0; i < kN; ++i)
        a.c[i] ^= b.c[i];
    return a;
}

TgfPoint Multiply(const TgfPoint& a, const TgfPoint& b)
{
    // Term by term of the product, each one's sum kept in a register; the loops
    // unroll completely, so the index ranges are constants.
    const Gf15Tables& t = Gf15();
    const uint16_t* expOfSum = t.expOfSum.data();
    std::array<uint32_t, kN> logA, logB;
#pragma GCC unroll 17
    for (int i = 0; i < kN; ++i) {
        logA[i] = t.logFar[a.c[i]];
        logB[i] = t.logFar[b.c[i]];
    }
    std::array<uint16_t, kProductTerms> acc;
#pragma GCC unroll 33
    for (int k = 0; k < kProductTerms; ++k) {
        uint32_t sum = 0;
        const int first = k < kN ? 0 : k - (kN - 1);
        const int last = k < kN ? k : kN - 1;
#pragma GCC unroll 17
        for (int i = first; i <= last; ++i)
            sum ^= expOfSum[logA[i] + logB[k - i]];
        acc[k] = static_cast<uint16_t>(sum);
    }
    return reduceProduct(acc);
}

TgfPoint Square(const TgfPoint& a)
{
    // Squaring is linear in characteristic two: (sum c_i X^i)^2 = sum c_i^2 X^2i.
    const Gf15Tables& t = Gf15();
    std::array<uint16_t, kProductTerms> acc;
#pragma GCC unroll 17
    for (int i = 0; i < kN; ++i) {
        acc[2 * i] = t.expOfSum[2u * t.logFar[a.c[i]]];
        if (i + 1 < kN)
            acc[2 * i + 1] = 0;
    }
    return reduceProduct(acc);
}

TgfPoint MultiplySmall(const TgfPoint& a, uint16_t s)
{
    if (s == 0)
        return {};
    return scaleCoefficients(a, Gf15().log[s]);
}

TgfPoint DivideSmall(const TgfPoint& a, uint16_t s)
{
    if (s == 0)
        throw ECError(ecerror::kInverseOfZero);
    return scaleCoefficients(a, (Gf15Tables::kOrder - Gf15().log[s]) % Gf15Tables::kOrder);
}

TgfPoint Inverse(const TgfPoint& a)
{
    if (a.isZero())
        throw ECError(ecerror::kInverseOfZero);
    // Extended Euclid over GF(2^15)[X] with the invariants g1 * a = u and
    // g2 * a = v modulo the field polynomial; it ends when u is a constant.
    const Gf15Tables& t = Gf15();
    std::array<uint16_t, kN + 1> u{}, v{}, g1{}, g2{};
    for (int i = 0; i < kN; ++i)
        u[i] = a.c[i];
    v[0] = v[kTrinomialMiddle] = v[kN] = 1;
    g1[0] = 1;
    int du = degree(u);
    int dv = kN;
    while (du != 0) {
        if (du < dv) {
            std::swap(u, v);
            std::swap(g1, g2);
            std::swap(du, dv);
        }
        const int shift = du - dv;
        int logC = int(t.log[u[du]]) - int(t.log[v[dv]]);
        if (logC < 0)
            logC += Gf15Tables::kOrder;
        const uint16_t* row = t.expOfSum.data() + logC;
        for (int k = 0; k <= dv; ++k)
            u[k + shift] ^= row[t.logFar[v[k]]];
        for (int k = 0; k + shift <= kN; ++k)
            g1[k + shift] ^= row[t.logFar[g2[k]]];
        while (du > 0 && u[du] == 0)
            --du;
    }
    const int logU0 = t.log[u[0]];
    TgfPoint r;
    for (int i = 0; i < kN; ++i)
        r.c[i] = t.expOfSum[t.logFar[g1[i]] + (Gf15Tables::kOrder - logU0) % Gf15Tables::kOrder];
    return r;
}

TvlPoint Pack(const TgfPoint& a)
{
    std::array<uint16_t, 16> digits{};
    uint32_t acc = 0;
    int accBits = 0;
    int out = 0;
    for (int i = 0; i < kN; ++i) {
        acc |= uint32_t(a.c[i] & kCoefficientMask) << accBits;
        accBits += kBits;
        while (accBits >= 16) {
            digits[out++] = static_cast<uint16_t>(acc);
            acc >>= 16;
            accBits -= 16;
        }
    }
    if (accBits > 0)
        digits[out] = static_cast<uint16_t>(acc);
    return TvlPoint::fromDigits(digits);
}

TgfPoint Unpack(const TvlPoint& v)
{
    if (v.bitLength() > kN * kBits)
        throw ECError(ecerror::kUnpackTooLong);
    TgfPoint r;
    uint32_t acc = 0;
    int accBits = 0;
    int next = 0;
    for (int i = 0; i < kN; ++i) {
        while (accBits < kBits) {
            acc |= uint32_t(v.digit(next++)) << accBits;
            accBits += 16;
        }
        r.c[i] = static_cast<uint16_t>(acc & kCoefficientMask);
        acc >>= kBits;
        accBits -= kBits;
    }
    return r;
}

} // namespace signature

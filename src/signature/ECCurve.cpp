#include "ECCurve.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace signature
{

namespace
{

constexpr TecPoint kBasePoint = {
    {{14540, 1327, 9488, 17834, 7049, 17512, 18562, 3431, 20459, 21966, 37, 19639, 3266, 23004,
      10398, 26083, 22269}},
    {{12711, 26098, 6340, 13330, 29576, 21697, 21403, 18946, 19719, 4822, 30993, 15198, 20238, 8559,
      11250, 6516, 8410}},
};
constexpr uint16_t kGroupOrderDigits[] = {52529, 17083, 9604,  24077, 11659, 19447, 33806, 1351,
                                          48835, 60827, 26908, 8980,  33208, 55376, 621,   1};

// Field elements of GF(2^255) have degree 255; the half-trace of an odd degree
// m field sums beta^(4^i) for i = 0 .. (m - 1) / 2.
constexpr int kHalfTraceSteps = 127;
constexpr int kFieldDegree = 255;

// Widths of the signed-digit windows: G's odd multiples are computed once for
// the process, a public key's for each use.
constexpr int kBaseWindow = 8;
constexpr int kPointWindow = 5;

// Room for the signed digits of a 19-digit number, plus the carry digit.
constexpr int kMaxNafDigits = TvlPoint::kMaxDigits * 16 + 1;

TgfPoint curveB()
{
    TgfPoint b;
    b.c[0] = kCurveB;
    return b;
}

// The square root of b, b^(2^254): y of the point of order two (0, sqrt b).
const TgfPoint& sqrtB()
{
    static const TgfPoint root = [] {
        TgfPoint r = curveB();
        for (int i = 0; i < kFieldDegree - 1; ++i)
            r = Square(r);
        return r;
    }();
    return root;
}

// Lopez-Dahab projective coordinates: x = X/Z, y = Y/Z^2; Z = 0 at infinity.
// They avoid an inversion per operation; only the result is made affine.
struct LdPoint {
    TgfPoint X, Y, Z;
    [[nodiscard]] bool isInfinity() const { return Z.isZero(); }
};

LdPoint fromAffine(const TecPoint& p)
{
    LdPoint r{p.x, p.y, {}};
    r.Z.c[0] = 1;
    return r;
}

TecPoint toAffine(const LdPoint& p)
{
    if (p.isInfinity())
        return {};
    const TgfPoint zInv = Inverse(p.Z);
    return {Multiply(p.X, zInv), Multiply(p.Y, Square(zInv))};
}

// 2P on y^2 + xy = x^3 + b: Z3 = X^2 Z^2, X3 = X^4 + b Z^4,
// Y3 = b Z^4 Z3 + X3 (Y^2 + b Z^4). A point with x = 0 (order two) and the
// point at infinity both give Z3 = 0.
LdPoint ldDouble(const LdPoint& p)
{
    const TgfPoint x2 = Square(p.X);
    const TgfPoint z2 = Square(p.Z);
    const TgfPoint bz4 = MultiplySmall(Square(z2), kCurveB);
    LdPoint r;
    r.Z = Multiply(x2, z2);
    r.X = Square(x2) + bz4;
    r.Y = Multiply(bz4, r.Z) + Multiply(r.X, Square(p.Y) + bz4);
    return r;
}

// P + q for q affine and not at infinity, with the cases that the sum formula
// cannot take (P at infinity, P = q, P = -q) handled apart.
LdPoint ldAddAffine(const LdPoint& p, const TecPoint& q)
{
    if (p.isInfinity())
        return fromAffine(q);
    const TgfPoint z2 = Square(p.Z);
    const TgfPoint a = p.Y + Multiply(q.y, z2);
    const TgfPoint b = p.X + Multiply(q.x, p.Z);
    if (b.isZero())
        return a.isZero() ? ldDouble(fromAffine(q)) : LdPoint{};
    const TgfPoint c = Multiply(p.Z, b);
    LdPoint r;
    r.Z = Square(c);
    const TgfPoint e = Multiply(a, c);
    r.X = Square(a) + Multiply(Square(b), c) + e;
    const TgfPoint f = r.X + Multiply(q.x, r.Z);
    r.Y = Multiply(e + r.Z, f) + Multiply(q.x + q.y, Square(r.Z));
    return r;
}

// The width-w non-adjacent form of k: odd digits in (-2^(w-1), 2^(w-1)) or 0,
// least significant first, no two non-zero digits closer than w. Wiped when
// done, since it may spell out a secret nonce.
class Naf
{
public:
    Naf(const TvlPoint& k, int width)
    {
        // k in 32-bit words with one spare word for the carry of a negative digit.
        std::array<uint32_t, TvlPoint::kMaxDigits / 2 + 2> w{};
        for (int i = 0; i < k.count(); ++i)
            w[i / 2] |= uint32_t(k.digit(i)) << (16 * (i % 2));
        const int32_t full = 1 << width;
        const int32_t half = full / 2;
        auto nonZero = [&w] {
            return std::any_of(w.begin(), w.end(), [](uint32_t v) { return v != 0; });
        };
        while (nonZero()) {
            int32_t d = 0;
            if (w[0] & 1) {
                d = int32_t(w[0] & uint32_t(full - 1));
                if (d >= half)
                    d -= full;
                // k -= d clears the low bits: a positive digit never borrows, a
                // negative one carries upwards.
                if (d > 0) {
                    w[0] -= uint32_t(d);
                } else {
                    uint64_t carry = uint32_t(-d);
                    for (std::size_t i = 0; i < w.size() && carry != 0; ++i) {
                        const uint64_t t = uint64_t(w[i]) + carry;
                        w[i] = uint32_t(t);
                        carry = t >> 32;
                    }
                }
            }
            m_digits[m_length++] = static_cast<int8_t>(d);
            for (std::size_t i = 0; i < w.size(); ++i)
                w[i] = w[i] >> 1 | (i + 1 < w.size() ? w[i + 1] << 31 : 0);
        }
        SecureWipe(w.data(), sizeof w);
    }
    ~Naf() { SecureWipe(m_digits.data(), sizeof m_digits); }
    Naf(const Naf&) = delete;
    Naf& operator=(const Naf&) = delete;

    [[nodiscard]] int length() const { return m_length; }
    [[nodiscard]] int digit(int i) const { return i < m_length ? m_digits[i] : 0; }

private:
    std::array<int8_t, kMaxNafDigits> m_digits{};
    int m_length = 0;
};

// p, 3p, 5p, ... (2^(width-1) - 1)p, affine; entries may be at infinity when p
// has a small order.
std::vector<TecPoint> oddMultiples(const TecPoint& p, int width)
{
    std::vector<TecPoint> table(std::size_t(1) << (width - 2));
    table[0] = p;
    const TecPoint twice = Double(p);
    for (std::size_t i = 1; i < table.size(); ++i)
        table[i] = Add(table[i - 1], twice);
    return table;
}

const std::vector<TecPoint>& baseMultiples()
{
    static const std::vector<TecPoint> table = oddMultiples(kBasePoint, kBaseWindow);
    return table;
}

// Adds digit * (the point whose odd multiples are in table) to acc.
void addDigit(LdPoint& acc, int digit, const std::vector<TecPoint>& table)
{
    if (digit == 0)
        return;
    const TecPoint& q = table[std::size_t((digit < 0 ? -digit : digit) / 2)];
    if (q.isInfinity())
        return;
    acc = ldAddAffine(acc, digit < 0 ? Negate(q) : q);
}

// Sum of the terms digits_i * table-point, sharing the doublings (the terms are
// walked from the most significant digit down together).
struct Term {
    const Naf& naf;
    const std::vector<TecPoint>& table;
};
TecPoint sumOfMultiples(std::initializer_list<Term> terms)
{
    int length = 0;
    for (const Term& t : terms)
        length = std::max(length, t.naf.length());
    LdPoint acc;
    for (int i = length - 1; i >= 0; --i) {
        if (!acc.isInfinity())
            acc = ldDouble(acc);
        for (const Term& t : terms)
            addDigit(acc, t.naf.digit(i), t.table);
    }
    return toAffine(acc);
}

} // namespace

const TecPoint& BasePoint()
{
    return kBasePoint;
}

const TvlPoint& GroupOrder()
{
    static const TvlPoint n = TvlPoint::fromDigits(kGroupOrderDigits);
    return n;
}

TecPoint Negate(const TecPoint& p)
{
    return {p.x, p.x + p.y};
}

TecPoint Add(const TecPoint& p, const TecPoint& q)
{
    if (p.isInfinity())
        return q;
    if (q.isInfinity())
        return p;
    if (p.x == q.x)
        return p.y == q.y ? Double(p) : TecPoint{};
    const TgfPoint lambda = Multiply(p.y + q.y, Inverse(p.x + q.x));
    TecPoint r;
    r.x = Square(lambda) + lambda + p.x + q.x;
    r.y = Multiply(lambda, p.x + r.x) + r.x + p.y;
    return r;
}

TecPoint Double(const TecPoint& p)
{
    if (p.x.isZero())
        return {};
    const TgfPoint lambda = p.x + Multiply(p.y, Inverse(p.x));
    TecPoint r;
    r.x = Square(lambda) + lambda;
    r.y = Square(p.x) + Multiply(lambda, r.x) + r.x;
    return r;
}

TecPoint MultiplyBase(const TvlPoint& k)
{
    // G has order n, so reducing k changes nothing but the work.
    TvlPoint reduced = k % GroupOrder();
    const Naf naf(reduced, kBaseWindow);
    reduced.wipe();
    return sumOfMultiples({{naf, baseMultiples()}});
}

TecPoint MultiplyTwo(const TvlPoint& s, const TvlPoint& r, const TecPoint& p)
{
    const Naf nafS(s % GroupOrder(), kBaseWindow);
    const Naf nafR(r, kPointWindow);
    // Entries of the table are at infinity when p is, so they are then skipped.
    const std::vector<TecPoint> table = oddMultiples(p, kPointWindow);
    return sumOfMultiples({{nafS, baseMultiples()}, {nafR, table}});
}

TvlPoint PublicKeyNumber(const TecPoint& p)
{
    const int ybit = p.x.isZero() ? !p.y.isZero() : Multiply(p.y, Inverse(p.x)).traceBit();
    const TvlPoint packed = Pack(p.x);
    return packed + packed + TvlPoint(uint64_t(ybit));
}

PublicKeyPoint PointOfPublicKey(const TvlPoint& v)
{
    PublicKeyPoint r;
    // A number of more than 256 bits holds more than an element: a damaged key
    // text (a line break inside it, say), which verifies nothing.
    if (v.bitLength() > kFieldDegree + 1) {
        r.onCurve = false;
        return r;
    }
    const bool ybit = v.isOdd();
    r.point.x = Unpack(ShiftRight1(v));
    const TgfPoint& x = r.point.x;
    if (x.isZero()) {
        if (ybit)
            r.point.y = sqrtB();
        return r;
    }
    const TgfPoint x2 = Square(x);
    // x^3 + b = 0: the key format takes y = 0 here without looking at ybit.
    if ((Multiply(x2, x) + curveB()).isZero())
        return r;
    // y = x t with t^2 + t = beta = x + b / x^2, solvable when the trace is 0.
    const TgfPoint beta = x + Inverse(DivideSmall(x2, kCurveB));
    if (beta.traceBit() != 0) {
        r.onCurve = false;
        return r;
    }
    TgfPoint t = beta;
    for (int i = 0; i < kHalfTraceSteps; ++i)
        t = Square(Square(t)) + beta;
    if (t.traceBit() != int(ybit))
        t.c[0] ^= 1;
    r.point.y = Multiply(x, t);
    return r;
}

} // namespace signature

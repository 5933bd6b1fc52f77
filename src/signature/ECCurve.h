#pragma once
// The curve y^2 + x*y = x^3 + b over GF(2^255), b = 161 (an element of the
// subfield GF(2^15)), with the base point G of prime order n.
//
// Points (TecPoint) are affine; the point at infinity is held as x = 0, y = 0.
// The group law here is exact for every point on the curve; the functions do not
// check that their points are on it.

#include "ECField.h"

namespace signature
{

struct TecPoint {
    TgfPoint x;
    TgfPoint y;

    [[nodiscard]] bool isInfinity() const { return x.isZero() && y.isZero(); }
    [[nodiscard]] bool operator==(const TecPoint&) const = default;
};

// The curve constant b (c0 = 161).
inline constexpr uint16_t kCurveB = 161;
[[nodiscard]] const TecPoint& BasePoint();
// n, the prime order of G (241 bits).
[[nodiscard]] const TvlPoint& GroupOrder();

// The affine group law, one inversion per operation.
[[nodiscard]] TecPoint Negate(const TecPoint& p);
[[nodiscard]] TecPoint Add(const TecPoint& p, const TecPoint& q);
[[nodiscard]] TecPoint Double(const TecPoint& p);

// k*G for any k >= 0.
[[nodiscard]] TecPoint MultiplyBase(const TvlPoint& k);
// s*G + r*p for any s, r >= 0 and any point p on the curve (p need not lie in
// the group that G generates, so r is used unreduced).
[[nodiscard]] TecPoint MultiplyTwo(const TvlPoint& s, const TvlPoint& r, const TecPoint& p);

// The public key number of a point: 2*pack(x) + ybit, where ybit is the trace
// bit of y/x (for x = 0: 1 when y != 0, so that PointOfPublicKey inverts it).
[[nodiscard]] TvlPoint PublicKeyNumber(const TecPoint& p);

// The point of a public key number V (ybit = bit 0, x = unpack(V >> 1)); y from
// the half-trace. onCurve is false when V names no point: V has more than 256
// bits, or its x has no point on the curve (then y is 0). No signature
// verifies with such a key. For the x with x^3 = b the point is (x, 0) whatever
// ybit says, as the key format has it.
struct PublicKeyPoint {
    TecPoint point;
    bool onCurve = true;
};
[[nodiscard]] PublicKeyPoint PointOfPublicKey(const TvlPoint& v);

} // namespace signature

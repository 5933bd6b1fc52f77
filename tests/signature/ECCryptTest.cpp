#include "ECCrypt.h"
#include "ECCurve.h"
#include "ECText.h"
#include "SHA.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <cstring>
#include <random>

using namespace signature;

namespace signature
{
void PrintTo(const TvlPoint& v, std::ostream* os)
{
    *os << (v.isZero() ? "0" : HexText(v).toStdString());
}
} // namespace signature

namespace
{

// Fixed, so that the values the tests draw repeat (keys from MakeKeyPair come
// from the system's random source).
std::mt19937_64& Rng()
{
    static std::mt19937_64 rng(20240611);
    return rng;
}

TvlPoint RandomNumber(int bits)
{
    std::array<uint16_t, TvlPoint::kMaxDigits> d{};
    for (int i = 0; i * 16 < bits; ++i)
        d[i] = uint16_t(Rng()());
    if (bits % 16 != 0)
        d[bits / 16] &= uint16_t((1u << (bits % 16)) - 1);
    return TvlPoint::fromDigits(d);
}

TgfPoint RandomElement()
{
    TgfPoint a;
    for (auto& c : a.c)
        c = uint16_t(Rng()() & 0x7FFF);
    // Zero coefficients take their own path through the tables.
    a.c[Rng()() % TgfPoint::kCoefficients] = 0;
    return a;
}

TgfPoint Constant(uint16_t c0)
{
    TgfPoint a;
    a.c[0] = c0;
    return a;
}

bool IsOnCurve(const TecPoint& p)
{
    if (p.isInfinity())
        return true;
    const TgfPoint lhs = Square(p.y) + Multiply(p.x, p.y);
    return lhs == Multiply(Square(p.x), p.x) + Constant(kCurveB);
}

// The textbook method: double and add from the most significant bit, with the
// affine group law and the scalar used as it is.
TecPoint PlainMultiply(const TvlPoint& k, const TecPoint& p)
{
    TecPoint r;
    for (int i = k.bitLength() - 1; i >= 0; --i) {
        r = Double(r);
        if ((k.digit(i / 16) >> (i % 16)) & 1)
            r = Add(r, p);
    }
    return r;
}

// A random point of the curve, most likely outside the group of G.
TecPoint RandomCurvePoint()
{
    for (;;) {
        const PublicKeyPoint k = PointOfPublicKey(RandomNumber(256));
        if (k.onCurve && !k.point.isInfinity())
            return k.point;
    }
}

QByteArray Digest(const char* text)
{
    return Sha1Digest(QByteArray(text));
}

std::span<const uint8_t, 20> Bytes(const QByteArray& digest)
{
    return std::span<const uint8_t, 20>(reinterpret_cast<const uint8_t*>(digest.constData()), 20);
}

QString EngineText(const TvlPoint& v)
{
    return QString::fromLatin1(TBase64::encode(HexText(v)));
}

TvlPoint NumberOf(const QString& engineText)
{
    return FromHexText(TBase64::decode(engineText.toLatin1()));
}

QString PublicTextOf(const TvlPoint& d)
{
    return EngineText(PublicKeyNumber(MultiplyBase(d)));
}

// Verification as written, with the plain multiplication and s, r unreduced.
bool PlainVerify(const QString& publicText, const QString& signature, const QByteArray& digest)
{
    const qsizetype colon = signature.indexOf(':');
    const TvlPoint r = colon < 0 ? TvlPoint() : NumberOf(signature.left(colon));
    const TvlPoint s = NumberOf(colon < 0 ? signature : signature.mid(colon + 1));
    const PublicKeyPoint key = PointOfPublicKey(NumberOf(publicText));
    if (!key.onCurve)
        return false;
    const TecPoint t = Add(PlainMultiply(s, BasePoint()), PlainMultiply(r, key.point));
    const TvlPoint& n = GroupOrder();
    const TvlPoint tx = Pack(t.x) % n;
    const TvlPoint c = tx > r ? r + n - tx : r - tx;
    return c == TEllipticCurve::DigestToNumber(Bytes(digest));
}

// GF(2^15) product bit by bit, the reference for the tables.
uint16_t CarrylessProduct(uint16_t a, uint16_t b)
{
    uint32_t r = 0;
    for (int i = 0; i < 15; ++i)
        if (b >> i & 1)
            r ^= uint32_t(a) << i;
    for (int i = 28; i >= 15; --i)
        if (r >> i & 1)
            r ^= 0x8003u << (i - 15);
    return uint16_t(r);
}

} // namespace

// ---- GF(2^15) and GF(2^255) ----

TEST(ECField, TablesGiveThePolynomialProductModuloX15PlusXPlus1)
{
    const Gf15Tables& t = Gf15();
    EXPECT_EQ(t.log[0], 32767);
    EXPECT_EQ(t.exp[0], 1);
    // x generates the whole group: every non-zero value appears once in EXP.
    std::vector<bool> seen(32768);
    for (int i = 0; i < 32767; ++i) {
        ASSERT_FALSE(seen[t.exp[i]]) << "EXP repeats at " << i;
        seen[t.exp[i]] = true;
        ASSERT_EQ(t.log[t.exp[i]], i);
    }
    for (int i = 0; i < 2000; ++i) {
        const uint16_t a = uint16_t(Rng()() & 0x7FFF),
                       b = uint16_t(Rng()() % 4 == 0 ? 0 : Rng()() & 0x7FFF);
        ASSERT_EQ(MultiplySmall(Constant(a), b).c[0], CarrylessProduct(a, b)) << a << " * " << b;
    }
}

TEST(ECField, ArithmeticObeysTheFieldLaws)
{
    TgfPoint x;
    x.c[1] = 1;
    TgfPoint x16;
    x16.c[16] = 1;
    TgfPoint x3PlusOne = Constant(1);
    x3PlusOne.c[3] = 1;
    EXPECT_EQ(Multiply(x16, x), x3PlusOne) << "X^17 = X^3 + 1";

    for (int i = 0; i < 200; ++i) {
        SCOPED_TRACE(i);
        const TgfPoint a = RandomElement(), b = RandomElement(), c = RandomElement();
        ASSERT_EQ(Multiply(a, b + c), Multiply(a, b) + Multiply(a, c));
        ASSERT_EQ(Multiply(Multiply(a, b), c), Multiply(a, Multiply(b, c)));
        ASSERT_EQ(Multiply(a, b), Multiply(b, a));
        ASSERT_EQ(Square(a), Multiply(a, a));
        ASSERT_EQ(Multiply(a, Inverse(a)), Constant(1));
        const uint16_t s = uint16_t(1 + Rng()() % 32767);
        ASSERT_EQ(MultiplySmall(a, s), Multiply(a, Constant(s)));
        ASSERT_EQ(DivideSmall(MultiplySmall(a, s), s), a);
    }
    EXPECT_THROW((void)Inverse(TgfPoint{}), ECError);
}

// The decoding of public keys takes bit 0 of c0 for the trace; it is the trace.
TEST(ECField, TraceBitIsTheFieldTrace)
{
    for (int i = 0; i < 100; ++i) {
        const TgfPoint a = RandomElement();
        TgfPoint power = a, trace = a;
        for (int j = 1; j < 255; ++j) {
            power = Square(power);
            trace += power;
        }
        ASSERT_EQ(trace, Constant(uint16_t(a.traceBit())));
    }
}

TEST(ECField, PackAndUnpackAreInverse)
{
    for (int i = 0; i < 100; ++i) {
        const TgfPoint a = RandomElement();
        ASSERT_EQ(Unpack(Pack(a)), a);
        const TvlPoint v = RandomNumber(255);
        ASSERT_EQ(Pack(Unpack(v)), v);
    }
    TgfPoint top;
    top.c[16] = 0x4000;
    EXPECT_EQ(Pack(top).bitLength(), 255);
    EXPECT_THROW((void)Unpack(Pack(top) + Pack(top)), ECError) << "256 bits do not fit";
}

// ---- long integers ----

TEST(ECLongInteger, ResultsPastNineteenDigitsAreErrors)
{
    const TvlPoint max19 = FromHexText(QByteArray(76, 'F'));
    EXPECT_EQ(max19.count(), 19);
    EXPECT_THROW((void)(max19 + TvlPoint(1)), ECError);
    EXPECT_THROW((void)(max19 * TvlPoint(2)), ECError);
    EXPECT_THROW((void)(TvlPoint(1) - TvlPoint(2)), ECError);
    EXPECT_THROW((void)FromHexText(QByteArray(80, '0')), ECError) << "20 digits, even if zero";
    EXPECT_EQ((max19 + TvlPoint(0)).count(), 19);
}

TEST(ECLongInteger, MulModIsExactForFullSizeFactors)
{
    for (int i = 0; i < 50; ++i) {
        SCOPED_TRACE(i);
        const TvlPoint m = RandomNumber(140) + TvlPoint(1);
        const TvlPoint a = RandomNumber(150), b = RandomNumber(150);
        ASSERT_EQ(MulMod(a, b, m), a * b % m);
        // Products of 38 digits are reduced whole, never cut to 19 digits.
        const TvlPoint bigA = RandomNumber(304), bigB = RandomNumber(304);
        ASSERT_EQ(MulMod(bigA, bigB, m), (bigA % m) * (bigB % m) % m);
    }
    EXPECT_THROW((void)(TvlPoint(5) % TvlPoint()), ECError);
}

// ---- text forms ----

TEST(ECText, HexTextHasFourCharactersPerDigit)
{
    EXPECT_EQ(HexText(TvlPoint()), QByteArray());
    EXPECT_EQ(HexText(TvlPoint(0x1ABCD)), QByteArray("0001ABCD"));
    EXPECT_EQ(HexText(GroupOrder()),
              QByteArray("0001026DD85081B82314691CED9BBEC30547840E4BF72D8B5E0D258442BBCD31"));
    struct Case {
        const char* hex;
        uint64_t value;
    };
    const std::vector<Case> cases = {
        {"", 0},     {"0001ABCD", 0x1ABCD}, {"0001ABCD00", 0x1ABCD}, {"0001ABC", 1},
        {"ffff", 0}, {"00A\r", 0xA0},       {"0000000F", 0xF},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hex);
        EXPECT_EQ(FromHexText(QByteArray(c.hex)), TvlPoint(c.value));
    }
}

TEST(ECText, EngineTextKnownAnswers)
{
    struct Case {
        const char* hex;
        const char* text;
    };
    // Bytes 00 01: two bytes over give three characters and "+".
    EXPECT_EQ(TBase64::encode("0001"), QByteArray("++2+"));
    EXPECT_EQ(TBase64::encode("FFFFFF"), QByteArray("zzzz"));
    EXPECT_EQ(TBase64::encode("F8"), QByteArray("y+"));
    EXPECT_EQ(TBase64::encode(""), QByteArray());
    const std::vector<Case> decodes = {
        {"000100", "++2+"}, // the "+" yields one extra zero byte
        {"FFFFFF", "zzzz"},
        {"F8", "y+"},
        // Left-over bits of an incomplete group: one more character "0" (number 2).
        {"04", "-"},
        {"0010", "+-"},
        {"000042", "++-"},
        {"", "+"},
        {"00", "++"},
        // Characters outside the alphabet count as 0, like "+".
        {"000000", "\r\n= "},
        {"FFF000", "zz\xD0\xB0"},
    };
    for (const Case& c : decodes) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TBase64::decode(c.text), QByteArray(c.hex));
    }
}

// A number of 15, 16 or 17 digits leaves 0, 2 or 1 bytes over the groups of
// three; the characters at the end that carry only dropped bits may be anything.
TEST(ECText, FinalCharactersCarryOnlyDroppedBits)
{
    struct Case {
        int digits;
        int length;
        std::vector<std::pair<int, int>> droppedBits; // (position from the end, bit mask)
    };
    const std::vector<Case> cases = {
        {15, 40, {}},
        {16, 44, {{1, 63}, {2, 3}}},
        {17, 46, {{1, 15}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.digits);
        for (int round = 0; round < 20; ++round) {
            TvlPoint v = RandomNumber(16 * c.digits);
            while (v.count() != c.digits)
                v = RandomNumber(16 * c.digits);
            const QByteArray text = TBase64::encode(HexText(v));
            ASSERT_EQ(text.size(), c.length);
            ASSERT_EQ(FromHexText(TBase64::decode(text)), v);
            for (const auto& [fromEnd, mask] : c.droppedBits) {
                QByteArray changed = text;
                const char* at = strchr(kEngineAlphabet, changed[changed.size() - fromEnd]);
                const int number = int(at - kEngineAlphabet) ^ (int(Rng()()) & mask);
                changed[changed.size() - fromEnd] = kEngineAlphabet[number];
                ASSERT_EQ(FromHexText(TBase64::decode(changed)), v) << changed.toStdString();
            }
            // The first character of the text always carries bits.
            QByteArray changed = text;
            changed[0] = changed[0] == 'z' ? 'y' : 'z';
            ASSERT_NE(FromHexText(TBase64::decode(changed)), v);
        }
    }
}

// ---- the curve ----

TEST(ECCurve, BasePointIsOnTheCurveWithPrimeOrderN)
{
    const TecPoint& g = BasePoint();
    const TvlPoint& n = GroupOrder();
    EXPECT_TRUE(IsOnCurve(g));
    EXPECT_TRUE(PlainMultiply(n, g).isInfinity());
    EXPECT_EQ(PlainMultiply(n + TvlPoint(1), g), g);
    EXPECT_TRUE(MultiplyBase(n).isInfinity());
    EXPECT_EQ(MultiplyBase(n - TvlPoint(1)), Negate(g));
    EXPECT_EQ(n.bitLength(), 241);
}

TEST(ECCurve, GroupLawHandlesItsSpecialCases)
{
    const TecPoint p = RandomCurvePoint();
    const TecPoint order2{TgfPoint{}, PointOfPublicKey(TvlPoint(1)).point.y};
    EXPECT_TRUE(IsOnCurve(order2));
    EXPECT_TRUE(Add(p, Negate(p)).isInfinity());
    EXPECT_EQ(Add(p, p), Double(p));
    EXPECT_EQ(Add(p, TecPoint{}), p);
    EXPECT_TRUE(Double(order2).isInfinity());
    EXPECT_TRUE(IsOnCurve(Add(p, order2)));
}

// The fast multiplication (projective coordinates, signed windows, a table for
// G, both terms at once) gives exactly the points of double and add, for any
// point of the curve and any scalars, reduced or not.
TEST(ECCurve, FastMultiplicationEqualsThePlainMethod)
{
    const TvlPoint& n = GroupOrder();
    const TecPoint order2 = PointOfPublicKey(TvlPoint(1)).point;
    std::vector<std::pair<const char*, TecPoint>> points = {
        {"infinity", TecPoint{}},
        {"order two", order2},
        {"G", BasePoint()},
        {"key", MultiplyBase(RandomNumber(240))},
        {"small order", PlainMultiply(n, RandomCurvePoint())},
    };
    for (int i = 0; i < 4; ++i)
        points.emplace_back("random curve point", RandomCurvePoint());
    const std::vector<TvlPoint> edgeScalars = {TvlPoint(),
                                               TvlPoint(1),
                                               TvlPoint(2),
                                               n - TvlPoint(1),
                                               n,
                                               n + TvlPoint(1),
                                               FromHexText(QByteArray(76, 'F'))};
    for (const auto& [name, p] : points) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(IsOnCurve(p));
        const TecPoint plainS = PlainMultiply(TvlPoint(77), BasePoint());
        for (const TvlPoint& r : edgeScalars)
            ASSERT_EQ(MultiplyTwo(TvlPoint(77), r, p), Add(plainS, PlainMultiply(r, p)));
        for (int round = 0; round < 3; ++round) {
            const TvlPoint s = RandomNumber(272), r = RandomNumber(241);
            ASSERT_EQ(MultiplyTwo(s, r, p),
                      Add(PlainMultiply(s, BasePoint()), PlainMultiply(r, p)));
        }
    }
    for (const TvlPoint& k : edgeScalars)
        ASSERT_EQ(MultiplyBase(k), PlainMultiply(k, BasePoint()));
}

TEST(ECCurve, PublicKeyNumberGivesBackItsPoint)
{
    for (int i = 0; i < 30; ++i) {
        const TecPoint p = i % 2 ? RandomCurvePoint() : MultiplyBase(RandomNumber(240));
        const TvlPoint v = PublicKeyNumber(p);
        ASSERT_LE(v.bitLength(), 256);
        const PublicKeyPoint back = PointOfPublicKey(v);
        ASSERT_TRUE(back.onCurve);
        ASSERT_EQ(back.point, p);
        // The other y of the same x is the negative point.
        ASSERT_EQ(PointOfPublicKey(v.isOdd() ? v - TvlPoint(1) : v + TvlPoint(1)).point, Negate(p));
    }
    EXPECT_TRUE(PointOfPublicKey(TvlPoint()).point.isInfinity());
    EXPECT_EQ(PublicKeyNumber(TecPoint{}), TvlPoint());
    EXPECT_EQ(PublicKeyNumber(PointOfPublicKey(TvlPoint(1)).point), TvlPoint(1));

    // x^3 = b: y is 0 whatever the key's bit says.
    TgfPoint cubeRootOfB = Constant(1);
    for (int i = 254; i >= 0; --i) {
        cubeRootOfB = Square(cubeRootOfB);
        if (i % 2 == 0) // (2^256 - 1) / 3, the inverse of 3 modulo 2^255 - 1
            cubeRootOfB = MultiplySmall(cubeRootOfB, kCurveB);
    }
    ASSERT_EQ(Multiply(Square(cubeRootOfB), cubeRootOfB), Constant(kCurveB));
    const TvlPoint packed = Pack(cubeRootOfB);
    for (const TvlPoint& v : {packed + packed, packed + packed + TvlPoint(1)})
        EXPECT_EQ(PointOfPublicKey(v).point, (TecPoint{cubeRootOfB, {}}));

    // About half of all x have no point; such a key yields no point at all.
    int offCurve = 0;
    for (int i = 0; i < 40; ++i) {
        const PublicKeyPoint k = PointOfPublicKey(RandomNumber(256));
        offCurve += !k.onCurve;
        if (k.onCurve) {
            ASSERT_TRUE(IsOnCurve(k.point));
        }
    }
    EXPECT_GT(offCurve, 5);
    EXPECT_FALSE(PointOfPublicKey(FromHexText("0001" + QByteArray(64, '0'))).onCurve) << "257 bits";
}

// ---- the engine ----

TEST(ECCrypt, DigestToNumber)
{
    const QByteArray zeros(20, '\0');
    EXPECT_EQ(TEllipticCurve::DigestToNumber(Bytes(zeros)), TvlPoint(20));
    const QByteArray ones(20, '\xFF');
    const TvlPoint m = TEllipticCurve::DigestToNumber(Bytes(ones));
    EXPECT_EQ(m.bitLength(), 191);
    EXPECT_LT(m, GroupOrder());
    QByteArray small(20, '\0');
    small[0] = 2;
    small[1] = 1;
    EXPECT_EQ(TEllipticCurve::DigestToNumber(Bytes(small)), TvlPoint(3 * 4 + 3 + 18 * 3));
}

// Source: a separate bit-by-bit implementation in another language (no tables,
// inversion by exponentiation, plain double and add).
TEST(ECCrypt, KnownAnswersOfAnIndependentImplementation)
{
    EXPECT_EQ(PublicTextOf(TvlPoint(1)), "fTiLXIHpbQ4MImr+2hLCbxMpbYEIFcBlAKeGW+IjQNY+");
    EXPECT_EQ(PublicTextOf(TvlPoint(2)), "b+ruCXOZid4jEVkleunLEGY+gHAtpZcs3CHchPXliYY+");
    EXPECT_EQ(PublicTextOf(TvlPoint(3)), "2yv3LJaShUv2C-UxtFi5zt+gbusJOymytXgvlsnpZ4E+");
    EXPECT_EQ(EngineText(TvlPoint(1)), "++2+");
    struct Case {
        const char* secret;
        const char* publicKey;
        const char* message;
        const char* signature;
    };
    const std::vector<Case> cases = {
        {"2XFKS70fnSwGB3NsY8jBvk", "PA3oE+pnGV1u-GQiMJtFZ6dEM7GaWxqZcdvnjt1vfgY+", "abc",
         "L46UoG+QBhpiGmfDPKxjpCOvSDiQJCrGR-bT82Rf:y7gldQxSBmDuWTq6GmGbUZhorcLDWiEvbMdC2Ey9"},
        // d = n - 2 and a nonce above 2^271: s has 17 digits, 46 characters.
        {"++20PRVEUPUX34YQvNiykkJ5V+t9xmq9LUoZV28vnGw+",
         "b+ruCXOZid4jEVkleunLEGY+gHAtpZcs3CHchPXliYU+", "",
         "hNifeRvCnJp4jWZgnThhNrkAAMrWyvjiCapzE1K5:TzzzzqNPdf8u9JGFio7rcVtko1zjywghOi0vkWbGSEY+tE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_EQ(PublicTextOf(NumberOf(c.secret)), c.publicKey);
        TEllipticCurve ec;
        ec.setKeyPublic(c.publicKey);
        ec.setSignature(c.signature);
        Sha1 hasher;
        hasher.update(c.message);
        EXPECT_TRUE(ec.Verify(hasher.final()));
        // And our own signature of the same digest verifies with that key.
        ec.setKeySecret(c.secret);
        ec.Sign(Digest(c.message));
        ASSERT_FALSE(ec.Signature().isEmpty());
        EXPECT_NE(ec.Signature(), c.signature) << "a fresh nonce";
        EXPECT_TRUE(ec.Verify(Digest(c.message)));
    }
}

class SignedDigest : public testing::Test
{
protected:
    void SetUp() override
    {
        // A full-length public key (all but one in 65536 are).
        do
            keys = MakeKeyPair();
        while (keys.publicText.size() != 44);
        other = MakeKeyPair();
        digest = Digest("26.05.2024 08:00:00,17,Иванов,Разрешить");
        TEllipticCurve ec;
        ec.setKeySecret(keys.secretText);
        ec.Sign(digest);
        signature = ec.Signature();
        ASSERT_FALSE(signature.isEmpty());
        const qsizetype colon = signature.indexOf(':');
        rText = signature.left(colon);
        sText = signature.mid(colon + 1);
    }

    [[nodiscard]] bool verify(const QString& publicKey, const QString& sig,
                              const QByteArray& d = {}) const
    {
        TEllipticCurve ec;
        ec.setKeyPublic(publicKey);
        ec.setSignature(sig);
        return ec.Verify(d.isEmpty() ? digest : d);
    }

    KeyPairTexts keys, other;
    QByteArray digest;
    QString signature, rText, sText;
};

TEST_F(SignedDigest, VerifiesWithItsKeyAndDigestOnly)
{
    EXPECT_TRUE(verify(keys.publicText, signature));
    ASSERT_EQ(keys.publicText.size(), 44) << "the CR LF case below needs a full-length key";
    const TvlPoint r = NumberOf(rText), s = NumberOf(sText);
    struct Case {
        const char* name;
        QString publicKey;
        QString signature;
        QByteArray digest;
    };
    const std::vector<Case> cases = {
        {"another key", other.publicText, signature, {}},
        {"another digest", keys.publicText, signature,
         Digest("26.05.2024 08:00:00,17,Иванов,Отказать")},
        {"r + 1", keys.publicText, EngineText(r + TvlPoint(1)) + ":" + sText, {}},
        {"r - 1", keys.publicText, EngineText(r - TvlPoint(1)) + ":" + sText, {}},
        {"s + 1", keys.publicText, rText + ":" + EngineText(s + TvlPoint(1)), {}},
        {"r and s swapped", keys.publicText, sText + ":" + rText, {}},
        {"no colon", keys.publicText, rText + sText, {}},
        {"s alone", keys.publicText, sText, {}},
        {"CR LF after a 44-character key", keys.publicText + "\r\n", signature, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(verify(c.publicKey, c.signature, c.digest));
    }
}

// n*G is the point at infinity, so s and s + n, s - n verify alike; stored
// signatures have s = k - t unreduced, mostly above n.
TEST_F(SignedDigest, SPlusOrMinusNStillVerifies)
{
    const TvlPoint& n = GroupOrder();
    const TvlPoint s = NumberOf(sText);
    EXPECT_TRUE(verify(keys.publicText, rText + ":" + EngineText(s + n)));
    EXPECT_TRUE(verify(keys.publicText, rText + ":" + EngineText(s + n + n)));
    if (s >= n) {
        EXPECT_TRUE(verify(keys.publicText, rText + ":" + EngineText(s - n)));
    }
    EXPECT_TRUE(verify(keys.publicText, rText + ":" + EngineText(s % n)));
}

// A 40-character text ends on a full group; a CR LF after it adds one zero byte,
// which the digit count drops. After 44 characters it adds a whole digit.
TEST_F(SignedDigest, LineBreakAfterAKeyTextMattersOnlyAfterAPartialGroup)
{
    KeyPairTexts pair = keys;
    while (pair.secretText.size() != 40)
        pair = MakeKeyPair();
    EXPECT_EQ(NumberOf(pair.secretText + "\r\n"), NumberOf(pair.secretText));
    TEllipticCurve ec;
    ec.setKeySecret(pair.secretText + "\r\n");
    ec.Sign(digest);
    EXPECT_TRUE(verify(pair.publicText, ec.Signature()));

    ASSERT_EQ(keys.publicText.size(), 44);
    EXPECT_EQ(NumberOf(keys.publicText + "\r\n"),
              FromHexText(HexText(NumberOf(keys.publicText)) + "0000"));
}

TEST_F(SignedDigest, UnusableInputClearsEveryKeyText)
{
    struct Case {
        const char* name;
        QString publicKey;
        QString signature;
        QByteArray digest;
    };
    const std::vector<Case> cases = {
        {"empty public key", "", signature, digest},
        {"empty signature", keys.publicText, "", digest},
        {"short digest", keys.publicText, signature, digest.left(19)},
        {"public key of 20 digits", keys.publicText + keys.publicText, signature, digest},
        {"r of 20 digits", keys.publicText, QString(56, 'z') + ":" + sText, digest},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TEllipticCurve ec;
        ec.setKeySecret(keys.secretText);
        ec.setKeyPublic(c.publicKey);
        ec.setSignature(c.signature);
        EXPECT_FALSE(ec.Verify(c.digest));
        EXPECT_FALSE(ec.Valid());
        EXPECT_TRUE(ec.KeyPublic().isEmpty());
        EXPECT_TRUE(ec.Signature().isEmpty());
        EXPECT_TRUE(ec.KeySecret().isEmpty());
    }

    TEllipticCurve ec;
    ec.setKeyPublic(keys.publicText);
    ec.setSignature(signature);
    ec.Sign(digest);
    EXPECT_TRUE(ec.KeyPublic().isEmpty() && ec.Signature().isEmpty())
        << "Sign without a secret key";
    ec.setKeySecret(keys.secretText);
    ec.setSignature(signature);
    ec.Sign(digest.left(10));
    EXPECT_TRUE(ec.Signature().isEmpty() && ec.KeySecret().isEmpty()) << "Sign of a short digest";
}

// Texts that decode to other numbers give false and leave the texts as set.
TEST_F(SignedDigest, WrongButUsableTextsGiveFalseWithoutClearing)
{
    QString offCurveKey;
    while (offCurveKey.isEmpty()) {
        const TvlPoint v = RandomNumber(256);
        if (!PointOfPublicKey(v).onCurve)
            offCurveKey = EngineText(v);
    }
    // A line break inside a 44-character key makes a number of 17 digits.
    QString brokenKey = keys.publicText;
    brokenKey.insert(20, "\r\n");
    for (const QString& key :
         {offCurveKey, brokenKey, EngineText(FromHexText(QByteArray(68, 'F')))}) {
        TEllipticCurve ec;
        ec.setKeyPublic(key);
        ec.setSignature(signature);
        EXPECT_FALSE(ec.Verify(digest));
        EXPECT_EQ(ec.KeyPublic(), key);
        EXPECT_EQ(ec.Signature(), signature);
    }
}

TEST_F(SignedDigest, SignWipesTheSecretAndDrawsAFreshNonce)
{
    TEllipticCurve ec;
    ec.setKeySecret(keys.secretText);
    ec.Sign(digest);
    EXPECT_TRUE(ec.KeySecret().isEmpty());
    EXPECT_NE(ec.Signature(), signature);
    EXPECT_TRUE(verify(keys.publicText, ec.Signature()));
    ec.Sign(digest);
    EXPECT_TRUE(ec.Signature().isEmpty()) << "no secret any more";
}

// The key-pair check of the signature window: a test digest of twenty 0x55
// bytes signed with the secret and checked with the public key at once.
TEST_F(SignedDigest, KeyPairCheckTellsMatchingKeys)
{
    const QByteArray testDigest(20, '\x55');
    for (const auto& [publicKey, matches] :
         {std::pair{keys.publicText, true}, std::pair{other.publicText, false}}) {
        TEllipticCurve ec;
        ec.setKeySecret(keys.secretText);
        ec.setKeyPublic(publicKey);
        ec.Sign(testDigest);
        EXPECT_EQ(ec.Verify(testDigest), matches);
    }
}

TEST(ECCrypt, HexModeUsesTheHexTexts)
{
    const KeyPairTexts keys = MakeKeyPair(IOMode::Hex);
    const QRegularExpression hex("^([0-9A-F]{4})+$");
    EXPECT_TRUE(hex.match(keys.secretText).hasMatch()) << keys.secretText.toStdString();
    EXPECT_TRUE(hex.match(keys.publicText).hasMatch());
    TEllipticCurve ec;
    ec.setIOMode(IOMode::Hex);
    ec.setKeySecret(keys.secretText);
    ec.setKeyPublic(keys.publicText);
    const QByteArray digest = Digest("hex");
    ec.Sign(digest);
    EXPECT_TRUE(
        QRegularExpression("^([0-9A-F]{4})+:([0-9A-F]{4})+$").match(ec.Signature()).hasMatch());
    EXPECT_TRUE(ec.Verify(digest));
    ec.setKeyPublic(keys.publicText.toLower());
    EXPECT_FALSE(ec.Verify(digest));
    EXPECT_FALSE(ec.KeyPublic().isEmpty()) << "lower-case hex is a wrong number, not an error";
}

// The engine's Verify against verification with the plain multiplication, on
// genuine signatures and on damaged ones.
TEST(ECCrypt, FastVerifyAgreesWithThePlainMethod)
{
    for (int i = 0; i < 30; ++i) {
        SCOPED_TRACE(i);
        const KeyPairTexts keys = MakeKeyPair();
        const QByteArray digest = Sha1Digest(QByteArray::number(i));
        TEllipticCurve ec;
        ec.setKeySecret(keys.secretText);
        ec.Sign(digest);
        const QString genuine = ec.Signature();
        QString damaged = genuine;
        damaged[int(Rng()() % uint64_t(damaged.size()))] = QChar(kEngineAlphabet[Rng()() % 64]);
        const QString randomKey = EngineText(PublicKeyNumber(RandomCurvePoint()));
        const std::vector<std::pair<QString, QString>> inputs = {
            {keys.publicText, genuine}, {keys.publicText, damaged}, {randomKey, genuine}};
        for (const auto& [publicKey, sig] : inputs) {
            ec.setKeyPublic(publicKey);
            ec.setSignature(sig);
            ASSERT_EQ(ec.Verify(digest), PlainVerify(publicKey, sig, digest)) << sig.toStdString();
        }
        ec.setKeyPublic(keys.publicText);
        ec.setSignature(genuine);
        ASSERT_TRUE(ec.Verify(digest));
    }
}

#include "ECCrypt.h"

#include "ECCurve.h"
#include "ECText.h"

#include <QByteArray>
#include <array>
#include <cstddef>
#include <tuple>
#include <utility>

namespace signature
{

namespace
{

constexpr qsizetype kDigestSize = 20;
constexpr char kSignatureSeparator = ':';
// The nonce k has 17 random digits.
constexpr int kNonceDigits = 17;
// Stands for every character outside ASCII; it is in neither alphabet, so it
// counts as 0 like any other foreign character.
constexpr char kForeignCharacter = '\xFF';

void wipe(QByteArray& bytes)
{
    if (!bytes.isEmpty())
        SecureWipe(bytes.data(), std::size_t(bytes.size()));
    bytes.clear();
}

void wipe(QString& text)
{
    if (!text.isEmpty())
        SecureWipe(text.data(), std::size_t(text.size()) * sizeof(QChar));
    text.clear();
}

void wipe(TvlPoint& number)
{
    number.wipe();
}

// Wipes the secrets it names when the scope ends, however it ends.
template <class... Secret> class Wiper
{
public:
    explicit Wiper(Secret&... secrets) : m_secrets(secrets...) {}
    ~Wiper()
    {
        std::apply([](auto&... secret) { (wipe(secret), ...); }, m_secrets);
    }
    Wiper(const Wiper&) = delete;
    Wiper& operator=(const Wiper&) = delete;

private:
    std::tuple<Secret&...> m_secrets;
};

// One byte per character, as the texts are stored.
QByteArray textBytes(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        out.append(c.unicode() < 0x80 ? char(c.unicode()) : kForeignCharacter);
    }
    return out;
}

TvlPoint numberOfText(QStringView text, IOMode mode)
{
    QByteArray hex = textBytes(text);
    Wiper wiper(hex);
    if (mode == IOMode::Base64) {
        QByteArray decoded = TBase64::decode(hex);
        wipe(hex);
        hex = std::move(decoded);
    }
    return FromHexText(hex);
}

QString textOfNumber(const TvlPoint& v, IOMode mode)
{
    QByteArray hex = HexText(v);
    Wiper wiper(hex);
    if (mode == IOMode::Hex)
        return QString::fromLatin1(hex);
    QByteArray text = TBase64::encode(hex);
    Wiper textWiper(text);
    return QString::fromLatin1(text);
}

std::span<const uint8_t, kDigestSize> digestSpan(QByteArrayView digest)
{
    if (digest.size() != kDigestSize)
        throw ECError(ecerror::kBadDigest);
    return std::span<const uint8_t, kDigestSize>(reinterpret_cast<const uint8_t*>(digest.data()),
                                                 kDigestSize);
}

// A number of the given count of random digits.
TvlPoint randomNumber(int digitCount)
{
    std::array<uint16_t, TvlPoint::kMaxDigits> digits{};
    SystemRandomBytes(std::as_writable_bytes(std::span(digits).first(std::size_t(digitCount))));
    TvlPoint v = TvlPoint::fromDigits(std::span(digits).first(std::size_t(digitCount)));
    SecureWipe(digits.data(), sizeof digits);
    return v;
}

} // namespace

TEllipticCurve::~TEllipticCurve()
{
    ClearKeys();
}

void TEllipticCurve::setKeySecret(const QString& text)
{
    wipe(m_keySecret);
    // A copy of our own, so that the wipe reaches the characters we hold.
    m_keySecret = QString(text.constData(), text.size());
}

void TEllipticCurve::ClearKeys()
{
    m_valid = false;
    wipe(m_keySecret);
    m_keyPublic.clear();
    m_signature.clear();
}

TvlPoint TEllipticCurve::DigestToNumber(std::span<const uint8_t, 20> digest)
{
    const TvlPoint base(uint64_t(digest[0]) + 1);
    TvlPoint m = base;
    for (std::size_t i = 1; i < digest.size(); ++i)
        m = m * TvlPoint(3 * uint64_t(digest[i]) + 1) + base;
    return m;
}

void TEllipticCurve::Sign(QByteArrayView digest)
{
    try {
        signOrThrow(digest);
        wipe(m_keySecret);
    } catch (const std::exception&) {
        ClearKeys();
    }
}

void TEllipticCurve::signOrThrow(QByteArrayView digest)
{
    if (m_keySecret.isEmpty())
        throw ECError(ecerror::kNoSecretKey);
    const TvlPoint m = DigestToNumber(digestSpan(digest));
    const TvlPoint& n = GroupOrder();
    TvlPoint d = numberOfText(m_keySecret, m_ioMode);
    TvlPoint k = randomNumber(kNonceDigits);
    TvlPoint t, kPlusN;
    Wiper wiper(d, k, t, kPlusN);
    const TvlPoint r = (Pack(MultiplyBase(k).x) + m) % n;
    TvlPoint s;
    if (!r.isZero()) {
        t = MulMod(d, r, n);
        if (t > k) {
            kPlusN = k + n;
            s = kPlusN - t;
        } else {
            s = k - t;
        }
    }
    m_signature =
        textOfNumber(r, m_ioMode) + QChar(kSignatureSeparator) + textOfNumber(s, m_ioMode);
}

bool TEllipticCurve::Verify(QByteArrayView digest)
{
    try {
        m_valid = verifyOrThrow(digest);
    } catch (const std::exception&) {
        ClearKeys();
    }
    return m_valid;
}

bool TEllipticCurve::verifyOrThrow(QByteArrayView digest)
{
    if (m_keyPublic.isEmpty() || m_signature.isEmpty())
        throw ECError(ecerror::kNoPublicKeyOrSignature);
    const TvlPoint m = DigestToNumber(digestSpan(digest));
    const qsizetype colon = m_signature.indexOf(QChar(kSignatureSeparator));
    const QStringView rText = colon < 0 ? QStringView() : QStringView(m_signature).first(colon);
    const QStringView sText =
        colon < 0 ? QStringView(m_signature) : QStringView(m_signature).sliced(colon + 1);
    const PublicKeyPoint key = PointOfPublicKey(numberOfText(m_keyPublic, m_ioMode));
    const TvlPoint r = numberOfText(rText, m_ioMode);
    const TvlPoint s = numberOfText(sText, m_ioMode);
    if (!key.onCurve)
        return false;
    const TvlPoint& n = GroupOrder();
    const TvlPoint t = Pack(MultiplyTwo(s, r, key.point).x) % n;
    const TvlPoint c = t > r ? r + n - t : r - t;
    return c == m;
}

KeyPairTexts MakeKeyPair(IOMode mode)
{
    const TvlPoint& n = GroupOrder();
    const int digits = n.count();
    const uint16_t topMask = uint16_t((1u << (n.bitLength() - 16 * (digits - 1))) - 1);
    TvlPoint d;
    Wiper wiper(d);
    // Uniform in 2 .. n-1: draw numbers of n's bit length until one falls there.
    do {
        std::array<uint16_t, TvlPoint::kMaxDigits> raw{};
        SystemRandomBytes(std::as_writable_bytes(std::span(raw).first(std::size_t(digits))));
        raw[std::size_t(digits - 1)] &= topMask;
        d = TvlPoint::fromDigits(std::span(raw).first(std::size_t(digits)));
        SecureWipe(raw.data(), sizeof raw);
    } while (d < TvlPoint(2) || d >= n);
    return {textOfNumber(d, mode), textOfNumber(PublicKeyNumber(MultiplyBase(d)), mode)};
}

} // namespace signature

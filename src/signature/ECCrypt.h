#pragma once
// The elliptic-curve signature engine: Nyberg-Rueppel signatures of 20-byte
// SHA-1 digests on y^2 + xy = x^3 + 161 over GF(2^255).
//
// Keys and signatures travel as texts: PERSONS.PUBLICKEY holds the public key
// text, the key token the secret key text, HISTORY.SIGNATURE the signature text
// "r:s". The engine never reports an error: bad input or a failure inside clears
// the key texts and leaves Valid false.

#include "ECVlPoint.h"

#include <QByteArrayView>
#include <QString>
#include <span>

namespace signature
{

enum class IOMode {
    Base64, // the engine's 64-character texts; what the program stores
    Hex,    // the hex texts themselves
};

class TEllipticCurve
{
public:
    TEllipticCurve() = default;
    // The key texts are wiped from memory.
    ~TEllipticCurve();
    TEllipticCurve(const TEllipticCurve&) = delete;
    TEllipticCurve& operator=(const TEllipticCurve&) = delete;

    [[nodiscard]] IOMode ioMode() const { return m_ioMode; }
    void setIOMode(IOMode mode) { m_ioMode = mode; }

    // The public key text for Verify.
    [[nodiscard]] const QString& KeyPublic() const { return m_keyPublic; }
    void setKeyPublic(const QString& text) { m_keyPublic = text; }
    // The secret key text for Sign. The engine keeps its own copy and wipes it
    // when Sign returns (and on ClearKeys), so it is set anew for each Sign.
    [[nodiscard]] const QString& KeySecret() const { return m_keySecret; }
    void setKeySecret(const QString& text);
    // Output of Sign, input of Verify: the texts of r and s joined by ":".
    [[nodiscard]] const QString& Signature() const { return m_signature; }
    void setSignature(const QString& text) { m_signature = text; }
    // The result of the last Verify; false after ClearKeys.
    [[nodiscard]] bool Valid() const { return m_valid; }

    // Signs a 20-byte digest with KeySecret and sets Signature; a fresh nonce
    // from the system's random source for every signature.
    // Failure (empty KeySecret, a digest of another size, a key text that does
    // not fit, a random source that fails): ClearKeys, Signature stays empty.
    void Sign(QByteArrayView digest);

    // Checks Signature against a 20-byte digest with KeyPublic; sets and
    // returns Valid. A signature text without ":" is the text of s alone (r = 0).
    // Failure (empty KeyPublic or Signature, a digest of another size, a text
    // that does not fit): ClearKeys, so Valid and every key text are cleared.
    // Texts that merely decode to other numbers give false without clearing.
    bool Verify(QByteArrayView digest);

    // Valid := false; KeySecret, KeyPublic and Signature := empty (wiped).
    void ClearKeys();

    // m := h0 + 1, base := m, then m := m * (3 h_i + 1) + base for h1 .. h19;
    // at most 191 bits, always below the group order.
    [[nodiscard]] static TvlPoint DigestToNumber(std::span<const uint8_t, 20> digest);

private:
    bool verifyOrThrow(QByteArrayView digest);
    void signOrThrow(QByteArrayView digest);

    IOMode m_ioMode = IOMode::Base64;
    QString m_keyPublic;
    QString m_keySecret;
    QString m_signature;
    bool m_valid = false;
};

// A new key pair as the administration program makes them: a secret d drawn
// uniformly from 2 .. n-1 with the system's random source, and the public key
// of d*G, both as texts of the given mode.
// Failure: throws ECError (a std::runtime_error) when the random source fails.
struct KeyPairTexts {
    QString secretText;
    QString publicText;
};
[[nodiscard]] KeyPairTexts MakeKeyPair(IOMode mode = IOMode::Base64);

} // namespace signature

#pragma once
// SHA-1 (FIPS 180-1). Used for password digests (PERSONS.PWDHASH) and for the
// digests that signatures cover.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>

namespace signature
{

class Sha1
{
public:
    Sha1() { reset(); }
    void reset();
    void update(QByteArrayView data);
    // The 20-byte digest; the object is reset afterwards.
    [[nodiscard]] std::array<uint8_t, 20> final();

private:
    void block(const uint8_t* p);
    uint32_t m_h[5];
    uint8_t m_buffer[64];
    size_t m_used = 0;
    uint64_t m_length = 0; // bytes so far
};

[[nodiscard]] QByteArray Sha1Digest(QByteArrayView data);
// The digest as 40 upper-case hexadecimal digits, two per byte in digest order.
[[nodiscard]] QString Sha1Hex(QByteArrayView data);

} // namespace signature

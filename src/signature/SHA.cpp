#include "SHA.h"

#include <cstring>

namespace signature
{

namespace
{

inline uint32_t rol(uint32_t v, int n)
{
    return (v << n) | (v >> (32 - n));
}

} // namespace

void Sha1::reset()
{
    m_h[0] = 0x67452301;
    m_h[1] = 0xEFCDAB89;
    m_h[2] = 0x98BADCFE;
    m_h[3] = 0x10325476;
    m_h[4] = 0xC3D2E1F0;
    m_used = 0;
    m_length = 0;
}

void Sha1::block(const uint8_t* p)
{
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = uint32_t(p[4 * i]) << 24 | uint32_t(p[4 * i + 1]) << 16 |
               uint32_t(p[4 * i + 2]) << 8 | uint32_t(p[4 * i + 3]);
    for (int i = 16; i < 80; ++i)
        w[i] = rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
    uint32_t a = m_h[0], b = m_h[1], c = m_h[2], d = m_h[3], e = m_h[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const uint32_t t = rol(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = rol(b, 30);
        b = a;
        a = t;
    }
    m_h[0] += a;
    m_h[1] += b;
    m_h[2] += c;
    m_h[3] += d;
    m_h[4] += e;
}

void Sha1::update(QByteArrayView data)
{
    const auto* p = reinterpret_cast<const uint8_t*>(data.data());
    size_t n = size_t(data.size());
    m_length += n;
    while (n > 0) {
        const size_t take = std::min(n, sizeof m_buffer - m_used);
        std::memcpy(m_buffer + m_used, p, take);
        m_used += take;
        p += take;
        n -= take;
        if (m_used == sizeof m_buffer) {
            block(m_buffer);
            m_used = 0;
        }
    }
}

std::array<uint8_t, 20> Sha1::final()
{
    const uint64_t bits = m_length * 8;
    const uint8_t pad = 0x80;
    update(QByteArrayView(reinterpret_cast<const char*>(&pad), 1));
    const uint8_t zero = 0;
    while (m_used != 56)
        update(QByteArrayView(reinterpret_cast<const char*>(&zero), 1));
    uint8_t len[8];
    for (int i = 0; i < 8; ++i)
        len[i] = uint8_t(bits >> (56 - 8 * i));
    update(QByteArrayView(reinterpret_cast<const char*>(len), 8));
    std::array<uint8_t, 20> out;
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 4; ++j)
            out[size_t(4 * i + j)] = uint8_t(m_h[i] >> (24 - 8 * j));
    reset();
    return out;
}

QByteArray Sha1Digest(QByteArrayView data)
{
    Sha1 h;
    h.update(data);
    const auto d = h.final();
    return QByteArray(reinterpret_cast<const char*>(d.data()), int(d.size()));
}

QString Sha1Hex(QByteArrayView data)
{
    return QString::fromLatin1(Sha1Digest(data).toHex().toUpper());
}

} // namespace signature

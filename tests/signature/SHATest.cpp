#include "SHA.h"

#include <gtest/gtest.h>

using namespace signature;

// Known answers of FIPS 180-1 (appendices A and B, and the million "a").
TEST(SHA, KnownAnswers)
{
    struct Case {
        QByteArray input;
        const char* digest;
    };
    const std::vector<Case> cases = {
        {"", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"},
        {"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "84983E441C3BD26EBAAE4AA1F95129E5E54670F1"},
        {QByteArray(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.left(20).toStdString());
        EXPECT_EQ(Sha1Hex(c.input), QString::fromLatin1(c.digest));
    }
}

TEST(SHA, PiecewiseUpdatesGiveTheSameDigest)
{
    QByteArray data;
    for (int i = 0; i < 300; ++i)
        data.append(char(i * 7));
    const QByteArray whole = Sha1Digest(data);
    for (int step : {1, 3, 63, 64, 65}) {
        Sha1 h;
        for (qsizetype i = 0; i < data.size(); i += step)
            h.update(QByteArrayView(data).sliced(i, std::min<qsizetype>(step, data.size() - i)));
        const auto d = h.final();
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(d.data()), 20), whole)
            << "step " << step;
    }
}

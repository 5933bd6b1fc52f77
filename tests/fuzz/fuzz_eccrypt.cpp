// The curve engine on arbitrary key and signature texts: Verify and Sign
// never crash, whatever the texts hold.

#include "ECCrypt.h"

#include <QStringList>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString all = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const QStringList parts = all.split(u'\n');
    const QByteArray digest(20, char(size & 0xff));
    signature::TEllipticCurve curve;
    curve.setIOMode(size % 2 ? signature::IOMode::Hex : signature::IOMode::Base64);
    curve.setKeyPublic(parts.value(0));
    curve.setSignature(parts.value(1));
    (void)curve.Verify(digest);
    curve.setKeySecret(parts.value(2));
    curve.Sign(digest);
    return 0;
}

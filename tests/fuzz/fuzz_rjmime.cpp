// Base64 decoding of arbitrary text never fails or reads outside its input,
// and what it decodes encodes back to text that decodes to the same bytes.

#include "rjMime.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray bytes = signature::rjMime::Decode(text);
    if (signature::rjMime::Decode(signature::rjMime::Encode(bytes)) != bytes)
        std::abort();
    return 0;
}

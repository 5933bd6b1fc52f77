// Arbitrary bytes as a software key token file: parsing must never crash or
// read outside the input, and whatever parses must write back to the same
// bytes (the format has one encoding per token).

#include "SoftwareKeyToken.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView file(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto token = signature::ParseSoftwareKeyToken(file);
    if (!token)
        return 0;
    if (signature::SerializeSoftwareKeyToken(*token) != file)
        std::abort();
    for (const signature::SoftwareSubKey& subKey : token->subKeys)
        (void)signature::PasswordOpens(subKey, subKey.name);
    return 0;
}

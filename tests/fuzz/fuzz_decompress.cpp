// Decompresses arbitrary bytes: as they are, and as the body of a stream of
// each method with a header made from the first bytes, so that the decoders
// are reached without the fuzzer first having to find an identifier. Every
// outcome must be the decoded bytes or one of the stream's errors. Then the
// input is compressed and must decompress to itself.

#include "Error.h"
#include "LZRW1.h"

#include <cstdint>
#include <cstdlib>

using namespace signature;

namespace
{

void DecompressOrFail(QByteArrayView stream)
{
    try {
        (void)Decompress(stream);
    } catch (const platform::Error&) {
    }
}

QByteArray WithHeader(quint32 identifier, quint32 size, QByteArrayView body)
{
    QByteArray stream;
    for (quint32 value : {identifier, size})
        for (int shift = 0; shift < 32; shift += 8)
            stream.append(char((value >> shift) & 0xFF));
    return stream.append(body);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    DecompressOrFail(input);
    if (input.size() >= 3) {
        // Announced sizes up to 2^17, enough for several "Fast" chunks.
        const quint32 announced = quint32(data[0] | data[1] << 8 | (data[2] & 1) << 16);
        const quint32 identifier =
            (data[2] & 2) ? lzstream::kFastIdentifier : lzstream::kGoodIdentifier;
        DecompressOrFail(WithHeader(identifier, announced, input.sliced(3)));
    }
    if (Decompress(CompressGood(input)) != input)
        std::abort();
    return 0;
}

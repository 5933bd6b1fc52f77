#pragma once
// The "Good" coder of the compressed stream: LZSS over a 4096-byte ring buffer
// with adaptive Huffman coding of literals and match lengths and a fixed prefix
// code for the match positions. Stored record contexts are compared byte for
// byte with freshly packed ones, so the encoder's output is part of the format:
// the match search, its tie rule and the Huffman model below must not change.
//
// This header also holds the texts of every failure of the compressed stream,
// since both the coder and the stream class raise them.

#include <QByteArray>
#include <QByteArrayView>
#include <new>

namespace signature
{

// The exact texts of the compressed stream's failures (thrown as platform::Error).
namespace lzmessage
{
inline constexpr char kNoValidHeader[] =
    "Lzrw1 decompression : input stream contains no valid header !";
inline constexpr char kLzhSizeMismatch[] =
    "Lzrw1 (LZH decompression) : Original and compressed sizes do not match !";
inline constexpr char kLzrSizeMismatch[] =
    "Lzrw1 (decompression LZRW1/KH) : Original and compressed sizes do not match !";
inline constexpr char kReadError[] = "Lzrw1 : Error reading from input stream !";
inline constexpr char kWriteError[] = "Lzrw1 : Error writing to output stream !";
inline constexpr char kNoBufferMemory[] =
    "Lzrw1 (de)compression : Failed to get memory for I/O buffers !";
inline constexpr char kNoTableMemory[] = "LZH : Cannot get memory for dictionary tables";

// Throws platform::Error with text.
[[noreturn]] void Raise(const char* text);

// Runs work and returns its result; a failed allocation of an input or output
// buffer on the way becomes kNoBufferMemory.
template <class Work> auto WithBuffers(Work&& work)
{
    try {
        return work();
    } catch (const std::bad_alloc&) {
        Raise(kNoBufferMemory);
    }
}
} // namespace lzmessage

class TLZH
{
public:
    // Ring buffer size, look-ahead and the longest match not worth coding.
    static constexpr int kRingSize = 4096;
    static constexpr int kLookAhead = 60;
    static constexpr int kThreshold = 2;

    // No symbol codes fewer than 1 bit, and a match of at most 60 bytes costs at
    // least 1 + 3 + 6 bits, so one body byte never decodes to more than 48 bytes.
    static constexpr qint64 kMaxBytesPerBodyByte = 48;

    // The LZHUF bit stream of the whole input (most significant bit first, the
    // last byte filled with zero bits). The same input always gives the same
    // bytes. Throws platform::Error with kNoTableMemory when the coder's tables
    // cannot be allocated, kNoBufferMemory when the output cannot grow.
    [[nodiscard]] static QByteArray Encode(QByteArrayView input);

    // Decodes a bit stream made by Encode into exactly size bytes. Bytes of
    // body after the last symbol needed are ignored.
    // Throws platform::Error with
    //  - kReadError when size could not come from a body this short, or when
    //    decoding needs bits past the end of body (no bits are made up);
    //  - kLzhSizeMismatch when the last match runs past size;
    //  - kNoTableMemory / kNoBufferMemory when memory runs out.
    // Never reads or writes outside its buffers, whatever body holds.
    [[nodiscard]] static QByteArray Decode(QByteArrayView body, quint32 size);
};

} // namespace signature

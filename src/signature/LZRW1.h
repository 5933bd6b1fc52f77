#pragma once
// The compressed stream that record contexts are stored in: an 8-byte header
// (method identifier, then the uncompressed size, both 32-bit little-endian)
// followed by the body. Streams are written with method "Good" (the LZHUF coder
// of lzh.h); streams of method "Fast" (LZRW1-KH blocks) are read as well.
//
// Every reader here works on whole byte spans and never reads or writes
// outside its buffers: malformed or hostile input stops with one of the texts
// of lzmessage (thrown as platform::Error), never with made-up bytes.

#include "lzh.h"

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

namespace signature
{

// The compressor's methods. Only Good is written; Fast streams are read; Auto
// is a writer's choice between the two and never names a stream.
enum class CompressMode { Good, Fast, Auto };

namespace lzstream
{
inline constexpr quint32 kGoodIdentifier = 0x4C5A4821; // bytes 21 48 5A 4C
inline constexpr quint32 kFastIdentifier = 0x4C5A5257; // bytes 57 52 5A 4C
inline constexpr int kHeaderSize = 8;
inline constexpr int kIoBufferSize = 32768;
} // namespace lzstream

// The "Fast" decoder. The body is a sequence of blocks, each a 16-bit
// little-endian length and that many bytes, one block per 32768-byte chunk of
// the original; a block that decodes to fewer than 32768 bytes is the last.
class TLZR
{
public:
    static constexpr int kChunkSize = 32768;
    static constexpr quint8 kStoredFlag = 0x80;
    // A 4-byte run item gives at most 4111 bytes, the best any item does.
    static constexpr qint64 kMaxBytesPerBodyByte = 1028;

    // Decodes the blocks of body into exactly size bytes. Bytes after the last
    // block are ignored. Throws platform::Error with
    //  - kReadError when a block length, a block or an item inside a block
    //    runs past the end, or when size could not come from a body this short;
    //  - kLzrSizeMismatch when the blocks decode to another size, when a block
    //    decodes to more than 32768 bytes, or when a copy reaches back before
    //    the start of its block;
    //  - kNoBufferMemory when the output cannot be allocated.
    [[nodiscard]] static QByteArray Decode(QByteArrayView body, quint32 size);
};

// The compressor in stream mode: set an input and an output device, then run
// Compress or Decompress over the whole input from its current position.
// The devices stay owned by the caller and must be open.
class Tlzrw1
{
public:
    void setInputStream(QIODevice* input) { m_input = input; }
    void setOutputStream(QIODevice* output) { m_output = output; }

    // Reads the input to its end and writes its compressed stream (method
    // Good) to the output. Returns the bytes written, header included.
    // Throws platform::Error: kReadError when there is no readable input or a
    // read fails, kWriteError when the output stores fewer bytes than given,
    // kNoBufferMemory when memory runs out or the input is 4 GiB or longer
    // (the header cannot hold its size), kNoTableMemory.
    qint64 Compress();

    // Reads the input to its end, decodes the stream it holds (Good or Fast)
    // and writes the original bytes to the output. Returns the bytes written.
    // Throws platform::Error with the texts of signature::Decompress, and
    // kReadError / kWriteError for failing devices. Nothing is written unless
    // the whole stream decodes.
    qint64 Decompress();

private:
    QByteArray readInput();
    void writeOutput(QByteArrayView data);

    QIODevice* m_input = nullptr;
    QIODevice* m_output = nullptr;
};

// The compressed stream (method Good) of data. The same data always gives the
// same bytes. Throws platform::Error with kNoBufferMemory (also for data of
// 4 GiB or more) or kNoTableMemory.
[[nodiscard]] QByteArray CompressGood(QByteArrayView data);

// The method named by the header at the start of stream.
// Throws platform::Error with kReadError when stream is shorter than an
// identifier, kNoValidHeader when the identifier is neither Good nor Fast.
[[nodiscard]] CompressMode StreamMethod(QByteArrayView stream);

// The original bytes of a compressed stream of either method; bytes after the
// stream's end are ignored. Throws platform::Error: kNoValidHeader,
// kReadError (stream cut short, or a size out of all proportion to it, refused
// before anything is allocated), kLzhSizeMismatch / kLzrSizeMismatch (data
// that decodes to another size), kNoBufferMemory, kNoTableMemory.
[[nodiscard]] QByteArray Decompress(QByteArrayView stream);

} // namespace signature

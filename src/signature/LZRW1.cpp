#include "LZRW1.h"

#include <QIODevice>

#include <limits>

namespace signature
{
namespace
{

using lzmessage::Raise;

// Reads a byte span front to back; a read past the end is kReadError.
class ByteReader
{
public:
    explicit ByteReader(QByteArrayView bytes) : m_bytes(bytes) {}

    bool atEnd() const { return m_pos >= m_bytes.size(); }

    QByteArrayView take(qsizetype count)
    {
        if (count > m_bytes.size() - m_pos)
            Raise(lzmessage::kReadError);
        const QByteArrayView part = m_bytes.sliced(m_pos, count);
        m_pos += count;
        return part;
    }
    quint8 byte() { return quint8(take(1)[0]); }
    quint16 wordBigEndian()
    {
        const QByteArrayView w = take(2);
        return quint16(quint8(w[0]) << 8 | quint8(w[1]));
    }
    quint16 wordLittleEndian()
    {
        const QByteArrayView w = take(2);
        return quint16(quint8(w[1]) << 8 | quint8(w[0]));
    }
    quint32 dwordLittleEndian()
    {
        const quint32 low = wordLittleEndian();
        return quint32(wordLittleEndian()) << 16 | low;
    }

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};

void AppendLittleEndian(QByteArray& out, quint32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((value >> shift) & 0xFF));
}

// One block's items: a 16-bit control word before every 16 items, most
// significant bit first; 0 a literal byte, 1 a copy or a run.
void DecodeCompressedBlock(ByteReader& in, QByteArray& out)
{
    const qsizetype start = out.size();
    auto reserveRoom = [&](qsizetype count) {
        if (out.size() - start + count > TLZR::kChunkSize)
            Raise(lzmessage::kLzrSizeMismatch);
    };
    unsigned control = in.wordBigEndian();
    int itemsLeft = 16;
    while (!in.atEnd()) {
        if (itemsLeft == 0) {
            control = in.wordBigEndian();
            itemsLeft = 16;
        }
        const bool literal = (control & 0x8000) == 0;
        control <<= 1;
        --itemsLeft;
        if (literal) {
            reserveRoom(1);
            out.append(char(in.byte()));
            continue;
        }
        const unsigned item = in.wordBigEndian();
        const qsizetype offset = item >> 4;
        if (offset == 0) {
            const qsizetype count = ((item & 0x0F) << 8 | in.byte()) + 16;
            const char value = char(in.byte());
            reserveRoom(count);
            out.append(count, value);
            continue;
        }
        const qsizetype length = (item & 0x0F) + 3;
        if (offset > out.size() - start)
            Raise(lzmessage::kLzrSizeMismatch);
        reserveRoom(length);
        // Byte by byte: the copy may overlap the bytes it produces.
        for (qsizetype k = 0; k < length; ++k)
            out.append(out[out.size() - offset]);
    }
}

void DecodeBlock(QByteArrayView block, QByteArray& out)
{
    if (block.size() < 2)
        return;
    ByteReader in(block);
    if (in.byte() == TLZR::kStoredFlag) {
        const QByteArrayView stored = in.take(block.size() - 1);
        if (stored.size() > TLZR::kChunkSize)
            Raise(lzmessage::kLzrSizeMismatch);
        out.append(stored);
        return;
    }
    DecodeCompressedBlock(in, out);
}

} // namespace

QByteArray TLZR::Decode(QByteArrayView body, quint32 size)
{
    return lzmessage::WithBuffers([&] {
        if (qint64(size) > kMaxBytesPerBodyByte * body.size())
            Raise(lzmessage::kReadError);
        QByteArray out;
        out.reserve(qsizetype(size));
        ByteReader in(body);
        qsizetype produced = 0;
        do {
            const quint16 length = in.wordLittleEndian();
            const qsizetype before = out.size();
            DecodeBlock(in.take(length), out);
            produced = out.size() - before;
            if (out.size() > qsizetype(size))
                Raise(lzmessage::kLzrSizeMismatch);
        } while (produced == kChunkSize);
        if (out.size() != qsizetype(size))
            Raise(lzmessage::kLzrSizeMismatch);
        return out;
    });
}

QByteArray CompressGood(QByteArrayView data)
{
    return lzmessage::WithBuffers([&] {
        if (quint64(data.size()) > std::numeric_limits<quint32>::max())
            Raise(lzmessage::kNoBufferMemory);
        QByteArray stream;
        AppendLittleEndian(stream, lzstream::kGoodIdentifier);
        AppendLittleEndian(stream, quint32(data.size()));
        stream.append(TLZH::Encode(data));
        return stream;
    });
}

CompressMode StreamMethod(QByteArrayView stream)
{
    ByteReader in(stream);
    switch (in.dwordLittleEndian()) {
    case lzstream::kGoodIdentifier:
        return CompressMode::Good;
    case lzstream::kFastIdentifier:
        return CompressMode::Fast;
    default:
        Raise(lzmessage::kNoValidHeader);
    }
}

QByteArray Decompress(QByteArrayView stream)
{
    const CompressMode method = StreamMethod(stream);
    ByteReader header(stream);
    header.take(4);
    const quint32 size = header.dwordLittleEndian();
    const QByteArrayView body = stream.sliced(lzstream::kHeaderSize);
    return method == CompressMode::Good ? TLZH::Decode(body, size) : TLZR::Decode(body, size);
}

qint64 Tlzrw1::Compress()
{
    const QByteArray stream = CompressGood(readInput());
    writeOutput(stream);
    return stream.size();
}

qint64 Tlzrw1::Decompress()
{
    const QByteArray data = signature::Decompress(readInput());
    writeOutput(data);
    return data.size();
}

QByteArray Tlzrw1::readInput()
{
    if (m_input == nullptr || !m_input->isReadable())
        Raise(lzmessage::kReadError);
    return lzmessage::WithBuffers([&] {
        QByteArray data;
        for (;;) {
            const qsizetype at = data.size();
            data.resize(at + lzstream::kIoBufferSize);
            const qint64 got = m_input->read(data.data() + at, lzstream::kIoBufferSize);
            if (got < 0)
                Raise(lzmessage::kReadError);
            data.resize(at + got);
            if (got == 0)
                return data;
        }
    });
}

void Tlzrw1::writeOutput(QByteArrayView data)
{
    if (m_output == nullptr || !m_output->isWritable())
        Raise(lzmessage::kWriteError);
    for (qsizetype at = 0; at < data.size(); at += lzstream::kIoBufferSize) {
        const qsizetype count = std::min<qsizetype>(lzstream::kIoBufferSize, data.size() - at);
        if (m_output->write(data.data() + at, count) != count)
            Raise(lzmessage::kWriteError);
    }
}

} // namespace signature

#include "LZRW1.h"

#include "Error.h"
#include "SHA.h"
#include "TextEncoding.h"

#include <QBuffer>
#include <QIODevice>
#include <gtest/gtest.h>

#include <random>

using namespace signature;

namespace
{

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

QByteArray LittleEndian32(quint32 value)
{
    return Bytes(
        {int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF), int(value >> 24)});
}

QByteArray Header(quint32 identifier, quint32 size)
{
    return LittleEndian32(identifier) + LittleEndian32(size);
}

QByteArray RandomBytes(int count, unsigned seed)
{
    std::mt19937 rng(seed);
    QByteArray out(count, '\0');
    for (char& c : out)
        c = char(rng() & 0xFF);
    return out;
}

// Russian journal prose in code page 1251, varied so that matches have many
// lengths and distances.
QByteArray CyrillicText(int length)
{
    const QStringList words =
        QString::fromUtf8("Оперативный журнал смена принял сдал оборудование трансформатор "
                          "выключатель отключён включён ремонт осмотр замечаний нет давление "
                          "масла в норме температура обмотки подстанция ввод секция шин "
                          "дежурный инженер распоряжение наряд допуск заземление снято "
                          "установлено Ёлкино Щёкино № 1251 «кавычки» — тире")
            .split(' ');
    std::mt19937 rng(1251);
    QString text;
    while (text.size() < length)
        text += words[int(rng() % words.size())] + ((rng() % 9) == 0 ? ".\r\n" : " ");
    return platform::ToCp1251(text.left(length));
}

// The text of the platform::Error that work throws, or "no error".
template <class Work> std::string ErrorOf(Work&& work)
{
    try {
        work();
    } catch (const platform::Error& e) {
        return e.text().toStdString();
    }
    return "no error";
}

// A test-only writer of "Fast" blocks, item by item, following the block
// format; the program itself never writes this method.
class FastBlock
{
public:
    FastBlock& literal(char c) { return item(false, QByteArray(1, c)); }
    FastBlock& copy(int offset, int length)
    {
        const int word = offset << 4 | (length - 3);
        return item(true, Bytes({word >> 8, word & 0xFF}));
    }
    FastBlock& run(int count, char value)
    {
        const int n = count - 16;
        return item(true, Bytes({0, n >> 8, n & 0xFF}) + value);
    }
    // Flag byte 0x40, then per 16 items a big-endian control word and the items.
    QByteArray bytes() const
    {
        QByteArray out(1, char(0x40));
        for (size_t first = 0; first < m_items.size(); first += 16) {
            int control = 0;
            QByteArray items;
            for (size_t k = 0; k < 16; ++k) {
                control <<= 1;
                if (first + k < m_items.size()) {
                    control |= m_isCopy[first + k] ? 1 : 0;
                    items += m_items[first + k];
                }
            }
            out += Bytes({control >> 8, control & 0xFF}) + items;
        }
        return out;
    }

private:
    FastBlock& item(bool isCopy, const QByteArray& bytes)
    {
        m_isCopy.push_back(isCopy);
        m_items.push_back(bytes);
        return *this;
    }
    std::vector<bool> m_isCopy;
    std::vector<QByteArray> m_items;
};

QByteArray StoredBlock(const QByteArray& chunk)
{
    return char(TLZR::kStoredFlag) + chunk;
}

// Header, then each block behind its 16-bit little-endian length.
QByteArray FastStream(quint32 size, const std::vector<QByteArray>& blocks)
{
    QByteArray out = Header(lzstream::kFastIdentifier, size);
    for (const QByteArray& block : blocks)
        out += Bytes({int(block.size() & 0xFF), int(block.size() >> 8)}) + block;
    return out;
}

// A device that stores at most `room` bytes, then refuses.
class ShortWriteDevice : public QIODevice
{
public:
    explicit ShortWriteDevice(qint64 room) : m_room(room) { open(QIODevice::WriteOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64 len) override
    {
        const qint64 taken = std::min(len, m_room);
        m_room -= taken;
        return taken;
    }

private:
    qint64 m_room;
};

// A device whose reads fail.
class FailingReadDevice : public QIODevice
{
public:
    FailingReadDevice() { open(QIODevice::ReadOnly); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char*, qint64) override { return -1; }
};

// --- Round trips -----------------------------------------------------------

struct RoundTripCase {
    const char* name;
    QByteArray input;
};

void PrintTo(const RoundTripCase& c, std::ostream* os)
{
    *os << c.name;
}

class LzrwRoundTrip : public testing::TestWithParam<RoundTripCase>
{
};

TEST_P(LzrwRoundTrip, DecompressGivesTheInputBackAndCompressIsRepeatable)
{
    const QByteArray& input = GetParam().input;
    const QByteArray packed = CompressGood(input);

    ASSERT_GE(packed.size(), lzstream::kHeaderSize);
    EXPECT_EQ(packed.left(8), Header(lzstream::kGoodIdentifier, quint32(input.size())));
    EXPECT_EQ(StreamMethod(packed), CompressMode::Good);
    EXPECT_EQ(Decompress(packed), input);
    EXPECT_EQ(CompressGood(input), packed);
}

TEST_P(LzrwRoundTrip, StreamModeWritesTheSameBytes)
{
    const QByteArray& input = GetParam().input;
    QByteArray source = input;
    QBuffer in(&source);
    in.open(QIODevice::ReadOnly);
    QByteArray packed;
    QBuffer out(&packed);
    out.open(QIODevice::WriteOnly);

    Tlzrw1 lz;
    lz.setInputStream(&in);
    lz.setOutputStream(&out);
    const qint64 packedCount = lz.Compress();
    EXPECT_EQ(packed, CompressGood(input));
    EXPECT_EQ(packedCount, packed.size());

    QBuffer packedIn(&packed);
    packedIn.open(QIODevice::ReadOnly);
    QByteArray restored;
    QBuffer restoredOut(&restored);
    restoredOut.open(QIODevice::WriteOnly);
    lz.setInputStream(&packedIn);
    lz.setOutputStream(&restoredOut);
    const qint64 restoredCount = lz.Decompress();
    EXPECT_EQ(restored, input);
    EXPECT_EQ(restoredCount, input.size());
}

QByteArray Repeated(const QByteArray& piece, int times)
{
    return piece.repeated(times);
}

INSTANTIATE_TEST_SUITE_P(
    LzrwInputs, LzrwRoundTrip,
    testing::Values(RoundTripCase{"Empty", {}}, RoundTripCase{"OneByte", "A"},
                    RoundTripCase{"ThreeSpaces", "   "},
                    RoundTripCase{"ShorterThanLookAhead", CyrillicText(59)},
                    RoundTripCase{"LookAhead", CyrillicText(60)},
                    RoundTripCase{"LongerThanLookAhead", CyrillicText(61)},
                    RoundTripCase{"RingMinusOne", CyrillicText(4095)},
                    RoundTripCase{"Ring", CyrillicText(4096)},
                    RoundTripCase{"RingPlusOne", CyrillicText(4097)},
                    RoundTripCase{"CyrillicJournal", CyrillicText(50000)},
                    RoundTripCase{"LongRun", QByteArray(100000, 'x')},
                    RoundTripCase{"RunOfZeros", QByteArray(5000, '\0')},
                    RoundTripCase{"RunOfSpaces", QByteArray(5000, ' ')},
                    RoundTripCase{"ShortPeriods", Repeated(QByteArray("ab\0c\xff", 5), 3001)},
                    RoundTripCase{"Random", RandomBytes(70000, 42)},
                    RoundTripCase{"AllByteValues", Repeated(RandomBytes(256, 7), 2) +
                                                       CyrillicText(3000) + RandomBytes(900, 8)}),
    [](const testing::TestParamInfo<RoundTripCase>& info) { return std::string(info.param.name); });

// --- Exact bytes -----------------------------------------------------------

// Worked out by hand from the initial Huffman tree, in which node i (below the
// root) is the child of node 314 + i / 2 and a symbol's code is the low bits of
// the nodes on its way up, read from the root down:
//  - "A": a literal; leaf 65 goes up through 346, 487, 557, 592, 610, 619, 623,
//    625 to the root, code 111001101, written E6 80.
//  - "   ": the strings at 4035 and 4036 share three spaces (4039 on holds
//    zeros), so a match of length 3 at distance code 0; symbol 256 goes up
//    through 442, 535, 581, 604, 616, 622, 625, code 10001100, then the
//    position: prefix 000 and six zero bits. 17 bits, written 8C 00 00.
//    (Were 4039 on spaces, the strings from 3976 on would all be equal, each
//    would replace the one before in the tree and the match would be found at
//    distance code 59: the zero content is part of the output.)
//  - four spaces: the same with symbol 257, code 10001101.
TEST(LzrwGood, KnownAnswers)
{
    struct Case {
        QByteArray input;
        QByteArray body;
    };
    const std::vector<Case> cases = {
        {"", {}},
        {"A", Bytes({0xE6, 0x80})},
        {"   ", Bytes({0x8C, 0x00, 0x00})},
        {"    ", Bytes({0x8D, 0x00, 0x00})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.toStdString());
        EXPECT_EQ(CompressGood(c.input).toHex(' '),
                  (Header(lzstream::kGoodIdentifier, quint32(c.input.size())) + c.body).toHex(' '));
    }
}

// Stored signatures compare packed contexts byte for byte, so the coder's
// output must never change. These digests were recorded from this coder; if
// one changes, contexts packed before no longer verify.
TEST(LzrwGood, OutputOfTheCoderNeverChanges)
{
    struct Case {
        const char* name;
        QByteArray input;
        const char* digest;
    };
    const std::vector<Case> cases = {
        {"CyrillicJournal", CyrillicText(30000), "3228FFE904B12851B3D234FCED89FF3DACA447BA"},
        {"Random", RandomBytes(40000, 42), "C68F81F115BAADE2B1CA9522F34E126A0A4AA029"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Sha1Hex(CompressGood(c.input)).toStdString(), c.digest);
    }
}

TEST(LzrwGood, DecodingStopsAtTheAnnouncedSize)
{
    // Bytes after the end of the stream are not looked at.
    const QByteArray text = CyrillicText(700);
    EXPECT_EQ(Decompress(CompressGood(text) + RandomBytes(100, 3)), text);
}

// --- "Fast" streams --------------------------------------------------------

TEST(LzrwFast, BlocksDecode)
{
    struct Case {
        const char* name;
        QByteArray stream;
        QByteArray expected;
    };
    const QByteArray chunk = RandomBytes(TLZR::kChunkSize, 11);
    FastBlock sixteenPlus;
    for (int i = 0; i < 20; ++i)
        sixteenPlus.literal(char('a' + i));
    FastBlock runsToAChunk;
    for (int i = 0; i < 7; ++i)
        runsToAChunk.run(4111, char('0' + i));
    runsToAChunk.run(TLZR::kChunkSize - 7 * 4111, 'z');

    const std::vector<Case> cases = {
        {"Stored", FastStream(5, {StoredBlock("hello")}), "hello"},
        {"EmptyChunk", FastStream(0, {StoredBlock({})}), {}},
        {"EmptyBlock", FastStream(0, {QByteArray()}), {}},
        {"LiteralsCopiesRuns",
         FastStream(29, {FastBlock()
                             .literal('a')
                             .literal('b')
                             .literal('c')
                             .copy(3, 6)
                             .run(16, '-')
                             .copy(1, 3)
                             .literal('!')
                             .bytes()}),
         "abcabcabc" + QByteArray(19, '-') + "!"},
        {"OverlappingCopy", FastStream(19, {FastBlock().literal('q').copy(1, 18).bytes()}),
         QByteArray(19, 'q')},
        {"LongestRun", FastStream(4111, {FastBlock().run(4111, '\xff').bytes()}),
         QByteArray(4111, '\xff')},
        {"SecondControlWord", FastStream(20, {sixteenPlus.bytes()}), "abcdefghijklmnopqrst"},
        {"MultipleOf32768EndsWithOneByteBlock",
         FastStream(2 * TLZR::kChunkSize,
                    {StoredBlock(chunk), StoredBlock(chunk), StoredBlock({})}),
         chunk + chunk},
        {"CompressedFullChunkThenShortBlock",
         FastStream(TLZR::kChunkSize + 3, {runsToAChunk.bytes(), StoredBlock("end")}),
         []() {
             QByteArray expected;
             for (int i = 0; i < 7; ++i)
                 expected += QByteArray(4111, char('0' + i));
             return expected + QByteArray(TLZR::kChunkSize - 7 * 4111, 'z') + "end";
         }()},
        {"BytesAfterTheLastBlockAreIgnored", FastStream(3, {StoredBlock("abc")}) + "junk", "abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(StreamMethod(c.stream), CompressMode::Fast);
        EXPECT_EQ(Decompress(c.stream), c.expected);
    }
}

// --- Malformed streams -----------------------------------------------------

TEST(LzrwErrors, MalformedStreamsEndInTheirError)
{
    using namespace lzmessage;
    struct Case {
        const char* name;
        QByteArray stream;
        const char* error;
    };
    const QByteArray threeSpaces = CompressGood("   ");
    const QByteArray journal = CompressGood(CyrillicText(2000));
    FastBlock sixteen;
    for (int i = 0; i < 16; ++i)
        sixteen.literal('x');

    const std::vector<Case> cases = {
        {"Empty", {}, kReadError},
        {"ShortIdentifier", Bytes({0x21, 0x48, 0x5A}), kReadError},
        {"UnknownIdentifier", Header(0x4C5A4822, 0), kNoValidHeader},
        {"IdentifierOfTheOtherByteOrder", Bytes({0x4C, 0x5A, 0x48, 0x21, 0, 0, 0, 0}),
         kNoValidHeader},
        {"SizeCut", Header(lzstream::kGoodIdentifier, 5).left(6), kReadError},
        {"GoodBodyMissing", Header(lzstream::kGoodIdentifier, 1), kReadError},
        {"GoodSizeOutOfProportion", Header(lzstream::kGoodIdentifier, 0xFFFFFFFF) + journal.mid(8),
         kReadError},
        {"GoodSizeLargerThanTheData", Header(lzstream::kGoodIdentifier, 2001) + journal.mid(8),
         kReadError},
        {"GoodLastMatchRunsPastTheSize", Header(lzstream::kGoodIdentifier, 2) + threeSpaces.mid(8),
         kLzhSizeMismatch},
        {"FastNoBlock", Header(lzstream::kFastIdentifier, 0), kReadError},
        {"FastBlockLengthCut", Header(lzstream::kFastIdentifier, 0) + '\x05', kReadError},
        {"FastBlockCut", FastStream(5, {StoredBlock("hello")}).chopped(1), kReadError},
        {"FastFirstControlWordCut", FastStream(0, {Bytes({0x40, 0x00})}), kReadError},
        {"FastCopyItemCut", FastStream(4, {FastBlock().literal('a').copy(1, 3).bytes().chopped(1)}),
         kReadError},
        {"FastRunItemCut", FastStream(16, {FastBlock().run(16, 'r').bytes().chopped(1)}),
         kReadError},
        {"FastNextControlWordCut", FastStream(17, {sixteen.bytes() + 'x'}), kReadError},
        {"FastNextBlockMissing",
         FastStream(TLZR::kChunkSize, {StoredBlock(QByteArray(TLZR::kChunkSize, 'a'))}),
         kReadError},
        {"FastSizeOutOfProportion", FastStream(0xFFFFFFFF, {StoredBlock("abc")}), kReadError},
        {"FastFewerBytesThanAnnounced", FastStream(4, {StoredBlock("abc")}), kLzrSizeMismatch},
        {"FastMoreBytesThanAnnounced", FastStream(2, {StoredBlock("abc")}), kLzrSizeMismatch},
        {"FastCopyBeforeTheBlock",
         FastStream(TLZR::kChunkSize + 4, {StoredBlock(QByteArray(TLZR::kChunkSize, 'a')),
                                           FastBlock().literal('a').copy(2, 3).bytes()}),
         kLzrSizeMismatch},
        {"FastStoredBlockOverAChunk",
         FastStream(TLZR::kChunkSize + 1, {StoredBlock(QByteArray(TLZR::kChunkSize + 1, 'a'))}),
         kLzrSizeMismatch},
        {"FastRunsOverAChunk", FastStream(9 * 4111, {[] {
                                              FastBlock block;
                                              for (int i = 0; i < 9; ++i)
                                                  block.run(4111, 'r');
                                              return block.bytes();
                                          }()}),
         kLzrSizeMismatch},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ErrorOf([&] { (void)Decompress(c.stream); }), c.error);
    }
}

// Decoding never makes up bits: every stream cut short is a read error.
TEST(LzrwErrors, EveryTruncatedGoodStreamIsAReadError)
{
    const QByteArray packed = CompressGood(CyrillicText(400) + QByteArray(300, ' '));
    for (qsizetype length = 0; length < packed.size(); ++length) {
        SCOPED_TRACE(length);
        EXPECT_EQ(ErrorOf([&] { (void)Decompress(packed.left(length)); }), lzmessage::kReadError);
    }
}

// A garbled body decodes to something of the announced size or ends in one
// of the stream's errors; it never crashes or reads outside the input.
TEST(LzrwErrors, BitFlipsEndInAListedErrorOrInTheAnnouncedSize)
{
    const QByteArray text = CyrillicText(600);
    const QByteArray packed = CompressGood(text);
    const std::vector<std::string> listed = {lzmessage::kReadError, lzmessage::kLzhSizeMismatch,
                                             lzmessage::kNoValidHeader};
    for (qsizetype bit = 0; bit < packed.size() * 8; ++bit) {
        SCOPED_TRACE(bit);
        QByteArray garbled = packed;
        garbled[bit / 8] = char(garbled[bit / 8] ^ (1 << (bit % 8)));
        try {
            const QByteArray decoded = Decompress(garbled);
            if (bit >= 64) {
                EXPECT_EQ(decoded.size(), text.size());
            }
        } catch (const platform::Error& e) {
            EXPECT_NE(std::find(listed.begin(), listed.end(), e.text().toStdString()), listed.end())
                << e.text().toStdString();
        }
    }
}

// --- Stream mode -----------------------------------------------------------

TEST(LzrwStream, ReadsFromTheCurrentPositionAndAppendsToTheOutput)
{
    const QByteArray text = CyrillicText(3000);
    QByteArray source = "skipped" + text;
    QBuffer in(&source);
    in.open(QIODevice::ReadOnly);
    in.seek(7);
    QByteArray written = "kept";
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly | QIODevice::Append);

    Tlzrw1 lz;
    lz.setInputStream(&in);
    lz.setOutputStream(&out);
    const qint64 count = lz.Compress();

    EXPECT_EQ(written, "kept" + CompressGood(text));
    EXPECT_EQ(count, written.size() - 4);
}

TEST(LzrwStream, FailingDevicesGiveTheStreamErrors)
{
    const QByteArray packed = CompressGood(CyrillicText(70000));
    QByteArray source = packed;
    QBuffer packedIn(&source);
    packedIn.open(QIODevice::ReadOnly);
    QBuffer closed;
    FailingReadDevice failingIn;
    ShortWriteDevice shortOut(packed.size() - 1);
    QByteArray sink;
    QBuffer goodOut(&sink);
    goodOut.open(QIODevice::WriteOnly);

    struct Case {
        const char* name;
        QIODevice* input;
        QIODevice* output;
        bool compress;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"NoInput", nullptr, &goodOut, true, lzmessage::kReadError},
        {"InputNotOpen", &closed, &goodOut, false, lzmessage::kReadError},
        {"ReadFails", &failingIn, &goodOut, true, lzmessage::kReadError},
        {"NoOutput", &packedIn, nullptr, false, lzmessage::kWriteError},
        {"OutputStoresLess", &packedIn, &shortOut, false, lzmessage::kWriteError},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        packedIn.seek(0);
        Tlzrw1 lz;
        lz.setInputStream(c.input);
        lz.setOutputStream(c.output);
        EXPECT_EQ(ErrorOf([&] { (void)(c.compress ? lz.Compress() : lz.Decompress()); }), c.error);
    }
}

TEST(LzrwStream, AFailedDecompressionWritesNothing)
{
    QByteArray source = CompressGood(CyrillicText(5000)).chopped(1);
    QBuffer in(&source);
    in.open(QIODevice::ReadOnly);
    QByteArray written;
    QBuffer out(&written);
    out.open(QIODevice::WriteOnly);
    Tlzrw1 lz;
    lz.setInputStream(&in);
    lz.setOutputStream(&out);

    EXPECT_EQ(ErrorOf([&] { lz.Decompress(); }), lzmessage::kReadError);
    EXPECT_TRUE(written.isEmpty());
}

} // namespace

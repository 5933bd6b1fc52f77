#include "lzh.h"

#include "Error.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

namespace signature
{

void lzmessage::Raise(const char* text)
{
    throw platform::Error(QString::fromLatin1(text));
}

namespace
{

using lzmessage::Raise;

constexpr int kRing = TLZH::kRingSize;
constexpr int kRingMask = kRing - 1;
constexpr int kF = TLZH::kLookAhead;
constexpr int kThreshold = TLZH::kThreshold;
constexpr int kTextStart = kRing - kF;                  // 4036: first position of new text
constexpr int kSymbols = 256 - kThreshold + kF;         // 314: bytes, then match lengths 3 to 60
constexpr int kTable = 2 * kSymbols - 1;                // 627 nodes; leaves are kTable + symbol
constexpr int kRoot = kTable - 1;                       // 626
constexpr int kFirstMatchSymbol = 256 - kThreshold - 1; // symbol = 253 + match length
constexpr uint32_t kMaxFreq = 0x8000;
constexpr uint32_t kFreqSentinel = 0xFFFF;
constexpr uint8_t kInitialFill = 0x20;

// --- Fixed prefix code of the high 6 bits of a match position -------------

struct PositionCode {
    std::array<uint8_t, 64> length{};
    std::array<uint8_t, 64> pattern{};  // the code, left-aligned in 8 bits
    std::array<uint8_t, 256> valueOf{}; // the value whose code begins a given byte
};

// Lengths by value, codes assigned canonically in increasing order of value.
constexpr PositionCode MakePositionCode()
{
    constexpr struct {
        int count;
        int length;
    } kRuns[] = {{1, 3}, {3, 4}, {8, 5}, {12, 6}, {24, 7}, {16, 8}};
    PositionCode code;
    int value = 0;
    int next = 0; // next free 8-bit left-aligned pattern
    for (const auto& run : kRuns) {
        for (int k = 0; k < run.count; ++k, ++value) {
            const int span = 1 << (8 - run.length);
            code.length[value] = uint8_t(run.length);
            code.pattern[value] = uint8_t(next);
            for (int b = next; b < next + span; ++b)
                code.valueOf[b] = uint8_t(value);
            next += span;
        }
    }
    return code;
}

constexpr PositionCode kPositionCode = MakePositionCode();
static_assert(kPositionCode.pattern[1] == 0x20 && kPositionCode.pattern[5] == 0x58 &&
              kPositionCode.pattern[12] == 0x90 && kPositionCode.pattern[24] == 0xC0 &&
              kPositionCode.pattern[47] == 0xEE && kPositionCode.pattern[48] == 0xF0 &&
              kPositionCode.pattern[63] == 0xFF);

// --- Bit streams, most significant bit first -------------------------------

class BitWriter
{
public:
    explicit BitWriter(QByteArray& out) : m_out(out) {}

    void putBit(unsigned bit)
    {
        m_acc = uint8_t((m_acc << 1) | bit);
        if (++m_count == 8) {
            m_out.append(char(m_acc));
            m_count = 0;
        }
    }
    void putBits(unsigned value, int count)
    {
        while (count-- > 0)
            putBit((value >> count) & 1);
    }
    // Writes a partly filled last byte with zero bits below.
    void flush()
    {
        if (m_count > 0)
            m_out.append(char(m_acc << (8 - m_count)));
        m_count = 0;
    }

private:
    QByteArray& m_out;
    uint8_t m_acc = 0;
    int m_count = 0;
};

class BitReader
{
public:
    explicit BitReader(QByteArrayView body) : m_body(body) {}

    // The next bit; past the end of the body this is a read error.
    unsigned readBit()
    {
        if (m_byte >= m_body.size())
            Raise(lzmessage::kReadError);
        const unsigned bit = (uint8_t(m_body[m_byte]) >> (7 - m_bit)) & 1;
        if (++m_bit == 8) {
            m_bit = 0;
            ++m_byte;
        }
        return bit;
    }
    unsigned readBits(int count)
    {
        unsigned value = 0;
        while (count-- > 0)
            value = (value << 1) | readBit();
        return value;
    }

private:
    QByteArrayView m_body;
    qsizetype m_byte = 0;
    int m_bit = 0;
};

// --- Adaptive Huffman model ------------------------------------------------

// Nodes are kept in order of frequency; the two children of a node are the
// nodes son and son + 1. A leaf's son entry is kTable + symbol.
class HuffmanModel
{
public:
    HuffmanModel()
    {
        for (int i = 0; i < kSymbols; ++i) {
            m_freq[i] = 1;
            m_son[i] = kTable + i;
            m_parent[kTable + i] = i;
        }
        for (int i = 0, j = kSymbols; j < kTable; i += 2, ++j) {
            m_freq[j] = m_freq[i] + m_freq[i + 1];
            m_son[j] = i;
            m_parent[i] = m_parent[i + 1] = j;
        }
        m_freq[kTable] = kFreqSentinel;
        m_parent[kRoot] = 0;
    }

    // Codes are written root first. A code may be longer than any machine
    // word, so its bits are collected one by one.
    void encode(int symbol, BitWriter& bits)
    {
        int depth = 0;
        for (int node = m_parent[kTable + symbol]; node != kRoot; node = m_parent[node])
            m_path[depth++] = uint8_t(node & 1);
        while (depth > 0)
            bits.putBit(m_path[--depth]);
        update(symbol);
    }

    int decode(BitReader& bits)
    {
        int node = m_son[kRoot];
        while (node < kTable)
            node = m_son[node + int(bits.readBit())];
        const int symbol = node - kTable;
        update(symbol);
        return symbol;
    }

private:
    void setParent(int son, int parent)
    {
        m_parent[son] = parent;
        if (son < kTable)
            m_parent[son + 1] = parent;
    }

    void update(int symbol)
    {
        if (m_freq[kRoot] == kMaxFreq)
            rebuild();
        int node = m_parent[kTable + symbol];
        for (;;) {
            const uint32_t f = ++m_freq[node];
            if (f > m_freq[node + 1]) {
                // Swap with the last node still below f to keep the order;
                // the sentinel ends the search.
                int last = node + 1;
                while (f > m_freq[last + 1])
                    ++last;
                m_freq[node] = m_freq[last];
                m_freq[last] = f;
                const int mine = m_son[node];
                const int theirs = m_son[last];
                setParent(mine, last);
                setParent(theirs, node);
                m_son[last] = mine;
                m_son[node] = theirs;
                node = last;
            }
            if (node == kRoot)
                return;
            node = m_parent[node];
        }
    }

    void rebuild()
    {
        int leaf = 0;
        for (int i = 0; i < kTable; ++i) {
            if (m_son[i] >= kTable) {
                m_freq[leaf] = (m_freq[i] + 1) / 2;
                m_son[leaf] = m_son[i];
                ++leaf;
            }
        }
        for (int pair = 0, k = kSymbols; k < kTable; pair += 2, ++k) {
            const uint32_t f = m_freq[pair] + m_freq[pair + 1];
            int at = k;
            while (at > 0 && m_freq[at - 1] > f)
                --at;
            std::copy_backward(m_freq.begin() + at, m_freq.begin() + k, m_freq.begin() + k + 1);
            std::copy_backward(m_son.begin() + at, m_son.begin() + k, m_son.begin() + k + 1);
            m_freq[at] = f;
            m_son[at] = pair;
        }
        for (int i = 0; i < kTable; ++i)
            setParent(m_son[i], i);
    }

    std::array<uint32_t, kTable + 1> m_freq{};
    std::array<int, kTable> m_son{};
    std::array<int, kTable + kSymbols> m_parent{};
    std::array<uint8_t, kTable> m_path{};
};

// --- Match search ----------------------------------------------------------

// The first index from 1 on where the kF-byte strings a and b differ, or kF
// when bytes 1 to kF - 1 are equal. Compares eight bytes at a time: this loop
// is where compression spends its time.
int FirstDifference(const uint8_t* a, const uint8_t* b)
{
    int i = 1;
    for (; i + 8 <= kF; i += 8) {
        uint64_t wa;
        uint64_t wb;
        std::memcpy(&wa, a + i, 8);
        std::memcpy(&wb, b + i, 8);
        if (const uint64_t diff = wa ^ wb; diff != 0) {
            const int bit = std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                                       : std::countl_zero(diff);
            return i + bit / 8;
        }
    }
    while (i < kF && a[i] == b[i])
        ++i;
    return i;
}

// The ring buffer with one binary search tree of positions per first byte.
// Node kRootBase + b is the holder of the tree of byte b (its root is the
// holder's right child), so a root is changed like any other child.
class MatchTrees
{
public:
    MatchTrees()
    {
        std::fill(m_ring.begin(), m_ring.begin() + kTextStart, kInitialFill);
        // Positions 4036 on, with the mirror of the first 59, are zero until
        // written: comparisons reach them and steer the trees.
        std::fill(m_ring.begin() + kTextStart, m_ring.end(), uint8_t(0));
        m_dad.fill(kNil);
        m_lson.fill(kNil);
        m_rson.fill(kNil);
    }

    uint8_t at(int position) const { return m_ring[position]; }

    // The first kF - 1 bytes are mirrored after the end so that a string of
    // kF bytes can be compared without wrapping.
    void store(int position, uint8_t byte)
    {
        m_ring[position] = byte;
        if (position < kF - 1)
            m_ring[kRing + position] = byte;
    }

    // Inserts position r and leaves the best match among the strings met on
    // the way: the longest, and of equal lengths the nearest.
    void insert(int r)
    {
        const uint8_t* key = &m_ring[r];
        int p = kRootBase + key[0];
        int cmp = 1;
        m_lson[r] = m_rson[r] = kNil;
        m_matchLength = 0;
        for (;;) {
            int& child = cmp >= 0 ? m_rson[p] : m_lson[p];
            if (child == kNil) {
                child = r;
                m_dad[r] = p;
                return;
            }
            p = child;
            const int i = FirstDifference(key, &m_ring[p]);
            cmp = i < kF ? int(key[i]) - int(m_ring[p + i]) : 0;
            if (i > kThreshold) {
                const int distance = ((r - p) & kRingMask) - 1;
                if (i > m_matchLength) {
                    m_matchLength = i;
                    m_matchPosition = distance;
                    if (i >= kF)
                        break;
                } else if (i == m_matchLength && distance < m_matchPosition) {
                    m_matchPosition = distance;
                }
            }
        }
        // The same kF bytes as p: r takes p's place and p leaves the tree.
        m_dad[r] = m_dad[p];
        m_lson[r] = m_lson[p];
        m_rson[r] = m_rson[p];
        setDad(m_lson[p], r);
        setDad(m_rson[p], r);
        replaceChild(m_dad[p], p, r);
        m_dad[p] = kNil;
    }

    // Removes position p from its tree; a position in no tree is skipped.
    void remove(int p)
    {
        if (m_dad[p] == kNil)
            return;
        int q;
        if (m_rson[p] == kNil) {
            q = m_lson[p];
        } else if (m_lson[p] == kNil) {
            q = m_rson[p];
        } else {
            // The rightmost node of the left subtree takes p's place.
            q = m_lson[p];
            if (m_rson[q] != kNil) {
                do
                    q = m_rson[q];
                while (m_rson[q] != kNil);
                m_rson[m_dad[q]] = m_lson[q];
                setDad(m_lson[q], m_dad[q]);
                m_lson[q] = m_lson[p];
                m_dad[m_lson[p]] = q;
            }
            m_rson[q] = m_rson[p];
            m_dad[m_rson[p]] = q;
        }
        setDad(q, m_dad[p]);
        replaceChild(m_dad[p], p, q);
        m_dad[p] = kNil;
    }

    int matchLength() const { return m_matchLength; }
    // Distance code: bytes between the match and r, minus one.
    int matchPosition() const { return m_matchPosition; }

private:
    static constexpr int kNil = kRing;
    static constexpr int kRootBase = kRing + 1;
    static constexpr int kNodes = kRootBase + 256;

    void setDad(int node, int dad)
    {
        if (node != kNil)
            m_dad[node] = dad;
    }
    void replaceChild(int parent, int old, int now)
    {
        if (m_rson[parent] == old)
            m_rson[parent] = now;
        else
            m_lson[parent] = now;
    }

    std::array<uint8_t, kRing + kF - 1> m_ring{};
    std::array<int, kNodes> m_lson{};
    std::array<int, kNodes> m_rson{};
    std::array<int, kNodes> m_dad{};
    int m_matchLength = 0;
    int m_matchPosition = 0;
};

struct EncoderTables {
    HuffmanModel model;
    MatchTrees trees;
};

struct DecoderTables {
    HuffmanModel model;
    std::array<uint8_t, kRing> ring{};
};

template <class Tables> std::unique_ptr<Tables> AllocateTables()
{
    try {
        return std::make_unique<Tables>();
    } catch (const std::bad_alloc&) {
        Raise(lzmessage::kNoTableMemory);
    }
}

void EncodePosition(int position, BitWriter& bits)
{
    const int high = position >> 6;
    const int length = kPositionCode.length[high];
    bits.putBits(kPositionCode.pattern[high] >> (8 - length), length);
    bits.putBits(unsigned(position) & 0x3F, 6);
}

int DecodePosition(BitReader& bits)
{
    // The first 8 bits hold the whole prefix code and the first low bits.
    const unsigned first = bits.readBits(8);
    const int high = kPositionCode.valueOf[first];
    const int more = kPositionCode.length[high] - 2;
    const unsigned low = (first << more) | bits.readBits(more);
    return (high << 6) | int(low & 0x3F);
}

} // namespace

QByteArray TLZH::Encode(QByteArrayView input)
{
    return lzmessage::WithBuffers([&] {
        const auto tables = AllocateTables<EncoderTables>();
        HuffmanModel& model = tables->model;
        MatchTrees& trees = tables->trees;
        QByteArray out;
        BitWriter bits(out);

        qsizetype next = 0; // next input byte
        int s = 0;          // oldest position, replaced by the next input byte
        int r = kTextStart; // position being coded
        int len = 0;        // bytes in the look-ahead
        for (; len < kF && next < input.size(); ++len)
            trees.store(r + len, uint8_t(input[next++]));
        for (int i = 1; i <= kF; ++i)
            trees.insert(r - i);
        trees.insert(r);

        while (len > 0) {
            int length = std::min(trees.matchLength(), len);
            if (length <= kThreshold) {
                length = 1;
                model.encode(trees.at(r), bits);
            } else {
                model.encode(kFirstMatchSymbol + length, bits);
                EncodePosition(trees.matchPosition(), bits);
            }
            for (int i = 0; i < length; ++i) {
                trees.remove(s);
                if (next < input.size())
                    trees.store(s, uint8_t(input[next++]));
                else
                    --len;
                s = (s + 1) & kRingMask;
                r = (r + 1) & kRingMask;
                if (len > 0)
                    trees.insert(r);
            }
        }
        bits.flush();
        return out;
    });
}

QByteArray TLZH::Decode(QByteArrayView body, quint32 size)
{
    return lzmessage::WithBuffers([&] {
        if (qint64(size) > kMaxBytesPerBodyByte * body.size())
            Raise(lzmessage::kReadError);
        QByteArray out;
        if (size == 0)
            return out;
        const auto tables = AllocateTables<DecoderTables>();
        HuffmanModel& model = tables->model;
        auto& ring = tables->ring;
        std::fill(ring.begin(), ring.begin() + kTextStart, kInitialFill);

        BitReader bits(body);
        const qsizetype wanted = qsizetype(size);
        out.reserve(wanted + kF);
        int r = kTextStart;
        auto put = [&](uint8_t byte) {
            out.append(char(byte));
            ring[r] = byte;
            r = (r + 1) & kRingMask;
        };
        while (out.size() < wanted) {
            const int symbol = model.decode(bits);
            if (symbol < 256) {
                put(uint8_t(symbol));
                continue;
            }
            const int from = r - DecodePosition(bits) - 1;
            const int length = symbol - kFirstMatchSymbol;
            for (int k = 0; k < length; ++k)
                put(ring[(from + k) & kRingMask]);
        }
        if (out.size() != wanted)
            Raise(lzmessage::kLzhSizeMismatch);
        return out;
    });
}

} // namespace signature

#include "sources/PatternSearch.h"

#include "platform/BlockFile.h"

#include <QFile>
#include <QIODevice>
#include <algorithm>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmar {

namespace {

qsizetype MemFind(const char* hay, qsizetype n, const char* needle, qsizetype m) {
    const void* at = memmem(hay, size_t(n), needle, size_t(m));
    return at ? static_cast<const char*>(at) - hay : -1;
}

// The first position of `needle` in `hay`, or -1. With SSE2 the needle's first and last
// bytes are looked for 16 positions at a time and only where both sit is the rest compared:
// in most data that pair is rare, and the scan costs well under an instruction per byte.
// Data full of the pair (zeros around a zero-edged hex string) goes back to memmem.
qsizetype FindExact(const char* hay, qsizetype n, const char* needle, qsizetype m) {
#if defined(__SSE2__)
    if (m >= 2) {
        const __m128i first = _mm_set1_epi8(needle[0]);
        const __m128i last = _mm_set1_epi8(needle[m - 1]);
        qsizetype misses = 0;
        qsizetype pos = 0;
        for (; pos + m + 15 <= n; pos += 16) {
            const auto* a = reinterpret_cast<const __m128i*>(hay + pos);
            const auto* b = reinterpret_cast<const __m128i*>(hay + pos + m - 1);
            auto mask = unsigned(
                _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(a), first),
                                                _mm_cmpeq_epi8(_mm_loadu_si128(b), last))));
            while (mask != 0) {
                const qsizetype at = pos + __builtin_ctz(mask);
                if (memcmp(hay + at + 1, needle + 1, size_t(m - 2)) == 0) return at;
                if (++misses > 64 && misses * 16 > pos) {
                    const qsizetype rest = MemFind(hay + at + 1, n - at - 1, needle, m);
                    return rest < 0 ? -1 : at + 1 + rest;
                }
                mask &= mask - 1;
            }
        }
        const qsizetype rest = MemFind(hay + pos, n - pos, needle, m);
        return rest < 0 ? -1 : pos + rest;
    }
#endif
    return MemFind(hay, n, needle, m);
}

// A file read at offsets: no seeks, and no read at all past the length it had when opened
// (a file of length 0 may still hold bytes, as in /proc, and is read to its end).
class FileAtOffsets : public QIODevice {
public:
    explicit FileAtOffsets(platform::BlockFile& file) : file_(file) {
        QIODevice::open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    bool isSequential() const override { return false; }
    qint64 size() const override { return file_.openedSize(); }

protected:
    qint64 readData(char* data, qint64 max) override {
        const qint64 length = file_.openedSize();
        if (length > 0) {
            if (pos() >= length) return 0;
            max = std::min(max, length - pos()); // one read for the rest: no read of the end
        }
        return file_.ReadAt(pos(), data, max);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    platform::BlockFile& file_;
};

// Case is ignored the way the C locale's toupper sees a signed char: only a-z change,
// bytes from 0x80 on stay as they are whatever the user's locale says.
constexpr std::array<uint8_t, 256> MakeUpperTable() {
    std::array<uint8_t, 256> t{};
    for (int i = 0; i < 256; ++i)
        t[size_t(i)] = uint8_t(i >= 'a' && i <= 'z' ? i - 32 : i);
    return t;
}
constexpr std::array<uint8_t, 256> kUpper = MakeUpperTable();

constexpr size_t PairHash(uint8_t a, uint8_t b) {
    return (size_t(a) << 4 ^ b) & 0xfff;
}

int HexNibble(QChar ch) {
    const char16_t u = ch.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    return -1;
}

// Reads until `n` bytes or the end; -1 on an error.
qint64 ReadFull(QIODevice& file, char* to, qint64 n) {
    qint64 done = 0;
    while (done < n) {
        const qint64 got = file.read(to + done, n - done);
        if (got < 0) return -1;
        if (got == 0) break;
        done += got;
    }
    return done;
}

} // namespace

PatternSearch::PatternSearch() = default;
PatternSearch::~PatternSearch() = default;

void PatternSearch::Init() {
    Clear();
}

void PatternSearch::Clear() {
    patterns_.clear();
    longest_ = 0;
}

qsizetype PatternSearch::ChunkSize() const {
    return std::max(kChunk, longest_ + 1);
}

bool PatternSearch::AddPattern(const QString& text, bool caseSensitive, bool hex) {
    caseSensitive_ = caseSensitive;
    if (!hex) {
        // An empty text would be an empty pattern, which "matches" anywhere.
        if (text.isEmpty()) return false;
        const qsizetype n = text.size();
        QByteArray narrow(n, Qt::Uninitialized);
        QByteArray wide(2 * n, Qt::Uninitialized);
        for (qsizetype i = 0; i < n; ++i) {
            const char16_t u = text[i].unicode();
            narrow[i] = char(u & 0xff);
            wide[2 * i] = char(u & 0xff);
            wide[2 * i + 1] = char(u >> 8);
        }
        Add(std::move(narrow));
        Add(std::move(wide));
        return true;
    }
    QByteArray bytes;
    int high = -1;
    for (QChar ch : text) {
        const int v = HexNibble(ch);
        if (v < 0) continue;
        if (high < 0) {
            high = v;
        } else {
            bytes.append(char(high << 4 | v));
            high = -1;
        }
    }
    if (bytes.isEmpty()) return false;
    Clear(); // a hex string is searched on its own
    Add(std::move(bytes));
    return true;
}

void PatternSearch::Add(QByteArray bytes) {
    SearchPattern p;
    const qsizetype m = bytes.size();
    p.upper = bytes;
    for (qsizetype i = 0; i < m; ++i) {
        const auto b = uint8_t(bytes[i]);
        p.upper[i] = char(kUpper[b]);
        if ((b | 0x20) >= 'a' && (b | 0x20) <= 'z') p.hasLetters = true;
        if (b == 0) p.hasZero = true;
    }
    if (m >= 2) {
        // Moves are capped at 255: a smaller move is only slower, never wrong.
        p.pairShift.fill(uint8_t(std::min<qsizetype>(m - 1, 255)));
        for (qsizetype i = 1; i < m; ++i) {
            const size_t h = PairHash(uint8_t(p.upper[i - 1]), uint8_t(p.upper[i]));
            if (i == m - 1) p.afterCompare = std::max<qsizetype>(p.pairShift[h], 1);
            p.pairShift[h] = uint8_t(std::min<qsizetype>(m - 1 - i, 255));
        }
    }
    p.bytes = std::move(bytes);
    longest_ = std::max(longest_, m);
    patterns_.push_back(std::move(p));
}

qsizetype PatternSearch::Find(const SearchPattern& p, const char* data, qsizetype n) const {
    const qsizetype m = p.length();
    if (n < m) return -1;
    // Folding changes letters only, so a pattern without any is matched exactly.
    if (caseSensitive_ || !p.hasLetters) {
        return FindExact(data, n, p.bytes.constData(), m);
    }
    const auto* t = reinterpret_cast<const uint8_t*>(data);
    const auto* u = reinterpret_cast<const uint8_t*>(p.upper.constData());
    if (m == 1) {
        for (qsizetype pos = 0; pos < n; ++pos)
            if (kUpper[t[pos]] == u[0]) return pos;
        return -1;
    }
    // Horspool on the last two bytes under the window, like glibc's memmem, folded.
    for (qsizetype pos = 0; pos <= n - m;) {
        const uint8_t* end = t + pos + m - 1;
        const uint8_t s = p.pairShift[PairHash(kUpper[end[-1]], kUpper[end[0]])];
        if (s != 0) {
            pos += s;
            continue;
        }
        qsizetype i = 0;
        while (i < m && kUpper[t[pos + i]] == u[i])
            ++i;
        if (i == m) return pos;
        pos += p.afterCompare;
    }
    return -1;
}

qsizetype PatternSearch::MatchInChunk(const char* chunk, qsizetype n) const {
    for (const SearchPattern& p : patterns_) {
        const qsizetype at = Find(p, chunk, n);
        if (at >= 0) return at;
    }
    return -1;
}

// The chunks start at k * (C - L) from `start`. The first chunk holding a whole match is the
// first one that reaches the earliest match end E of any pattern (an overlap of L keeps every
// shorter match whole in some chunk), so blocks of any size only have to find E; that one
// chunk is then settled by the chunk rule.
qint64 PatternSearch::SearchStream(QIODevice& file, qint64 start) {
    if (patterns_.empty() || start < 0 || !file.isReadable() || !file.seek(start)) return -1;
    const qsizetype carry = longest_ - 1;
    const qsizetype need = std::max(carry + kBlock, ChunkSize());
    if (bufferSize_ < need) {
        buffer_.reset(new (std::align_val_t{4096}) char[size_t(need)]);
        bufferSize_ = need;
    }
    char* buf = buffer_.get();
    qint64 bufStart = 0; // offset of buf[0] from start
    qsizetype held = 0;
    for (;;) {
        if (stillRunning_ && !stillRunning_()) return -1;
        const qint64 got = ReadFull(file, buf + held, kBlock);
        if (got <= 0) return -1;
        const qsizetype avail = held + qsizetype(got);
        // A match lying wholly in the carried bytes was seen in the last block already, so
        // whatever turns up here is new. Each later pattern need only end before the best.
        qsizetype bestEnd = -1;
        qsizetype bestAt = -1;
        // Text files hold no zero byte: one quick look spares the UTF-16 form's scan.
        int zeros = -1;
        for (const SearchPattern& p : patterns_) {
            if (p.hasZero) {
                if (zeros < 0) zeros = memchr(buf, 0, size_t(avail)) ? 1 : 0;
                if (zeros == 0) continue;
            }
            const qsizetype at = Find(p, buf, bestEnd < 0 ? avail : bestEnd - 1);
            if (at >= 0) {
                bestEnd = at + p.length();
                bestAt = at;
            }
        }
        if (bestEnd >= 0) {
            const qint64 end = bufStart + bestEnd;
            const qint64 size = ChunkSize();
            const qint64 step = size - longest_;
            const qint64 k = end <= size ? 0 : (end - size + step - 1) / step;
            const qint64 chunkStart = k * step;
            const bool atEof = got < kBlock;
            const qint64 inBuf = chunkStart - bufStart;
            qsizetype at = -1;
            if (inBuf >= 0 && (inBuf + size <= avail || atEof)) {
                at = MatchInChunk(buf + inBuf, qsizetype(std::min<qint64>(size, avail - inBuf)));
            } else {
                // The chunk is not wholly in the buffer: read it again.
                if (!file.seek(start + chunkStart)) return -1;
                const qint64 n = ReadFull(file, buf, size);
                if (n < 0) return -1;
                at = MatchInChunk(buf, qsizetype(n));
            }
            // Only a file changed under us lacks the match there; report the one seen.
            return start + (at >= 0 ? chunkStart + at : bufStart + bestAt);
        }
        if (got < kBlock) return -1; // the end of the file
        const qsizetype keep = std::min(carry, avail);
        memmove(buf, buf + avail - keep, size_t(keep));
        bufStart += avail - keep;
        held = keep;
    }
}

bool PatternSearch::SearchFile(const QString& path) {
    if (patterns_.empty()) return false;
    platform::BlockFile file;
    return file.OpenForScan(path) && SearchOpenFile(file);
}

bool PatternSearch::SearchOpenFile(platform::BlockFile& file) {
    if (patterns_.empty() || !file.isOpen()) return false;
    FileAtOffsets device(file);
    return SearchStream(device, 0) >= 0;
}

} // namespace velmar

#pragma once
// Finds any of a few byte patterns in a file: a plain text both as 8-bit characters and as
// UTF-16LE, a hex string as the bytes it spells. Used by the hex viewer's "Search" and by
// the content test of "Search files".
//
// What counts as "the" match: the file is seen as chunks of ChunkSize() bytes that overlap
// by the longest pattern length L (255-byte chunks while L < 255). The answer lies in the
// first chunk that holds a whole match of any pattern; inside that chunk the pattern added
// first wins, at its first position there, even when a later pattern matches earlier.
// The scan itself reads large blocks and only resolves that rule for the chunk it found.

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <vector>

class QIODevice;

namespace velmar::platform {
class BlockFile;
}

namespace velmar {

struct SearchPattern {
    QByteArray bytes; // as given; compared upper-cased when case is ignored
    QByteArray upper; // a-z raised to A-Z (the only bytes that change case)
    bool hasLetters = false;
    bool hasZero = false; // a UTF-16 form: cannot match in a block without a zero byte
    // For the case-ignoring scan: how far the window may move, by a hash of the upper-cased
    // last two bytes under it; 0 for the pattern's own last pair, which means compare and
    // then move by afterCompare.
    std::array<uint8_t, 4096> pairShift{};
    qsizetype afterCompare = 1;

    qsizetype length() const { return bytes.size(); }
};

class PatternSearch {
public:
    PatternSearch();
    virtual ~PatternSearch();
    PatternSearch(const PatternSearch&) = delete;
    PatternSearch& operator=(const PatternSearch&) = delete;

    // Back to no patterns.
    void Init();
    // Text mode: adds the 8-bit form (the low byte of each UTF-16 unit), then the UTF-16LE
    // form. Hex mode: the digits 0-9, a-f, A-F pair up high nibble first (an odd last one is
    // dropped, everything else is ignored) into the one pattern. The case choice of the last
    // call holds for all patterns. False when nothing was added (empty text, no hex byte).
    bool AddPattern(const QString& text, bool caseSensitive, bool hex);
    // True when `path` is a regular file that opens for reading and holds a match. Devices,
    // pipes and sockets are not searched: they may never end or block on open.
    virtual bool SearchFile(const QString& path);
    // The same for a file opened for scanning (BlockFile::OpenForScan).
    bool SearchOpenFile(platform::BlockFile& file);
    // Searches `file` (open for reading, random access: a QFile or QBuffer) from the absolute
    // offset `start` and returns the absolute offset of the match, or -1 when there is none,
    // on a read error, or when stopped. Leaves the device's position anywhere.
    virtual qint64 SearchStream(QIODevice& file, qint64 start);
    // Frees all patterns; the longest length goes back to 0.
    void Clear();

    // Asked between blocks of a long search; returning false ends it as "not found".
    void SetStillRunning(std::function<bool()> stillRunning) {
        stillRunning_ = std::move(stillRunning);
    }

    const std::vector<SearchPattern>& patterns() const { return patterns_; }
    qsizetype longest() const { return longest_; }
    bool caseSensitive() const { return caseSensitive_; }
    // 255, or L + 1 when the longest pattern needs more: a chunk always has room for a
    // whole match, so long patterns are found too.
    qsizetype ChunkSize() const;

    static constexpr qsizetype kChunk = 255;
    // Bytes read per block by the fast scan (plus the overlap carried from the last block).
    static constexpr qsizetype kBlock = 256 * 1024;

private:
    void Add(QByteArray bytes);
    // The first position in [0, n - m] where `p` matches, or -1.
    qsizetype Find(const SearchPattern& p, const char* data, qsizetype n) const;
    // The chunk rule: the first pattern in list order that matches, at its first position.
    qsizetype MatchInChunk(const char* chunk, qsizetype n) const;

    std::vector<SearchPattern> patterns_;
    qsizetype longest_ = 0;
    bool caseSensitive_ = true;
    std::function<bool()> stillRunning_;
    struct PageFree {
        void operator()(char* p) const { ::operator delete[](p, std::align_val_t{4096}); }
    };
    // Kept between files of one file search. Page-aligned: the kernel copies file data into an
    // unaligned buffer at about a third of the speed.
    std::unique_ptr<char[], PageFree> buffer_;
    qsizetype bufferSize_ = 0;
};

} // namespace velmar

#include "sources/PatternSearch.h"
#include "support/TempDir.h"

#include <QBuffer>
#include <QFile>
#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <locale>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace velmar;

namespace {

// The plain chunk scan the engine must agree with: read a chunk, try each pattern in list
// order at every position with a first-byte test and a full compare, step back by the
// longest length, read the next chunk. Chunks are 255 bytes while L < 255, else L + 1.
class LiteralScan {
public:
    void Add(const QString& text, bool caseSensitive, bool hex) {
        exact_ = caseSensitive;
        if (!hex) {
            QByteArray narrow, wide;
            for (QChar c : text) {
                narrow.append(char(c.unicode() & 0xff));
                wide.append(char(c.unicode() & 0xff));
                wide.append(char(c.unicode() >> 8));
            }
            if (narrow.isEmpty()) return;
            Push(narrow);
            Push(wide);
            return;
        }
        const QString up = text.toUpper();
        const QString digits = "0123456789ABCDEF";
        QByteArray bytes;
        int high = -1;
        for (QChar c : up) {
            const int v = int(digits.indexOf(c));
            if (v < 0) continue;
            if (high < 0) {
                high = v;
            } else {
                bytes.append(char(high * 16 + v));
                high = -1;
            }
        }
        if (bytes.isEmpty()) return;
        patterns_ = {bytes};
        longest_ = bytes.size();
    }

    qint64 Search(QIODevice& file, qint64 start) const {
        if (!file.seek(start)) return -1;
        const qint64 size = longest_ < 255 ? 255 : longest_ + 1;
        QByteArray chunk(size, '\0');
        qint64 consumed = 0;
        for (qint64 n; (n = file.read(chunk.data(), size)) > 0;) {
            for (const QByteArray& p : patterns_) {
                for (qint64 pos = 0; pos + p.size() <= n; ++pos) {
                    if (!Same(chunk[pos], p[0])) continue;
                    qint64 i = 1;
                    while (i < p.size() && Same(chunk[pos + i], p[i]))
                        ++i;
                    if (i == p.size()) return start + consumed + pos;
                }
            }
            if (n > longest_) {
                file.seek(file.pos() - longest_);
                consumed += n - longest_;
            } else {
                consumed += n;
            }
        }
        return -1;
    }

    // The first match of any pattern from `start`, list order aside.
    qint64 Earliest(const QByteArray& data, qint64 start) const {
        const QByteArray text = exact_ ? data : Upper(data);
        qint64 best = -1;
        for (const QByteArray& p : patterns_) {
            const qint64 at = text.indexOf(exact_ ? p : Upper(p), start);
            if (at >= 0 && (best < 0 || at < best)) best = at;
        }
        return best;
    }

    const std::vector<QByteArray>& patterns() const { return patterns_; }

private:
    void Push(const QByteArray& p) {
        patterns_.push_back(p);
        longest_ = std::max(longest_, p.size());
    }
    // toupper of the byte as a signed char, in the C locale.
    bool Same(char a, char b) const {
        if (exact_) return a == b;
        return Upper(a) == Upper(b);
    }

    static QByteArray Upper(QByteArray bytes) {
        for (char& c : bytes)
            c = Upper(c);
        return bytes;
    }

    static char Upper(char c) {
        static const std::array<char, 256> table = [] {
            const auto& ct = std::use_facet<std::ctype<char>>(std::locale::classic());
            std::array<char, 256> t{};
            for (int i = 0; i < 256; ++i)
                t[size_t(i)] = ct.toupper(char(i));
            return t;
        }();
        return table[uint8_t(c)];
    }

    std::vector<QByteArray> patterns_;
    qsizetype longest_ = 0;
    bool exact_ = true;
};

qint64 EngineAt(PatternSearch& s, const QString& path, qint64 start) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return -2;
    return s.SearchStream(f, start);
}

qint64 OracleAt(const LiteralScan& o, const QString& path, qint64 start) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return -2;
    return o.Search(f, start);
}

QByteArray Utf16(const char* ascii) {
    QByteArray out;
    for (const char* c = ascii; *c; ++c)
        out.append(*c).append('\0');
    return out;
}

QByteArray Filler(qsizetype n) {
    return QByteArray(n, '.');
}

} // namespace

TEST(PatternSearchPatterns, TextGivesItsNarrowThenItsUtf16Form) {
    PatternSearch s;
    s.Init();
    EXPECT_TRUE(s.AddPattern(QString::fromUtf16(u"ab\u0161"), true, false));
    ASSERT_EQ(s.patterns().size(), 2u);
    EXPECT_EQ(s.patterns()[0].bytes, QByteArray("ab\x61", 3));
    EXPECT_EQ(s.patterns()[1].bytes, QByteArray("a\0b\0\x61\x01", 6));
    EXPECT_EQ(s.longest(), 6);
    // A second text adds two more; the longest length only grows.
    s.AddPattern("x", true, false);
    EXPECT_EQ(s.patterns().size(), 4u);
    EXPECT_EQ(s.longest(), 6);
}

TEST(PatternSearchPatterns, HexNibblesPairHighFirstAndAnOddOneIsDropped) {
    PatternSearch s;
    s.AddPattern("4a 4B", true, true);
    ASSERT_EQ(s.patterns().size(), 1u);
    EXPECT_EQ(s.patterns()[0].bytes, QByteArray("\x4A\x4B"));

    s.Init();
    s.AddPattern("4a4", true, true);
    ASSERT_EQ(s.patterns().size(), 1u);
    EXPECT_EQ(s.patterns()[0].bytes, QByteArray("\x4A"));
    EXPECT_EQ(s.longest(), 1);

    // Anything that is not a hex digit is passed over, also between the two nibbles.
    s.Init();
    s.AddPattern("0x-f;f\xe9Z00", true, true);
    ASSERT_EQ(s.patterns().size(), 1u);
    EXPECT_EQ(s.patterns()[0].bytes, QByteArray("\x0f\xf0", 2));
}

TEST(PatternSearchPatterns, HexStringReplacesTheListButNoDigitsKeepIt) {
    PatternSearch s;
    s.AddPattern("long text here", true, false);
    EXPECT_FALSE(s.AddPattern("xyz", true, true));
    EXPECT_EQ(s.patterns().size(), 2u);
    EXPECT_TRUE(s.AddPattern("41", true, true));
    ASSERT_EQ(s.patterns().size(), 1u);
    EXPECT_EQ(s.longest(), 1) << "the longest length is the hex pattern's own";
}

TEST(PatternSearchPatterns, EmptyTextAddsNothingAndClearForgetsTheLength) {
    PatternSearch s;
    EXPECT_FALSE(s.AddPattern("", true, false));
    EXPECT_TRUE(s.patterns().empty());
    s.AddPattern(QString(200, 'q'), true, false);
    EXPECT_EQ(s.longest(), 400);
    EXPECT_EQ(s.ChunkSize(), 401);
    s.Clear();
    EXPECT_TRUE(s.patterns().empty());
    EXPECT_EQ(s.longest(), 0);
    EXPECT_EQ(s.ChunkSize(), 255);
}

TEST(PatternSearchFile, FindsTextAsEightBitAndAsUtf16) {
    test::TempDir dir;
    const QString narrow = dir.write("n", Filler(10) + "abc" + Filler(10));
    const QString wide = dir.write("w", Filler(11) + Utf16("abc") + Filler(10));
    const QString neither = dir.write("x", Filler(10) + "ab" + Filler(1) + "c" + Utf16("ab"));
    PatternSearch s;
    s.AddPattern("abc", true, false);
    EXPECT_EQ(EngineAt(s, narrow, 0), 10);
    EXPECT_EQ(EngineAt(s, wide, 0), 11);
    EXPECT_EQ(EngineAt(s, neither, 0), -1);
    EXPECT_TRUE(s.SearchFile(narrow));
    EXPECT_TRUE(s.SearchFile(wide));
    EXPECT_FALSE(s.SearchFile(neither));
}

TEST(PatternSearchFile, MatchesAcrossChunkAndBlockBordersAndAtTheLastByte) {
    test::TempDir dir;
    PatternSearch s;
    s.AddPattern("abc", true, false);
    // Straddling the first 255-byte chunk border, at the end of the file, straddling a read
    // block border, and starting exactly at the block border.
    const struct {
        qsizetype before, after;
    } places[] = {{253, 40},
                  {254, 0},
                  {500, 0},
                  {PatternSearch::kBlock - 1, 10},
                  {PatternSearch::kBlock - 3, 0},
                  {PatternSearch::kBlock, 5},
                  {3 * PatternSearch::kBlock - 2, 7}};
    for (auto [before, after] : places) {
        const QString p = dir.write("f", Filler(before) + "abc" + Filler(after));
        EXPECT_EQ(EngineAt(s, p, 0), before) << before;
        EXPECT_TRUE(s.SearchFile(p)) << before;
    }
    // The longest form with every split over a block border: 1 to L - 1 bytes before it.
    for (qsizetype split = 1; split < 6; ++split) {
        const qsizetype before = 2 * PatternSearch::kBlock - split;
        const QString p = dir.write("w", Filler(before) + Utf16("abc") + Filler(1));
        EXPECT_EQ(EngineAt(s, p, 0), before) << split;
    }
    // One byte short at the end is no match.
    const QString cut = dir.write("cut", Filler(PatternSearch::kBlock - 1) + "ab");
    EXPECT_EQ(EngineAt(s, cut, 0), -1);
}

TEST(PatternSearchFile, IgnoringCaseFoldsOnlyAsciiLetters) {
    test::TempDir dir;
    const QString upper = dir.write("u", "xxABCxx");
    const QString lower = dir.write("l", "xxabcxx");
    const QString wideUpper = dir.write("w", QByteArray("x") + Utf16("aBc"));
    PatternSearch s;
    s.AddPattern("abc", false, false);
    EXPECT_EQ(EngineAt(s, upper, 0), 2);
    EXPECT_EQ(EngineAt(s, lower, 0), 2);
    EXPECT_EQ(EngineAt(s, wideUpper, 0), 1);
    s.Init();
    s.AddPattern("abc", true, false);
    EXPECT_EQ(EngineAt(s, upper, 0), -1);
    EXPECT_EQ(EngineAt(s, lower, 0), 2);

    // Bytes from 0x80 on compare exactly even with case ignored: é (E9) is not É (C9).
    const QString latin = dir.write("e", "caf\xc9 caf\xe9");
    s.Init();
    s.AddPattern(QString::fromUtf16(u"caf\u00e9"), false, false);
    EXPECT_EQ(EngineAt(s, latin, 0), 5);
    // The case choice also holds for hex patterns: 61 finds "A".
    s.Init();
    s.AddPattern("61", false, true);
    EXPECT_EQ(EngineAt(s, upper, 0), 2);
}

TEST(PatternSearchFile, InOneChunkTheEarlierPatternWinsOverAnEarlierPosition) {
    test::TempDir dir;
    PatternSearch s;
    s.AddPattern("abc", true, false); // "abc", then "a\0b\0c\0": L = 6, chunks step 249
    // Both forms in the first chunk: the 8-bit one is reported though it comes later.
    const QString p1 = dir.write("1", Filler(5) + Utf16("abc") + Filler(100) + "abc");
    EXPECT_EQ(EngineAt(s, p1, 0), 111);
    // The UTF-16 form ends at 256, beyond chunk 0, so it belongs to chunk 1 = [249, 504),
    // where the 8-bit form at 400 wins.
    const QString p2 = dir.write("2", Filler(250) + Utf16("abc") + Filler(144) + "abc");
    EXPECT_EQ(EngineAt(s, p2, 0), 400);
    // The 8-bit form beyond chunk 1: the UTF-16 form is the answer.
    const QString p3 = dir.write("3", Filler(250) + Utf16("abc") + Filler(300) + "abc");
    EXPECT_EQ(EngineAt(s, p3, 0), 250);
}

TEST(PatternSearchFile, StartOffsetsAreAbsoluteAndSixtyFourBit) {
    test::TempDir dir;
    const QString p = dir.write("f", Filler(20) + "abc" + Filler(20) + "abc");
    PatternSearch s;
    s.AddPattern("abc", true, false);
    EXPECT_EQ(EngineAt(s, p, 0), 20);
    EXPECT_EQ(EngineAt(s, p, 20), 20) << "a match at the start offset itself";
    EXPECT_EQ(EngineAt(s, p, 21), 43);
    EXPECT_EQ(EngineAt(s, p, 44), -1);
    EXPECT_EQ(EngineAt(s, p, 1000), -1);
    EXPECT_EQ(EngineAt(s, p, -1), -1);

    // A sparse file with the text beyond 5 GiB.
    const QString big = dir.file("big");
    const qint64 at = (5LL << 30) + 7;
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.seek(at));
        ASSERT_EQ(f.write("abc"), 3);
    }
    EXPECT_EQ(EngineAt(s, big, at - 1000), at);
    EXPECT_EQ(EngineAt(s, big, at + 1), -1);
}

TEST(PatternSearchFile, LongPatternsAreFoundEvenBeyondTheChunkSize) {
    test::TempDir dir;
    QByteArray spelled;
    QString hex;
    for (int i = 0; i < 300; ++i) {
        spelled.append(char(i * 7 + 1));
        hex += QString::asprintf("%02x ", (i * 7 + 1) & 0xff);
    }
    PatternSearch s;
    ASSERT_TRUE(s.AddPattern(hex, true, true));
    ASSERT_EQ(s.longest(), 300);
    for (qsizetype before : {qsizetype(0), qsizetype(100), qsizetype(254), qsizetype(255),
                             qsizetype(1000), PatternSearch::kBlock - 150}) {
        const QString p = dir.write("h", Filler(before) + spelled + Filler(3));
        EXPECT_EQ(EngineAt(s, p, 0), before) << before;
        if (before > 1000) continue; // the chunk scan steps one byte at a time here
        LiteralScan o;
        o.Add(hex, true, true);
        EXPECT_EQ(OracleAt(o, p, 0), before);
    }
    // A text of 200 characters: its UTF-16 form has 400 bytes.
    const QString text(200, 'k');
    s.Init();
    s.AddPattern(text, true, false);
    QByteArray wide;
    for (int i = 0; i < 200; ++i)
        wide.append("k\0", 2);
    const QString p = dir.write("t", Filler(600) + wide);
    EXPECT_EQ(EngineAt(s, p, 0), 600);
    EXPECT_TRUE(s.SearchFile(p));
}

TEST(PatternSearchFile, NothingToFindOrNothingToRead) {
    test::TempDir dir;
    const QString p = dir.write("f", "abc");
    PatternSearch empty;
    EXPECT_EQ(EngineAt(empty, p, 0), -1);
    EXPECT_FALSE(empty.SearchFile(p));

    PatternSearch s;
    s.AddPattern("abc", true, false);
    EXPECT_TRUE(s.SearchFile(p));
    EXPECT_FALSE(s.SearchFile(dir.file("missing")));
    EXPECT_FALSE(s.SearchFile(dir.path())) << "a folder";
    EXPECT_FALSE(s.SearchFile(dir.write("zero", "")));

    // A FIFO would block the open and never end: it is not searched.
    const QString fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(s.SearchFile(fifo));

    if (geteuid() != 0) {
        const QString locked = dir.write("locked", "abc");
        QFile::setPermissions(locked, QFileDevice::Permissions());
        EXPECT_FALSE(s.SearchFile(locked));
    }

    // A device not open for reading is a read error: not found.
    QBuffer closed;
    EXPECT_EQ(s.SearchStream(closed, 0), -1);
}

TEST(PatternSearchFile, NamesThatAreNotUtf8AndOtherDevices) {
    test::TempDir dir;
    // "\xff" is not UTF-8: it decodes to the lone surrogate U+DCFF and back to the byte.
    const QByteArray raw = QFile::encodeName(dir.path()) + "/odd\xff";
    {
        FILE* out = fopen(raw.constData(), "wb");
        ASSERT_NE(out, nullptr);
        fputs("..abc..", out);
        fclose(out);
    }
    PatternSearch s;
    s.AddPattern("abc", true, false);
    EXPECT_TRUE(s.SearchFile(dir.path() + "/odd" + QChar(0xDCFF)));

    QByteArray data = Filler(PatternSearch::kBlock + 10) + "abc";
    QBuffer buffer(&data);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    EXPECT_EQ(s.SearchStream(buffer, 5), PatternSearch::kBlock + 10);
}

TEST(PatternSearchFile, AStopRequestEndsTheSearchAsNotFound) {
    test::TempDir dir;
    const QString p = dir.write("f", Filler(3 * PatternSearch::kBlock) + "abc");
    PatternSearch s;
    s.AddPattern("abc", true, false);
    int asked = 0;
    s.SetStillRunning([&] { return ++asked < 2; });
    EXPECT_FALSE(s.SearchFile(p));
    EXPECT_EQ(asked, 2);
    s.SetStillRunning({});
    EXPECT_TRUE(s.SearchFile(p));
}

// Random files and pattern sets against the chunk scan. Files are mostly one byte that no
// pattern holds, with pieces of the patterns (whole, cut, case-flipped) and short runs of a
// small alphabet dropped in, many of them near chunk and block borders.
TEST(PatternSearchOracle, AgreesWithTheChunkScanOnRandomFilesAndPatterns) {
    std::mt19937 rng(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char16_t textChars[] = {u'a', u'b', u'A', u'B', u'\u0161', u'\u00e1', u'\u0100'};
    const char fileBytes[] = {'a', 'b', 'A', 'B', '\0', '\x01', '\xe1', '\xc1', '\x61'};
    test::TempDir dir;
    int found = 0, cases = 0, notEarliest = 0;

    for (int round = 0; round < 700; ++round) {
        const bool large = round % 10 == 0;
        const bool longOnes = !large && round % 7 == 3;
        // Build the additions: one to three texts or hex strings, one case choice.
        std::vector<std::tuple<QString, bool, bool>> adds;
        const int count = pick(1, 3);
        for (int i = 0; i < count; ++i) {
            const bool hex = pick(0, 3) == 0;
            const bool cs = pick(0, 1) == 1;
            QString text;
            const int len = longOnes ? pick(60, 200) : pick(1, 7);
            if (hex) {
                for (int j = 0; j < len; ++j) {
                    text += QString::asprintf(pick(0, 1) ? "%02x" : "%02X",
                                              uint8_t(fileBytes[pick(0, 8)]));
                    if (pick(0, 3) == 0) text += ' ';
                }
                if (pick(0, 4) == 0) text += 'f'; // an odd last nibble
            } else {
                for (int j = 0; j < len; ++j)
                    text += QChar(textChars[pick(0, 6)]);
            }
            adds.emplace_back(text, cs, hex);
        }
        PatternSearch s;
        s.Init();
        LiteralScan o;
        for (auto& [text, cs, hex] : adds) {
            s.AddPattern(text, cs, hex);
            o.Add(text, cs, hex);
        }
        ASSERT_EQ(s.patterns().size(), o.patterns().size());

        const qsizetype size =
            large ? PatternSearch::kBlock * pick(1, 3) + pick(-300, 300) : pick(0, 1400);
        QByteArray data(size, 'z');
        const int pieces = pick(0, large ? 6 : 8);
        for (int i = 0; i < pieces; ++i) {
            QByteArray piece;
            if (pick(0, 2) > 0) {
                piece = o.patterns()[size_t(pick(0, int(o.patterns().size()) - 1))];
                if (pick(0, 2) == 0) piece.chop(pick(0, int(piece.size()) - 1));
                for (char& c : piece)
                    if (pick(0, 3) == 0 && ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')) c ^= 0x20;
            } else {
                for (int j = pick(1, 12); j > 0; --j)
                    piece.append(fileBytes[pick(0, 8)]);
            }
            qsizetype at;
            const int where = pick(0, 3);
            if (where == 0 && size > 0) {
                at = pick(0, int(size) - 1);
            } else {
                // Near a chunk border of the literal scan, or near a read block border.
                const qsizetype L = std::max<qsizetype>(s.longest(), 1);
                const qsizetype step = s.ChunkSize() - L;
                const qsizetype border = where == 3 ? PatternSearch::kBlock * pick(1, 3)
                                                    : s.ChunkSize() + step * pick(0, 4);
                at = border - pick(0, int(L) + 2);
            }
            for (qsizetype j = 0; j < piece.size(); ++j)
                if (at + j >= 0 && at + j < size) data[at + j] = piece[j];
        }
        const QString path = dir.write("r", data);
        const qint64 starts[] = {0, pick(0, int(size) + 5), pick(0, 300)};
        for (qint64 start : starts) {
            const qint64 want = OracleAt(o, path, start);
            ASSERT_EQ(EngineAt(s, path, start), want)
                << "round " << round << " size " << size << " start " << start;
            found += want >= 0;
            notEarliest += want != o.Earliest(data, start);
            ++cases;
        }
        ASSERT_EQ(s.SearchFile(path), OracleAt(o, path, 0) >= 0) << "round " << round;
    }
    // Enough cases must have a match, and some an answer other than the earliest match,
    // or the comparison proves little.
    EXPECT_GT(found, cases / 5);
    EXPECT_GT(notEarliest, cases / 100);
}

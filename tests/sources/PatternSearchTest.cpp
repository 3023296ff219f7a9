#include "sources/PatternSearch.h"
#include "support/TempDir.h"

#include <QBuffer>
#include <QFile>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace velmar;

namespace {

// Only ASCII letters have a case, as in the C locale.
char Upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 32) : c;
}

// The plain chunk scan the engine must agree with: in each chunk try each pattern in list
// order at every position; chunks overlap by the longest length L and are 255 bytes while
// L < 255, else L + 1. The pattern bytes are the engine's own (their forming has its test).
qint64 ChunkScan(const PatternSearch& s, bool exact, const QByteArray& data, qint64 start) {
    qsizetype L = 0;
    for (const SearchPattern& p : s.patterns())
        L = std::max(L, p.bytes.size());
    const qint64 size = L < 255 ? 255 : L + 1;
    const auto same = [exact](char a, char b) { return exact ? a == b : Upper(a) == Upper(b); };
    for (qint64 at = start; at >= 0 && at < data.size(); at += size - L) {
        const qint64 n = std::min<qint64>(size, data.size() - at);
        for (const SearchPattern& sp : s.patterns()) {
            const QByteArray& p = sp.bytes;
            for (qint64 pos = 0; pos + p.size() <= n; ++pos) {
                qint64 i = 0;
                while (i < p.size() && same(data[at + pos + i], p[i]))
                    ++i;
                if (i == p.size()) return at + pos;
            }
        }
        if (n < size) break;
    }
    return -1;
}

qint64 EngineAt(PatternSearch& s, const QString& path, qint64 start) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? s.SearchStream(f, start) : -2;
}

// A search for "abc" and a folder for the files it reads.
struct AbcSearch : ::testing::Test {
    test::TempDir dir;
    PatternSearch s;
    AbcSearch() { s.AddPattern("abc", true, false); }
};

} // namespace

TEST(PatternSearchPatterns, TextFormsHexNibblesAndTheLongestLength) {
    PatternSearch s;
    EXPECT_FALSE(s.AddPattern("", true, false));
    EXPECT_TRUE(s.AddPattern(QString::fromUtf16(u"ab\u0161"), true, false));
    ASSERT_EQ(s.patterns().size(), 2u);
    EXPECT_EQ(s.patterns()[0].bytes, QByteArray("ab\x61", 3));
    EXPECT_EQ(s.patterns()[1].bytes, QByteArray("a\0b\0\x61\x01", 6));
    s.AddPattern("x", true, false);
    EXPECT_EQ(s.longest(), 6) << "the longest length only grows";
    // A string without a hex digit keeps the list; one with digits replaces it.
    EXPECT_FALSE(s.AddPattern("xyz", true, true));
    EXPECT_EQ(s.patterns().size(), 4u);
    // Nibbles pair high first; anything else is passed over, an odd last one dropped.
    EXPECT_TRUE(s.AddPattern("0x-f;F\xe9Z00", true, true));
    ASSERT_EQ(s.patterns().size(), 1u);
    EXPECT_EQ(s.patterns()[0].bytes, QByteArray("\x0f\xf0", 2));
    EXPECT_EQ(s.longest(), 2);

    s.AddPattern(QString(200, 'q'), true, false);
    EXPECT_EQ(s.ChunkSize(), 401);
    s.Clear();
    EXPECT_TRUE(s.patterns().empty());
    EXPECT_EQ(s.ChunkSize(), 255);
}

TEST_F(AbcSearch, StartOffsetsAreAbsoluteAndSixtyFourBit) {
    const QString p = dir.write("f", QByteArray(20, '.') + "abc" + QByteArray(20, '.') + "abc");
    for (auto [start, want] :
         {std::pair<qint64, qint64>{0, 20}, {20, 20}, {21, 43}, {44, -1}, {1000, -1}, {-1, -1}})
        EXPECT_EQ(EngineAt(s, p, start), want) << start;

    // A sparse file with the text beyond 5 GiB.
    const QString big = dir.file("big");
    const qint64 at = (5LL << 30) + 7;
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.seek(at) && f.write("abc\0b\0", 6) == 6);
    }
    EXPECT_EQ(EngineAt(s, big, at - 1000), at);
    EXPECT_EQ(EngineAt(s, big, at + 1), -1);
    // Zeros all around a zero-edged hex string: every position looks like a start.
    PatternSearch z;
    z.AddPattern("00 62 00", true, true);
    EXPECT_EQ(EngineAt(z, big, at - 100000), at + 3);
}

TEST_F(AbcSearch, WhatIsNotSearchedOrCannotBeRead) {
    const QString p = dir.write("f", "abc");
    PatternSearch empty;
    EXPECT_FALSE(empty.SearchFile(p));

    EXPECT_TRUE(s.SearchFile(p));
    EXPECT_FALSE(s.SearchFile(dir.file("missing")));
    EXPECT_FALSE(s.SearchFile(dir.path())) << "a folder";
    EXPECT_FALSE(s.SearchFile(dir.write("zero", "")));
    // A FIFO would block the open and never end.
    const QString fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(s.SearchFile(fifo));
    if (geteuid() != 0) {
        const QString locked = dir.write("locked", "abc");
        QFile::setPermissions(locked, QFileDevice::Permissions());
        EXPECT_FALSE(s.SearchFile(locked));
    }
    QBuffer closed;
    EXPECT_EQ(s.SearchStream(closed, 0), -1);

    // "\xff" is not UTF-8: it decodes to the lone surrogate U+DCFF and back to the byte.
    ASSERT_TRUE(test::WriteRaw(QFile::encodeName(dir.path()) + "/odd\xff", "..abc.."));
    EXPECT_TRUE(s.SearchFile(dir.path() + "/odd" + QChar(0xDCFF)));

    QByteArray data = QByteArray(PatternSearch::kBlock + 10, '.') + "abc";
    QBuffer buffer(&data);
    ASSERT_TRUE(buffer.open(QIODevice::ReadOnly));
    EXPECT_EQ(s.SearchStream(buffer, 5), PatternSearch::kBlock + 10);
}

TEST_F(AbcSearch, AStopRequestEndsTheSearchAsNotFound) {
    const QString p = dir.write("f", QByteArray(3 * PatternSearch::kBlock, '.') + "abc");
    int asked = 0;
    s.SetStillRunning([&] { return ++asked < 2; });
    EXPECT_FALSE(s.SearchFile(p));
    EXPECT_EQ(asked, 2);
    s.SetStillRunning({});
    EXPECT_TRUE(s.SearchFile(p));
}

// Random files and pattern sets against the chunk scan. Files are mostly one byte that no
// pattern holds, with pieces of the patterns (whole, cut, case-flipped) and short runs of a
// small alphabet dropped in, many of them near chunk and block borders (the UTF-16 forms
// split over them, patterns longer than a chunk).
TEST(PatternSearchOracle, AgreesWithTheChunkScanOnRandomFilesAndPatterns) {
    std::mt19937 rng(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char16_t textChars[] = {u'a', u'b', u'A', u'B', u'\u0161', u'\u00e1', u'\u0100'};
    const char fileBytes[] = {'a', 'b', 'A', 'B', '\0', '\x01', '\xe1', '\xc1', '\x61'};
    test::TempDir dir;
    int found = 0, cases = 0;

    for (int round = 0; round < 700; ++round) {
        const bool large = round % 10 == 0;
        const bool longOnes = !large && round % 7 == 3;
        PatternSearch s;
        bool cs = true;
        for (int i = pick(1, 3); i > 0; --i) {
            const bool hex = pick(0, 3) == 0;
            cs = pick(0, 1) == 1;
            QString text;
            for (int j = longOnes ? pick(60, 200) : pick(1, 7); j > 0; --j) {
                if (!hex) {
                    text += QChar(textChars[pick(0, 6)]);
                    continue;
                }
                text +=
                    QString::asprintf(pick(0, 1) ? "%02x" : "%02X", uint8_t(fileBytes[pick(0, 8)]));
                if (pick(0, 3) == 0) text += ' ';
            }
            if (hex && pick(0, 4) == 0) text += 'f'; // an odd last nibble
            s.AddPattern(text, cs, hex);
        }

        const qsizetype size =
            large ? PatternSearch::kBlock * pick(1, 3) + pick(-300, 300) : pick(0, 1400);
        QByteArray data(size, 'z');
        for (int i = pick(0, large ? 6 : 8); i > 0; --i) {
            QByteArray piece;
            if (pick(0, 2) > 0) {
                piece = s.patterns()[size_t(pick(0, int(s.patterns().size()) - 1))].bytes;
                if (pick(0, 2) == 0) piece.chop(pick(0, int(piece.size()) - 1));
                for (char& c : piece)
                    if (pick(0, 3) == 0 && ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')) c ^= 0x20;
            } else {
                for (int j = pick(1, 12); j > 0; --j)
                    piece.append(fileBytes[pick(0, 8)]);
            }
            // Anywhere, near a chunk border of the literal scan, or near a read block border.
            const int where = pick(0, 3);
            const qsizetype L = std::max<qsizetype>(s.longest(), 1);
            qsizetype at;
            if (where == 0 && size > 0) {
                at = pick(0, int(size) - 1);
            } else {
                const qsizetype border = where == 3
                                             ? PatternSearch::kBlock * pick(1, 3)
                                             : s.ChunkSize() + (s.ChunkSize() - L) * pick(0, 4);
                at = border - pick(0, int(L) + 2);
            }
            for (qsizetype j = 0; j < piece.size(); ++j)
                if (at + j >= 0 && at + j < size) data[at + j] = piece[j];
        }
        const QString path = dir.write("r", data);
        for (qint64 start : {qint64(0), qint64(pick(0, int(size) + 5)), qint64(pick(0, 300))}) {
            const qint64 want = ChunkScan(s, cs, data, start);
            ASSERT_EQ(EngineAt(s, path, start), want)
                << "round " << round << " size " << size << " start " << start;
            found += want >= 0;
            ++cases;
        }
        ASSERT_EQ(s.SearchFile(path), ChunkScan(s, cs, data, 0) >= 0) << "round " << round;
    }
    // Enough cases must have a match, or the comparison proves little.
    EXPECT_GT(found, cases / 5);
}

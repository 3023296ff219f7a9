// The emulator against byte streams: cursor rules, the dialect's sequences with their
// parameter quirks, attributes, cut reads, telnet replies, sizes, and random streams.
#include "telnet/Terminal.h"
#include "TelnetTestSupport.h"
#include "telnet/TelnetProtocol.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace velmar::telnet;

namespace {

struct ScreenCase {
    const char* name;
    std::vector<QByteArray> reads;
    int x, y;            // cursor afterwards
    int row;             // a screen row to check
    QByteArray text;     // its text
    int attrColumn = -1; // a cell whose attribute word is checked
    uint16_t attr = 0;
};

// The default screen is 80 columns by 25 rows.
const std::vector<ScreenCase> kScreenCases = {
    {"HomeWithSemicolonTakesRowUnreduced", {"\033[1;1Hx"}, 1, 1, 1, "x"},
    {"ZeroZeroIsTopLeft", {"\033[5;5H\033[0;0Hx"}, 1, 0, 0, "x"},
    {"FarPositionClamps", {"\033[99;99H"}, 79, 24, 24, ""},
    {"EmptyFieldAddsNothing", {"\033[;5Hx"}, 1, 5, 5, "x"},
    {"PositionWithoutSemicolonDoesNothing", {"ab\033[5H\033[H"}, 2, 0, 0, "ab"},
    {"FourthDigitDecides", {"\033[1234m"}, 1, 0, 0, "m", 0, kDefaultAttr},
    {"LeadingZeroIsOctal", {"\033[010C"}, 8, 0, 0, ""},
    {"OctalStopsAtEight", {"\033[08Cx"}, 2, 0, 0, " x"},
    {"BoldRedOnBlue", {"\033[1;31;44mx"}, 1, 0, 0, "x", 0, 0x0411},
    {"EmptyRenditionResets", {"\033[1;31;44m\033[mx"}, 1, 0, 0, "x", 0, kDefaultAttr},
    {"ZeroRenditionResets", {"\033[7m\033[0mx"}, 1, 0, 0, "x", 0, kDefaultAttr},
    {"Reverse", {"\033[7mx"}, 1, 0, 0, "x", 0, 0x0072},
    {"BoldOffAndDefaults", {"\033[1;32;41m\033[22;39;49mx"}, 1, 0, 0, "x", 0, kDefaultAttr},
    {"ConcealDropsText", {"\033[8mabc"}, 0, 0, 0, ""},
    {"ConcealEndsWithReset", {"\033[8mabc\033[0mde"}, 2, 0, 0, "de"},
    {"CutSequenceCarriedOver", {"\033[3", "2mx"}, 1, 0, 0, "x", 0, 0x0020},
    {"CutEscapeAloneCarriedOver", {"ab\033", "[Kc"}, 3, 0, 0, "abc"},
    {"LongCutSequenceLost", {"\033[1;2;3;4;5", "mx"}, 2, 0, 0, "mx", 0, kDefaultAttr},
    {"CarriageReturnIgnored", {"ab\rc"}, 3, 0, 0, "abc"},
    {"LineFeedReturnsCarriage", {"a\nb"}, 1, 1, 1, "b"},
    {"LastColumnWraps", {"\033[2;80Hxy"}, 1, 3, 3, "y"},
    {"LastColumnOnBottomScrolls", {"\033[24;80Hxy"}, 1, 24, 23, QByteArray(79, ' ') + "x"},
    {"OnlyTheParenIsConsumed", {"\033(B"}, 1, 0, 0, "B"},
    {"PrivateMarkEndsSequence", {"\033[?25h"}, 3, 0, 0, "25h"},
    {"EqualsFormConsumesItsByte", {"\033[=5hx"}, 1, 0, 0, "x"},
    {"TabWritesEightBlanks", {"ab\tc"}, 11, 0, 0, "ab        c"},
    {"TabStopsAtLastColumn", {"\033[0;78H\t"}, 79, 0, 0, QByteArray(77, ' ') + "   "},
    {"BackspaceStopsAtZero", {"a\b\b\bb"}, 1, 0, 0, "b"},
    {"UpStopsAtTop", {"\033[2;1H\033[5Ax"}, 1, 0, 0, "x"},
    {"BackByZeroIsOne", {"abc\033[0Dx"}, 3, 0, 0, "abx"},
    {"PreviousLineSetsColumnZero", {"\033[3;5H\033[2Fx"}, 1, 1, 1, "x"},
    {"NextLineSetsColumnZero", {"ab\033[2Ex"}, 1, 2, 2, "x"},
    {"ColumnAbsolute", {"\033[5`x"}, 5, 0, 0, "    x"},
    {"RowAbsolute", {"\033[3dx"}, 1, 2, 2, "x"},
    {"EraseToEndKeepsLength", {"abcdef\033[0;3H\033[K"}, 2, 0, 0, "ab    "},
    {"EraseToCursor", {"abcdef\033[0;3H\033[1K"}, 2, 0, 0, "  cdef"},
    {"EraseRow", {"abcdef\033[2K"}, 6, 0, 0, "      "},
    {"EraseCharsIsOneMore", {"abcdef\033[0;2H\033[2X"}, 1, 0, 0, "a   ef"},
    {"EraseCharWithoutParameter", {"abcdef\033[0;2H\033[X"}, 1, 0, 0, "a cdef"},
    {"EraseTakesCurrentAttribute", {"abc\033[0;1H\033[44m\033[K"}, 0, 0, 0, "   ", 1, 0x0470},
    {"InsertPosition", {"abcd\033[0;2H\033[41m\033[@"}, 1, 0, 0, "abbcd", 2, 0x0170},
    {"DeleteChar", {"abcd\033[0;2H\033[P"}, 1, 0, 0, "acd "},
    {"EraseBelow", {"ab\ncd\nef\033[1;2H\033[J"}, 1, 1, 2, "  "},
    {"EraseAbove", {"ab\ncd\nef\033[1;2H\033[1J"}, 1, 1, 0, "  "},
    {"EraseAllDoesNotMove", {"ab\ncd\033[2J"}, 2, 1, 1, "  "},
    {"SaveAndRestore", {"ab\0337\033[5;5H\0338x"}, 3, 0, 0, "abx"},
    {"SaveAndRestoreCsi", {"ab\033[s\033[5;5H\033[ux"}, 3, 0, 0, "abx"},
    {"FullResetHomesAndErases", {"ab\ncd\033cx"}, 1, 0, 0, "x "},
    {"ColourSelectBackground", {"\033[1;12xx"}, 1, 0, 0, "x", 0, 0x0470},
    {"ColourSelectForeground", {"\033[2;3xx"}, 1, 0, 0, "x", 0, 0x0030},
    {"DoubledIacShowsNothing", {B({'a', 255, 255, 'b'})}, 2, 0, 0, "ab"},
    {"CutIacCarriedOver", {B({'a', 255}), B({255, 'b'})}, 2, 0, 0, "ab"},
    {"DownScrollsCountedFromOldRow", {"\033[10;1Htop\033[22;1H\033[5B"}, 0, 24, 7, "top"},
    {"HighBytesArePrintable", {B({127, 128, 254})}, 3, 0, 0, B({127, 128, 254})},
};

class ScreenTest : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(ScreenTest, BytesGiveScreen) {
    const ScreenCase& c = GetParam();
    Terminal t;
    for (const QByteArray& read : c.reads)
        t.Process(read);
    EXPECT_EQ(t.cursorX(), c.x);
    EXPECT_EQ(t.cursorY(), c.y);
    EXPECT_EQ(t.RowBytes(c.row), c.text);
    if (c.attrColumn >= 0) EXPECT_EQ(t.AttrAt(c.row, c.attrColumn), c.attr);
    EXPECT_EQ(t.pendingLength(), 0);
}

INSTANTIATE_TEST_SUITE_P(Dialect, ScreenTest, ::testing::ValuesIn(kScreenCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Terminal, ScrollingKeepsTheHistoryAndTheLastLineBlank) {
    Terminal t;
    for (int k = 0; k < 30; ++k)
        t.Process(QByteArray::number(k) + "\n");
    // 30 line feeds from row 0 of 25 rows scroll 6 times; the last buffer line stays blank.
    EXPECT_EQ(t.cursorY(), 24);
    EXPECT_EQ(t.RowBytes(0), "6");
    EXPECT_EQ(t.LineBytes(t.ScreenLine(0) - 1), "5");
    EXPECT_EQ(t.LineLength(t.lines() - 1), 0);
    const Damage d = t.TakeDamage();
    EXPECT_EQ(d.scrolled, 6);
    EXPECT_TRUE(t.TakeDamage().empty());
}

TEST(Terminal, ColoursResolveWithBoldAndReverse) {
    // Bold brightens the text colour; with reverse that is the background index.
    EXPECT_EQ(ResolveColours(0x0411).text, 9);
    EXPECT_EQ(ResolveColours(0x0411).fill, 4);
    EXPECT_EQ(ResolveColours(0x0473).text, 12);
    EXPECT_EQ(ResolveColours(0x0473).fill, 7);
    EXPECT_EQ(kPalette[9], 0xFF5555u);
    EXPECT_EQ(kPalette[7], 0xBBBBBBu);
}

TEST(Terminal, ResetClearsModesAttributesSizeAndScreen) {
    Terminal t;
    t.Process("\033=\033[1;31mabc\033[8m\033[3");
    t.SetSize(40, 18, 36);
    t.Reset();
    EXPECT_FALSE(t.keypadApplication());
    EXPECT_FALSE(t.concealed());
    EXPECT_EQ(t.currentAttr(), kDefaultAttr);
    EXPECT_EQ(t.pendingLength(), 0);
    EXPECT_EQ(t.lines(), 1000);
    EXPECT_EQ(t.columns(), 80);
    EXPECT_EQ(t.rows(), 25);
    EXPECT_EQ(t.RowBytes(0), "");
}

// ---- the size dialog's rules

struct SizeCase {
    const char* name;
    int lines, rows, columns;             // asked
    int wantLines, wantRows, wantColumns; // got
    bool screenChanged;
};

TEST(Terminal, SizeRules) {
    const SizeCase cases[] = {
        {"RowsClampToLinesMinusOne", 25, 30, 36, 25, 24, 36, true},
        {"ColumnsZeroIgnored", 25, 18, 0, 25, 18, 36, false},
        {"ColumnsTooManyIgnored", 25, 18, 300, 25, 18, 36, false},
        {"LinesBelowTwoNotTaken", 1, 18, 36, 25, 18, 36, false},
        {"ShrinkingLinesPullsRowsIn", 10, 0, 36, 10, 9, 36, true},
        {"Grow", 200, 30, 100, 200, 30, 100, true},
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.name);
        Terminal t;
        t.SetSize(25, 18, 36);
        t.TakeDamage();
        const SizeChange change = t.SetSize(c.lines, c.rows, c.columns);
        EXPECT_EQ(t.lines(), c.wantLines);
        EXPECT_EQ(t.rows(), c.wantRows);
        EXPECT_EQ(t.columns(), c.wantColumns);
        EXPECT_EQ(change.screenChanged, c.screenChanged);
        EXPECT_FALSE(change.outOfMemory);
    }
}

TEST(Terminal, ResizeKeepsNewestLinesAndClampsTheCursor) {
    Terminal t;
    t.SetSize(25, 18, 36);
    t.Process("\033[17;30Hend");
    // Screen row 17 is buffer line 24 - 18 + 17 = 23.
    ASSERT_EQ(t.LineBytes(23), QByteArray(29, ' ') + "end");
    t.SetSize(20, 10, 20);
    EXPECT_EQ(t.LineBytes(18), QByteArray(20, ' '));
    EXPECT_EQ(t.cursorX(), 19);
    EXPECT_EQ(t.cursorY(), 9);
    t.SetSize(40, 10, 20);
    EXPECT_EQ(t.LineBytes(38), QByteArray(20, ' '));
    EXPECT_EQ(t.LineLength(0), 0);
}

// ---- telnet commands met in the stream: transcripts of what the host sends and gets

struct Transcript {
    const char* name;
    QByteArray received;
    QByteArray replies;
};

TEST(Terminal, TelnetRepliesInTheStream) {
    const Transcript cases[] = {
        {"TerminalTypeAtOnce", B({255, 253, 24}),
         B({255, 251, 24, 255, 250, 24, 0}) + "ansi" + B({255, 240})},
        {"TerminalTypeAgainOnSend", B({255, 250, 24, 1, 255, 240}),
         B({255, 250, 24, 0}) + "ansi" + B({255, 240})},
        {"TerminalSpeed", B({255, 250, 32, 1, 255, 240}),
         B({255, 250, 32, 0}) + "115200,115200" + B({255, 240})},
        {"WindowSizeReportsAddressableRows", B({255, 253, 31}),
         B({255, 251, 31, 255, 250, 31, 0, 36, 0, 17, 255, 240})},
        {"WillEcho", B({255, 251, 1}), B({255, 253, 1})},
        {"WillSuppressGoAhead", B({255, 251, 3}), B({255, 253, 3})},
        {"WillOther", B({255, 251, 5}), B({255, 254, 5})},
        {"Wont", B({255, 252, 1}), B({255, 254, 1})},
        {"DoEcho", B({255, 253, 1}), B({255, 251, 1})},
        {"DoOther", B({255, 253, 5}), B({255, 252, 5})},
        {"Dont", B({255, 254, 3}), B({255, 252, 3})},
        {"RepeatsAnsweredEachTime", B({255, 253, 5, 255, 253, 5}), B({255, 252, 5, 255, 252, 5})},
        {"OtherSubnegotiationIgnored", B({255, 250, 24, 0, 'x', 255, 240}), {}},
        {"NopAndGoAheadIgnored", B({255, 241, 255, 249}), {}},
    };
    for (const Transcript& c : cases) {
        SCOPED_TRACE(c.name);
        Terminal t;
        t.SetSize(25, 18, 36);
        t.Process(c.received);
        EXPECT_EQ(t.TakeReplies(), c.replies);
        EXPECT_EQ(t.RowBytes(0), "");
        EXPECT_EQ(t.cursorX(), 0);
    }
}

TEST(Terminal, CommandCutBetweenReadsIsAnsweredOnce) {
    Terminal t;
    t.Process(B({'a', 255, 251}));
    EXPECT_EQ(t.TakeReplies(), QByteArray());
    t.Process(B({1, 'b'}));
    EXPECT_EQ(t.TakeReplies(), B({255, 253, 1}));
    EXPECT_EQ(t.RowBytes(0), "ab");

    t.Process(B({255, 250, 24, 1}));
    t.Process(B({255, 240}));
    EXPECT_EQ(t.TakeReplies(), B({255, 250, 24, 0}) + "ansi" + B({255, 240}));
    EXPECT_EQ(t.RowBytes(0), "ab");
}

TEST(Terminal, EmptyReadChangesNothing) {
    Terminal t;
    t.TakeDamage();
    t.Process(QByteArray());
    EXPECT_TRUE(t.TakeDamage().empty());
    EXPECT_TRUE(t.TakeReplies().isEmpty());
}

TEST(Telnet, WindowSizeUpdateIsSizeThenDo) {
    EXPECT_EQ(WindowSizeUpdate(60, 19), B({255, 250, 31, 0, 60, 0, 19, 255, 240, 255, 253, 31}));
}

// ---- random streams: whatever arrives, the cursor stays on the screen and the buffer keeps
// its size.

TEST(Terminal, RandomStreamsKeepTheInvariants) {
    std::mt19937 random(20261207);
    const char alphabet[] = "\033[;0123456789HfmxJKXPABCDEe`d@su=?c78\n\t\b\r ab";
    for (int round = 0; round < 300; ++round) {
        Terminal t;
        const int lines = 2 + int(random() % 60);
        t.SetSize(lines, 1 + int(random() % 30), 1 + int(random() % 100));
        for (int read = 0; read < 20; ++read) {
            QByteArray bytes;
            const int n = int(random() % 300);
            for (int k = 0; k < n; ++k) {
                const unsigned pick = random() % 10;
                bytes.append(pick < 7 ? alphabet[random() % (sizeof alphabet - 1)]
                                      : char(random() % 256));
            }
            t.Process(bytes);
            if (random() % 8 == 0)
                t.SetSize(int(random() % 80), int(random() % 40), int(random() % 120));
            ASSERT_GE(t.cursorX(), 0);
            ASSERT_LT(t.cursorX(), t.columns());
            ASSERT_GE(t.cursorY(), 0);
            ASSERT_LT(t.cursorY(), t.rows());
            ASSERT_LT(t.savedX(), t.columns());
            ASSERT_LT(t.savedY(), t.rows());
            ASSERT_LE(t.rows(), t.lines() - 1);
            ASSERT_LE(t.pendingLength(), Terminal::kPendingMax);
            for (int l = 0; l < t.lines(); ++l)
                ASSERT_LE(t.LineLength(l), t.columns());
            ASSERT_EQ(t.LineLength(t.lines() - 1), 0);
            const QByteArray replies = t.TakeReplies();
            if (!replies.isEmpty()) ASSERT_EQ(uint8_t(replies[0]), kIac);
            const Damage d = t.TakeDamage();
            if (d.bottom >= d.top) {
                ASSERT_GE(d.top, 0);
                ASSERT_LT(d.bottom, t.rows());
            }
        }
    }
}

} // namespace

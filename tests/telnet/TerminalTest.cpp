// The emulations against byte streams: the contract both keep, the reduced dialect's
// sequences with their parameter quirks, attributes, cut reads and sizes (random streams: the
// fuzz harness); xterm on libvterm with real programs' sequences; the telnet framing.
#include "telnet/Terminal.h"
#include "support/TempDir.h"
#include "telnet/TelnetProtocol.h"
#include "telnet/XtermEmulation.h"

#include <QByteArray>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>
#include <vector>

using namespace velmar::telnet;

namespace {

using velmar::test::B;

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
    {"DownScrollsCountedFromOldRow", {"\033[10;1Htop\033[22;1H\033[5B"}, 0, 24, 7, "top"},
    {"HighBytesArePrintable", {B({127, 128, 254})}, 3, 0, 0, B({127, 128, 254})},
};

TEST(Terminal, BytesGiveScreen) {
    for (const ScreenCase& c : kScreenCases) {
        SCOPED_TRACE(c.name);
        Terminal t;
        for (const QByteArray& read : c.reads)
            t.Process(read);
        EXPECT_EQ(std::pair(t.cursorX(), t.cursorY()), std::pair(c.x, c.y));
        EXPECT_EQ(t.RowBytes(c.row), c.text);
        if (c.attrColumn >= 0) EXPECT_EQ(t.AttrAt(c.row, c.attrColumn), c.attr);
        EXPECT_EQ(t.pendingLength(), 0);
    }
}

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
    EXPECT_EQ(std::pair(ResolveColours(0x0411).text, ResolveColours(0x0411).fill), std::pair(9, 4));
    EXPECT_EQ(std::pair(ResolveColours(0x0473).text, ResolveColours(0x0473).fill),
              std::pair(12, 7));
}

TEST(Terminal, ResetClearsModesAttributesSizeAndScreen) {
    Terminal t;
    t.Process("\033=\033[1;31mabc\033[8m\033[3");
    t.SetSize(40, 18, 36);
    t.Reset();
    EXPECT_EQ(std::tuple(t.keypadApplication(), t.concealed(), t.currentAttr(), t.pendingLength()),
              std::tuple(false, false, kDefaultAttr, 0));
    EXPECT_EQ(std::tuple(t.lines(), t.columns(), t.rows()), std::tuple(1000, 80, 25));
    EXPECT_EQ(t.RowBytes(0), "");
}

// ---- the size dialog's rules

TEST(Terminal, SizeRules) {
    // Lines, rows and columns asked; those got; whether the screen changed.
    const std::tuple<const char*, int, int, int, int, int, int, bool> cases[] = {
        {"RowsClampToLinesMinusOne", 25, 30, 36, 25, 24, 36, true},
        {"ColumnsZeroIgnored", 25, 18, 0, 25, 18, 36, false},
        {"ColumnsTooManyIgnored", 25, 18, 300, 25, 18, 36, false},
        {"LinesBelowTwoNotTaken", 1, 18, 36, 25, 18, 36, false},
        {"ShrinkingLinesPullsRowsIn", 10, 0, 36, 10, 9, 36, true},
        {"Grow", 200, 30, 100, 200, 30, 100, true},
        // The window-size reply has one byte for the rows: never 255 or more.
        {"RowsNeverPast254", 1000, 1000, 36, 1000, 254, 36, true},
        {"RowsOf255Ignored", 1000, 255, 36, 1000, 18, 36, false},
    };
    for (const auto& [name, lines, rows, columns, gotLines, gotRows, gotColumns, changed] : cases) {
        SCOPED_TRACE(name);
        Terminal t;
        t.SetSize(25, 18, 36);
        t.TakeDamage();
        const SizeChange change = t.SetSize(lines, rows, columns);
        EXPECT_EQ(std::tuple(t.lines(), t.rows(), t.columns(), change.screenChanged),
                  std::tuple(gotLines, gotRows, gotColumns, changed));
        EXPECT_FALSE(change.outOfMemory);
    }
}

TEST(Terminal, CellCapCountsColumnsAsMuchAsLines) {
    Terminal t;
    ASSERT_TRUE(t.SetSize(300000, 18, 36).changed); // 10.8 M cells
    // 254 columns of 300,000 lines would be 76 M cells.
    const SizeChange wider = t.SetSize(300000, 18, 254);
    EXPECT_TRUE(wider.outOfMemory);
    EXPECT_EQ(std::pair(t.columns(), t.lines()), std::pair(36, 300000));
    EXPECT_TRUE(t.SetSize(99999999, 18, 36).outOfMemory);
    EXPECT_EQ(t.lines(), 300000);
}

TEST(Terminal, NewScreenSizeStartsCleanBelowTheCursorRow) {
    Terminal t;
    t.SetSize(25, 18, 36);
    t.Process("old 1\nold 2\nlin");
    t.Process("\033[10;1Hstale");
    t.Process("\033[2;4H"); // back on the row of "lin" (this dialect does not reduce it), column 3
    t.TakeDamage();
    t.SetSize(25, 10, 36);
    // The cursor's row is the top row; what was above it is scrollback; nothing below.
    EXPECT_EQ(std::pair(t.cursorX(), t.cursorY()), std::pair(3, 0));
    EXPECT_EQ(t.RowText(0), "lin");
    EXPECT_EQ(t.historyLines(), 2);
    EXPECT_EQ(t.LineText(0), "old 1");
    for (int r = 1; r < t.rows(); ++r)
        EXPECT_EQ(t.RowText(r), "") << r;
    // New output goes after the kept text, not over old text.
    t.Process("stty size\n32 36\n");
    EXPECT_EQ(t.RowText(0), "linstty size");
    EXPECT_EQ(t.RowText(1), "32 36");
    // Only the scrollback changing keeps the screen as it is.
    t.SetSize(40, 10, 36);
    EXPECT_EQ(t.RowText(1), "32 36");
}

// ---- one contract for both emulations

TEST(EmulationContract, LinesColoursScrollbackAndSaving) {
    std::unique_ptr<Emulation> both[] = {std::make_unique<Terminal>(),
                                         std::make_unique<XtermEmulation>(24, 80)};
    for (const std::unique_ptr<Emulation>& e : both) {
        SCOPED_TRACE(e->terminalType().constData());
        // Host output that both understand: lines with CR LF, colours of the shared palette.
        e->Process("first\r\n\033[1;31;44mX\033[0m second\r\n");
        EXPECT_EQ(e->RowText(0), "first");
        EXPECT_EQ(e->RowText(1), "X second");
        std::vector<Cell> cells(size_t(e->columns()));
        e->LineCells(e->ScreenToView(1), cells.data());
        // Bold red is bright.
        EXPECT_EQ(std::tuple(cells[0].text, cells[0].fill, cells[2].text),
                  std::tuple(0xFF5555u, 0x0000BBu, 0xBBBBBBu));
        EXPECT_EQ(std::pair(e->cursorX(), e->cursorY()), std::pair(0, 2));

        // Lines that scroll off the screen are kept above it, oldest first.
        e->TakeDamage();
        for (int k = 0; k < 60; ++k)
            e->Process(QByteArray::number(k) + "\r\n");
        EXPECT_GT(e->TakeDamage().scrolled, 0);
        EXPECT_GT(e->historyLines(), 0);
        EXPECT_EQ(e->LineText(0), "first");
        EXPECT_EQ(e->RowText(e->cursorY() - 1), "59");
        const QByteArray saved = e->SaveText();
        EXPECT_TRUE(saved.startsWith("first\r\nX second\r\n0\r\n1\r\n")) << saved.left(40).data();
        EXPECT_TRUE(saved.endsWith("58\r\n59\r\n"));

        // The cap on cells holds for every size change; rows stay below 255.
        EXPECT_TRUE(e->SetSize(99999999, e->rows(), e->columns()).outOfMemory);
        e->SetSize(2000, 300, 254);
        EXPECT_LE(e->rows(), kMaxScreenSize);
        EXPECT_LE(e->reportedRows(), kMaxScreenSize);

        // A reset starts a clean screen without scrollback.
        e->Reset();
        EXPECT_EQ(e->historyLines(), 0);
        EXPECT_EQ(e->RowText(0), "");
    }
}

// ---- xterm on libvterm: what real full-screen programs send

struct XtermCase {
    const char* name;
    std::vector<QByteArray> reads;
    std::vector<QString> rows; // the first rows of the screen afterwards
    int x = -1, y = -1;        // the cursor, when checked
    QByteArray replies = {};   // what goes back to the host
};

const std::vector<XtermCase> kXtermCases = {
    {"ClearHomesAndErases", {"old\r\ntext\033[H\033[2J"}, {"", ""}, 0, 0},
    {"HomeWithoutParameters", {"abc\033[Hx"}, {"xbc"}, 1, 0},
    {"CarriageReturnReturns", {"abc\rX"}, {"Xbc"}, 1, 0},
    {"TabStopsEveryEight", {"a\tb"}, {"a       b"}, 9, 0},
    {"Utf8", {"gr\xC3\xBC\xC3\x9F \xE2\x82\xAC"}, {QString::fromUtf8("grüß €")}, 6, 0},
    {"ScrollRegionKeepsTheRowsOutside",
     {"top\033[2;3r\033[2;1Ha\r\nb\r\nc\r\n\033[r\033[5;1Hbelow"},
     {"top", "c", "", "", "below"}},
    {"InsertAndDeleteLine", {"1\r\n2\r\n3\033[2;1H\033[L\033[3;1H\033[M"}, {"1", "", "3"}},
    {"InsertAndDeleteCharacter", {"abcdef\033[1;2H\033[2@XY\033[1;5H\033[1P"}, {"aXYbdef"}},
    {"DecLineDrawing", {"\033(0lqk\033(B"}, {QString::fromUtf8("┌─┐")}},
    {"AlternateScreenBackToPrimary", {"shell\033[?1049hfull screen\033[?1049l"}, {"shell"}, 5, 0},
    {"DeviceAttributesAnswered", {"\033[c"}, {""}, 0, 0, "\033[?1;2c"},
    {"CursorPositionAnswered", {"\033[5;7H\033[6n"}, {""}, 6, 4, "\033[5;7R"},
    {"BracketedPasteModeShowsNothing", {"\033[?2004hok"}, {"ok"}},
    // libvterm 0.1 loops for ever on a repeat with no character before it.
    {"RepeatRepeatsTheLastCharacterAndNothingBeforeOne", {"\033[3bx\033[2b"}, {"xxx"}, 3, 0},
    // Drawn single, a double-width line keeps only the half a double-width line shows.
    {"DoubleWidthLineKeepsItsLeftHalf", {"\033[1;41Hright\033[1;1Hleft\033#6"}, {"left"}, 4, 0},
    // libvterm 0.1 overruns its argument array past 16: such a sequence is dropped whole.
    {"OverlongSequenceDropped", {"\033[" + QByteArray("1;").repeated(20) + "31mok"}, {"ok"}, 2, 0},
    {"OverlongAfterEscStar", {"\033*[" + QByteArray("1;").repeated(20) + "31mok"}, {"ok"}, 2, 0},
    // libvterm 0.1 reads a code point it never wrote when a piece of text is only the start
    // of a UTF-8 sequence; such a start waits for the next read, or shows U+FFFD when broken.
    {"Utf8CutAfterText", {"gr\xC3", "\xBC\xC3", "\x9F"}, {QString::fromUtf8("grüß")}},
    {"Utf8CutAlone", {"\033[1m", "\xE2", "\x82", "\xAC!"}, {QString::fromUtf8("€!")}},
    {"Utf8BrokenBeforeAControl", {"a\xE2\x82\033[mb"}, {QString::fromUtf8("a\uFFFDb")}},
};

TEST(Xterm, ProgramsSequences) {
    for (const XtermCase& c : kXtermCases) {
        SCOPED_TRACE(c.name);
        XtermEmulation e(24, 80);
        for (const QByteArray& read : c.reads)
            e.Process(read);
        for (size_t r = 0; r < c.rows.size(); ++r)
            EXPECT_EQ(e.RowText(int(r)), c.rows[r]) << r;
        if (c.x >= 0) EXPECT_EQ(std::pair(e.cursorX(), e.cursorY()), std::pair(c.x, c.y));
        EXPECT_EQ(e.TakeReplies(), c.replies);
    }
}

TEST(Xterm, ColoursOf256AndDirect) {
    XtermEmulation e(24, 80);
    e.Process("\033[38;5;196mR\033[48;5;21mB\033[38;2;1;2;3mD\033[7mV");
    std::vector<Cell> cells(80);
    e.LineCells(e.ScreenToView(0), cells.data());
    // The last is reversed: its text colour fills the cell.
    EXPECT_EQ(std::tuple(cells[0].text, cells[1].fill, cells[2].text, cells[3].fill),
              std::tuple(0xFF0000u, 0x0000FFu, 0x010203u, 0x010203u));
}

TEST(Xterm, KeysAsXtermSendsThem) {
    const std::tuple<const char*, KeyPress, QByteArray> cases[] = {
        {"BackspaceIsDel", {.vk = kVkBack, .ch = 8}, "\x7f"},
        {"Home", {.vk = kVkHome}, "\033[H"},
        {"End", {.vk = kVkEnd}, "\033[F"},
        {"Insert", {.vk = kVkInsert}, "\033[2~"},
        {"Delete", {.vk = kVkDelete}, "\033[3~"},
        {"F1", {.vk = kVkF1}, "\033OP"},
        {"F5", {.vk = kVkF1 + 4}, "\033[15~"},
        {"Up", {.vk = kVkUp}, "\033[A"},
        {"Enter", {.vk = kVkReturn}, "\r"},
        {"Escape", {.vk = kVkEscape}, "\033"},
        {"CtrlC", {.ch = U'c', .ctrl = true}, "\x03"},
        {"AltX", {.ch = U'x', .alt = true}, "\033x"},
        {"Euro", {.ch = U'\u20AC'}, "\xE2\x82\xAC"},
    };
    for (const auto& [name, key, sent] : cases) {
        XtermEmulation e(24, 80);
        e.Key(key);
        EXPECT_EQ(e.TakeReplies(), sent) << name;
    }
    // Cursor keys follow the application mode that full-screen programs set.
    XtermEmulation e(24, 80);
    e.Process("\033[?1h");
    e.Key({.vk = kVkUp});
    EXPECT_EQ(e.TakeReplies(), "\033OA");
    // A paste is bracketed only for a program that asked.
    e.Process("\033[?2004h");
    e.Paste("x");
    EXPECT_EQ(e.TakeReplies(), "\033[200~x\033[201~");
}

TEST(Xterm, ResizeMovesRowsThroughTheScrollback) {
    XtermEmulation e(24, 80);
    for (int k = 0; k < 30; ++k)
        e.Process(QByteArray::number(k) + "\r\n");
    const int before = e.historyLines();
    e.SetSize(e.lines(), 10, 40);
    EXPECT_EQ(std::pair(e.rows(), e.columns()), std::pair(10, 40));
    EXPECT_GT(e.historyLines(), before);
    EXPECT_EQ(e.RowText(e.cursorY() - 1), "29");
    e.SetSize(e.lines(), 24, 40); // taller: lines come back from the scrollback
    EXPECT_EQ(e.historyLines(), before);
    EXPECT_EQ(e.RowText(e.cursorY() - 1), "29");
    EXPECT_EQ(e.LineText(0), "0");

    // Text below the cursor that no longer fits never pushes the cursor's own line off the
    // screen: the cursor stays on it, and what is written next shows there (it went above
    // the screen, where libvterm 0.1's next erase wrote before its own line table).
    XtermEmulation cut(24, 80);
    cut.Process(QByteArray("\x1b[20;1Hbottom\x1b[2;1Htop"));
    cut.SetSize(cut.lines(), 10, 80);
    cut.Process(QByteArray("\x1b[Kx"));
    EXPECT_EQ(cut.RowText(cut.cursorY()), "topx");

    // A scrolling region below the new bottom is the whole screen again, as in xterm (libvterm
    // 0.1 kept its top there and its next scroll moved a negative length).
    XtermEmulation region(24, 80);
    region.Process(QByteArray("\x1b[20;24r\x1b[3;5Hat"));
    region.SetSize(region.lines(), 10, 80);
    region.Process(QByteArray("\x1b[Sx"));
    EXPECT_EQ(region.cursorY(), 2);
    EXPECT_EQ(region.RowText(1), "    at");
    EXPECT_EQ(region.RowText(2), "      x");
}

// ---- the telnet framing: transcripts of what the host sends, what it gets, what is shown

struct Transcript {
    const char* name;
    std::vector<QByteArray> reads;
    QByteArray replies;
    QByteArray data = {};
};

TEST(Telnet, FramingAndReplies) {
    const QByteArray ansi = B({255, 250, 24, 0}) + "ansi" + B({255, 240}); // the type, sent
    const Transcript cases[] = {
        {"TerminalTypeAtOnce", {B({255, 253, 24})}, B({255, 251, 24}) + ansi},
        {"TerminalTypeAgainOnSend", {B({255, 250, 24, 1, 255, 240})}, ansi},
        {"TerminalSpeed",
         {B({255, 250, 32, 1, 255, 240})},
         B({255, 250, 32, 0}) + "115200,115200" + B({255, 240})},
        {"WindowSizeReportsAddressableRows",
         {B({255, 253, 31})},
         B({255, 251, 31, 255, 250, 31, 0, 36, 0, 17, 255, 240})},
        {"WillEcho", {B({255, 251, 1})}, B({255, 253, 1})},
        {"WillSuppressGoAhead", {B({255, 251, 3})}, B({255, 253, 3})},
        {"WillOther", {B({255, 251, 5})}, B({255, 254, 5})},
        {"Wont", {B({255, 252, 1})}, B({255, 254, 1})},
        {"DoEcho", {B({255, 253, 1})}, B({255, 251, 1})},
        {"DoOther", {B({255, 253, 5})}, B({255, 252, 5})},
        {"Dont", {B({255, 254, 3})}, B({255, 252, 3})},
        {"RepeatsAnsweredEachTime", {B({255, 253, 5, 255, 253, 5})}, B({255, 252, 5, 255, 252, 5})},
        {"OtherSubnegotiationIgnored", {B({255, 250, 24, 0, 'x', 255, 240})}, {}},
        {"NopAndGoAheadIgnored", {B({'a', 255, 241, 255, 249, 'b'})}, {}, "ab"},
        {"DoubledIacShowsNothing", {B({'a', 255, 255, 'b'})}, {}, "ab"},
        // Cut anywhere, a command is carried whole into the next read.
        {"CutIacCarried", {B({'a', 255}), B({255, 'b'})}, {}, "ab"},
        {"CutVerbCarried", {B({'a', 255, 251}), B({1, 'b'})}, B({255, 253, 1}), "ab"},
        {"CutSubnegotiationCarried", {B({255, 250, 24}), B({1, 255}), B({240, 'z'})}, ansi, "z"},
        {"LongSubnegotiationReadToItsEnd",
         {B({255, 250, 39}) + QByteArray(5000, 'v'), QByteArray(5000, 'w') + B({255, 240}) + "ok"},
         {},
         "ok"},
        {"Value255InsideSubnegotiation", {B({255, 250, 31, 255, 255, 255, 240, 'k'})}, {}, "k"},
    };
    for (const Transcript& c : cases) {
        SCOPED_TRACE(c.name);
        TelnetProtocol protocol;
        protocol.SetWindowSize(36, 17);
        QByteArray data;
        for (const QByteArray& read : c.reads)
            protocol.Receive(reinterpret_cast<const uint8_t*>(read.constData()),
                             size_t(read.size()), data);
        EXPECT_EQ(protocol.TakeReplies(), c.replies);
        EXPECT_EQ(data, c.data);
        EXPECT_FALSE(protocol.carrying());
    }
}

TEST(Telnet, EveryByte255InARepliesIsDoubled) {
    EXPECT_EQ(WindowSizeUpdate(60, 19), B({255, 250, 31, 0, 60, 0, 19, 255, 240, 255, 253, 31}));
    // Sizes past one byte go as two, and a byte 255 of them goes twice.
    EXPECT_EQ(WindowSizeReply(255, 300), B({255, 250, 31, 0, 255, 255, 1, 44, 255, 240}));
    EXPECT_EQ(EscapeIac(B({'a', 255, 'b'})), B({'a', 255, 255, 'b'}));
    TelnetProtocol protocol;
    protocol.SetTerminalType(B({'x', 255}));
    QByteArray data;
    const QByteArray ask = B({255, 250, 24, 1, 255, 240});
    protocol.Receive(reinterpret_cast<const uint8_t*>(ask.constData()), size_t(ask.size()), data);
    EXPECT_EQ(protocol.TakeReplies(), B({255, 250, 24, 0, 'x', 255, 255, 255, 240}));
}

} // namespace

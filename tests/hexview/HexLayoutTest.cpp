// The hex window's arithmetic: bytes per row, rows of any length, row texts, hex numbers,
// the scroll bar's int range over more rows than an int holds, and the overwrite editor.
#include "hexview/HexLayout.h"

#include <array>
#include <gtest/gtest.h>
#include <limits>

using namespace velmar;

TEST(HexLayout, BytesPerRowIsAMultipleOfFourAndNeverBelowFour) {
    // The width, a byte pair's and a character's width, and the bytes.
    const std::array<int, 4> cases[] = {
        {240, 21, 7, 8},   // (240 - 15) / 28 = 8
        {255, 21, 7, 8},   // 8.6 rounds down
        {100, 21, 7, 4},   // 3 would be below 4
        {0, 21, 7, 4},     // no room at all
        {1000, 24, 8, 28}, // 30 rounds down to a multiple of 4
    };
    for (const auto& [width, pair, ch, bytes] : cases)
        EXPECT_EQ(HexLayout::BytesPerRow(width, pair, ch), bytes) << width;
}

TEST(HexLayout, RowsOfShortAndEmptyFiles) {
    // The length, bytes per row, rows, and the bytes of the last row.
    const std::tuple<qint64, int, qint64, int> cases[] = {
        {0, 8, 1, 0},  // one empty row
        {20, 8, 3, 4}, // a short last row
        {16, 8, 3, 0}, // an exact multiple ends with an empty row
        {7, 4, 2, 3},
    };
    for (const auto& [length, bytes, rows, lastRowBytes] : cases) {
        const HexLayout l(length, bytes);
        EXPECT_EQ(l.rowCount(), rows) << length;
        EXPECT_EQ(l.bytesInRow(rows - 1), lastRowBytes) << length;
        EXPECT_EQ(l.rowOf(rows * bytes), -1) << "an offset past the last row";
    }
}

TEST(HexLayout, RowTexts) {
    EXPECT_EQ(HexLayout::HexText("ABCD", 4), QStringLiteral("41 42 43 44")) << "full row";
    EXPECT_EQ(HexLayout::HexText("ABCD", 8), QStringLiteral("41 42 43 44 ")) << "short row";
    EXPECT_EQ(HexLayout::HexText(QByteArray("\x00\xff\x0a", 3), 8), QStringLiteral("00 FF 0A "));
    EXPECT_EQ(HexLayout::CharText(QByteArray("a\x1f\x7f ~\x80\xff", 7)), QStringLiteral("a.. ~.."));

    const std::pair<qint64, const char*> offsets[] = {
        {0, "00000000"},
        {0x1f0, "000001f0"},
        {0xffffffffLL, "ffffffff"},
        {0x400000000LL, "400000000"}, // 16 GiB: all digits, not a 32-bit cut
        {0x123456789aLL, "123456789a"},
    };
    for (const auto& [offset, text] : offsets)
        EXPECT_EQ(HexLayout::OffsetText(offset), QString::fromLatin1(text));
}

TEST(HexLayout, ParseHexReadsLeadingDigitsAndSaturates) {
    const std::pair<const char*, qint64> cases[] = {
        {"000001a0", 0x1a0},
        {"1F0", 0x1f0},
        {"12g4", 0x12},
        {"", 0},
        {"zz", 0},
        {" 12", 0},
        {"400000000", 0x400000000LL},
        {"fffffffffffffffffffff", std::numeric_limits<qint64>::max()},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(HexLayout::ParseHex(QString::fromLatin1(text)), value) << text;
    EXPECT_EQ(HexLayout::BytesOfHexText(QStringLiteral("a1 42 ")), QByteArray("\xa1\x42"));
    EXPECT_EQ(HexLayout::BytesOfHexText(QStringLiteral("00 7F 4a")), QByteArray("\x00\x7f\x4a", 3));
}

TEST(HexLayout, ScrollRangeCoversMoreRowsThanAnIntHolds) {
    const qint64 length = 16LL << 30;
    const HexLayout big(length, 4); // 2^32 + 1 rows
    const int page = 30;
    const qint64 top = big.maxTopRow(page);
    EXPECT_EQ(top, big.rowCount() - page);
    EXPECT_EQ(big.scrollMaximum(page), HexLayout::kMaxScrollSteps);
    EXPECT_EQ(big.scrollValueOf(0, page), 0);
    EXPECT_EQ(big.scrollValueOf(top, page), HexLayout::kMaxScrollSteps);
    EXPECT_EQ(big.topRowOf(HexLayout::kMaxScrollSteps, page), top) << "the end is reachable";
    EXPECT_EQ(big.topRowOf(0, page), 0);
    const qint64 perStep = top / HexLayout::kMaxScrollSteps + 1;
    for (qint64 row : {qint64(1), top / 3, top / 2, top - 1}) {
        const qint64 back = big.topRowOf(big.scrollValueOf(row, page), page);
        EXPECT_LE(std::abs(back - row), perStep) << row;
    }

    const HexLayout small(1000, 8); // 126 rows: one step per row
    EXPECT_EQ(small.scrollMaximum(10), 116);
    EXPECT_EQ(small.topRowOf(small.scrollValueOf(57, 10), 10), 57);
}

TEST(HexEdit, OverwritesAndNeverChangesTheLength) {
    // The text, the caret, the key typed; whether it was taken, the text and caret after.
    const std::tuple<const char*, int, char, bool, const char*, int> cases[] = {
        {"41 42", 0, 'a', true, "a1 42", 1},
        {"41 42", 2, 'b', true, "41 b2", 4}, // over a separator: the next digit
        {"41 42", 4, 'C', true, "41 4C", 4}, // the caret stays on the last character
        {"41 42", 1, ' ', true, "41 42", 2}, // a space replaces nothing
        {"41 42", 0, 'g', false, "41 42", 0},
        {"41 42", 0, '-', false, "41 42", 0},
        {"41 42 ", 5, '7', true, "41 427", 5}, // a trailing separator has no digit after it
        {"000001f0", 8, '3', true, "000001f3", 7},
    };
    for (const auto& [text, caret, typed, taken, after, caretAfter] : cases) {
        HexEdit e{QString::fromLatin1(text), caret};
        const bool took = e.Type(QLatin1Char(typed));
        EXPECT_EQ(std::tuple(took, e.text, e.caret),
                  std::tuple(taken, QString::fromLatin1(after), caretAfter))
            << text << " " << typed;
    }
    HexEdit e{QStringLiteral("41"), 0};
    e.Left();
    EXPECT_EQ(e.caret, 0);
    for (int i = 0; i < 3; ++i)
        e.Right();
    EXPECT_EQ(e.caret, 2);
}

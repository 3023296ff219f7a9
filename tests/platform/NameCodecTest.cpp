#include "platform/NameCodec.h"

#include <gtest/gtest.h>
#include <random>

using velmar::platform::DecodeName;
using velmar::platform::EncodeName;

TEST(NameCodec, ValidUtf8DecodesInvalidBytesBecomeLoneSurrogates) {
    EXPECT_EQ(DecodeName(std::string_view("plain.txt")), QStringLiteral("plain.txt"));
    EXPECT_EQ(DecodeName(std::string_view("caf\xC3\xA9")), QStringLiteral("caf\u00e9"));
    // A character outside the basic plane becomes a surrogate pair.
    EXPECT_EQ(DecodeName(std::string_view("\xF0\x9F\x98\x80")), QString::fromUcs4(U"\U0001F600"));
    // Names of the widest kinds only: three bytes for every unit, four for every pair.
    EXPECT_EQ(EncodeName(QString(40, QChar(0x4E2D))), QByteArray("\xE4\xB8\xAD").repeated(40));
    EXPECT_EQ(EncodeName(QString(9, QChar(0xD800))), QByteArray("\xEF\xBF\xBD").repeated(9));
    EXPECT_EQ(EncodeName(QString::fromUcs4(U"\U0001F600\U0001F600")),
              QByteArray("\xF0\x9F\x98\x80\xF0\x9F\x98\x80"));

    const std::string raw = "bad\xFF\xFEname\xC3"; // invalid bytes and a cut sequence
    const QString text = DecodeName(raw);
    EXPECT_EQ(text, QStringLiteral("bad") + QChar(0xDCFF) + QChar(0xDCFE) + "name" + QChar(0xDCC3));
    EXPECT_EQ(EncodeName(text), QByteArray::fromStdString(raw));
}

TEST(NameCodec, OverlongAndSurrogateEncodingsAreNotAccepted) {
    // "/" written overlong, and an encoded surrogate, must not decode to the character.
    EXPECT_FALSE(DecodeName(std::string_view("\xC0\xAF")).contains(QLatin1Char('/')));
    const QString s = DecodeName(std::string_view("\xED\xA0\x80"));
    EXPECT_EQ(s.size(), 3);
    EXPECT_EQ(EncodeName(s), QByteArray("\xED\xA0\x80"));
}

TEST(NameCodec, RandomBytesRoundTripExactly) {
    std::mt19937 rng(42);
    for (int i = 0; i < 2000; ++i) {
        std::string raw(size_t(rng() % 24), '\0');
        for (char& c : raw)
            c = char(rng() % 256 ? rng() % 256 : 1);
        ASSERT_EQ(EncodeName(DecodeName(raw)), QByteArray::fromStdString(raw)) << i;
    }
}

// Names that share a block behave as names of their own: a change to one, even to the last
// one left in its block, never shows in another, and a block outlives its maker while any
// of its names lives (the sanitizer builds catch a block freed early or twice).
TEST(NameCodec, NamesSharingABlockStayApart) {
    std::vector<QString> names;
    {
        velmar::platform::NameBlock block;
        for (int i = 0; i < 20000; ++i) // many blocks' worth
            names.push_back(block.Ascii(QByteArray::number(i).toStdString()));
        names.push_back(block.Ascii(std::string(3000, 'x'))); // too long to share
        names.push_back(block.Ascii(""));
    }
    EXPECT_EQ(names[20000], QString(3000, QLatin1Char('x')));
    EXPECT_TRUE(names[20001].isEmpty());
    names[5].append(QStringLiteral("-changed"));
    names[6][0] = QLatin1Char('#');
    EXPECT_EQ(names[4], QStringLiteral("4"));
    EXPECT_EQ(names[5], QStringLiteral("5-changed"));
    EXPECT_EQ(names[6], QStringLiteral("#"));
    EXPECT_EQ(names[7], QStringLiteral("7"));
    // The last name of a block grows in place over the names freed before it.
    QString last = names[10];
    names.clear();
    last.append(QString(100, QLatin1Char('y')));
    last.prepend(QStringLiteral("<"));
    EXPECT_EQ(last, QStringLiteral("<10") + QString(100, QLatin1Char('y')));
    EXPECT_EQ(last.utf16()[last.size()], u'\0');
}

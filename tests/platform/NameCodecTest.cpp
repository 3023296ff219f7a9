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

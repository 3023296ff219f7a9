#include "sources/SizeText.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace velmar;

TEST(FormatSize, RowsThresholdsAndTenths) {
    const std::pair<uint64_t, const char*> cases[] = {
        {0, "0 b"},
        {999, "999 b"},
        {1000, "0.9 k"},
        {1024, "1 k"},
        {1126, "1 k"},
        {1536, "1.5 k"},
        {999999, "976.5 k"},
        {1000000, "0.9 M"},
        {10 * 1048576ULL + 524288, "10.5 M"},
        {100 * 1048576ULL, "100 M"},
        {1073741823, "1023.9 M"},
        {1073741824, "1 G"},
        {1610612736, "1.5 G"},
        {4294967295ULL, "3.9 G"},
        // Beyond 32 bits the G row goes on instead of wrapping.
        {5ULL << 30, "5 G"},
        {(3ULL << 40) + (1ULL << 29), "3072.5 G"},
        {UINT64_MAX, "17179869183.9 G"},
    };
    for (auto [bytes, text] : cases)
        EXPECT_EQ(FormatSize(bytes), QString(text)) << bytes;
}

TEST(FormatNumber, GroupsWithTheLocaleAndHasNoFraction) {
    const std::pair<const char*, const char*> kLocales[] = {
        {"en_US", "5,000,000,000"}, {"de_DE", "5.000.000.000"}, {"C", "5,000,000,000"}};
    for (auto [name, five] : kLocales) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        EXPECT_EQ(FormatNumber(5000000000ULL), QString::fromUtf8(five)) << name;
        EXPECT_EQ(FormatNumber(999), "999") << name;
    }
    QLocale::setDefault(QLocale::system());
}

TEST(PathParts, NameAndExtension) {
    EXPECT_EQ(FileNamePart("/A/B/c.txt", '/'), "c.txt");
    EXPECT_EQ(FileNamePart("name", '/'), "name");
    EXPECT_EQ(ExtensionOf("a.b.c"), ".c");
    EXPECT_EQ(ExtensionOf("noext"), "");
    EXPECT_EQ(ExtensionOf(".profile"), ".profile");
}

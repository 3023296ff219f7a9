#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

using namespace velmar;

TEST(HistoryArchive, ExactBytesOfTheStoredForm) {
    const QByteArray bytes = *ArchiveStrings({"ab", QString(300, QChar('x'))});
    QByteArray expect("\x02\x00", 2);
    expect += QByteArray("\xFF\xFE\xFF\x02" "a\x00" "b\x00", 8);
    expect += QByteArray("\xFF\xFE\xFF\xFF\x2C\x01", 6);
    for (int i = 0; i < 300; ++i) expect += QByteArray("x\x00", 2);
    EXPECT_EQ(bytes, expect);
    EXPECT_EQ(*UnarchiveStrings(bytes), (QStringList{"ab", QString(300, QChar('x'))}));
}

TEST(HistoryArchive, RoundTripsNonAsciiAndRefusesOversize) {
    const QStringList list{"h\u00f6st", "\u65e5\u672c", "A", "a"};
    EXPECT_EQ(*UnarchiveStrings(*ArchiveStrings(list)), list);
    EXPECT_FALSE(ArchiveStrings({QString(20000, QChar('z'))}).has_value());
}

TEST(HistoryArchive, TruncatedOrCorruptBytesReadAsMissing) {
    const QByteArray good = *ArchiveStrings({"alpha", "beta"});
    for (int cut = 0; cut < good.size(); ++cut)
        EXPECT_FALSE(UnarchiveStrings(good.left(cut)).has_value()) << cut;
    // A count far beyond the bytes must not allocate or read past the end.
    EXPECT_FALSE(UnarchiveStrings(QByteArray("\xFF\xFF\xFF\xFF\xFF\x7F", 6)).has_value());
    EXPECT_FALSE(UnarchiveStrings(QByteArray("\x01\x00\xFF\xFE\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 11))
                     .has_value());
    // The older 8-bit string form still reads.
    EXPECT_EQ(*UnarchiveStrings(QByteArray("\x01\x00\x03xyz", 6)), QStringList{"xyz"});
}

TEST(History, MoveToFrontExactCompareAndKeepTwenty) {
    QStringList list;
    AddToHistory(list, "A");
    AddToHistory(list, "B");
    AddToHistory(list, "A");
    EXPECT_EQ(list, (QStringList{"A", "B"}));
    AddToHistory(list, "a");
    AddToHistory(list, "");
    EXPECT_EQ(list, (QStringList{"a", "A", "B"}));

    QStringList twenty;
    for (int i = 0; i < 20; ++i) twenty.append(QString("host%1").arg(i));
    SaveHistory("Ping", "LastHosts", twenty);
    QStringList loaded = LoadHistory("Ping", "LastHosts");
    EXPECT_EQ(loaded, twenty);
    for (int i = 0; i < 5; ++i) AddToHistory(loaded, QString("new%1").arg(i));
    SaveHistory("Ping", "LastHosts", loaded);
    const QStringList kept = LoadHistory("Ping", "LastHosts");
    ASSERT_EQ(kept.size(), 20);
    EXPECT_EQ(kept.first(), "new4");
    EXPECT_EQ(kept.last(), "host14");
    EXPECT_TRUE(LoadHistory("Whois", "LastHosts").isEmpty());
}

TEST(RegistryKey, ClassesRootKnowsExtensionsThroughTheMimeDatabase) {
    RegistryKey key;
    EXPECT_TRUE(key.Open(RegistryKey::ClassesRoot, ".txt"));
    EXPECT_FALSE(key.Open(RegistryKey::ClassesRoot, ".noSuchExtensionAtAll"));
    EXPECT_FALSE(key.isOpen());
    EXPECT_FALSE(key.Open(RegistryKey::ClassesRoot, ""));
}

#include "settings/SettingsStore.h"

#include <QFileInfo>
#include <climits>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

using namespace velmar;

TEST(HistoryArchive, ExactBytesRoundTripsAndNoOversize) {
    const QByteArray bytes = *ArchiveStrings({"ab", QString(300, QChar('x'))});
    QByteArray expect("\x02\x00", 2);
    expect += QByteArray("\xFF\xFE\xFF\x02" "a\x00" "b\x00", 8);
    expect += QByteArray("\xFF\xFE\xFF\xFF\x2C\x01", 6);
    for (int i = 0; i < 300; ++i) expect += QByteArray("x\x00", 2);
    EXPECT_EQ(bytes, expect);
    EXPECT_EQ(*UnarchiveStrings(bytes), (QStringList{"ab", QString(300, QChar('x'))}));
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
    for (const char* host : {"A", "B", "A"})
        AddToHistory(list, host);
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

TEST(History, TwoRunningCopiesMergeTheirListsAndListsSortIgnoringCase) {
    SaveHistory("Whois", "LastHosts", {"base1", "base2"});
    // Two copies read the list, each adds its own; the later save keeps the other's too.
    const QStringList loadedA = LoadHistory("Whois", "LastHosts");
    const QStringList loadedB = loadedA;
    QStringList a = loadedA, b = loadedB;
    AddToHistory(a, "fromA");
    AddToHistory(b, "fromB");
    AddToHistory(b, "base2");
    SaveHistory("Whois", "LastHosts", a, loadedA);
    SaveHistory("Whois", "LastHosts", b, loadedB);
    EXPECT_EQ(LoadHistory("Whois", "LastHosts"),
              (QStringList{"base2", "fromB", "fromA", "base1"}));
    EXPECT_EQ(SortedForList({"beta", "Alpha", "gamma", "alpha2", "Beta"}),
              (QStringList{"Alpha", "alpha2", "beta", "Beta", "gamma"}));
}

// The file is replaced (written to a temporary file, renamed) once per dialog's OK.
TEST(SettingsFile, PreferencesAreOneWriteOfTheFile) {
    WriteStoreSetting("UseLinger", 0); // the file exists
    const QString path = platform::SettingsFilePath();
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    inotify_add_watch(watch, QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                      IN_MOVED_TO);
    WriteStoreSettings({0, 1, 0, 1, 0, 1, 20, 6, 7, 1});
    int replaced = 0;
    alignas(inotify_event) char events[8192];
    for (ssize_t n; (n = read(watch, events, sizeof events)) > 0;)
        for (char* p = events; p < events + n;) {
            const auto* e = reinterpret_cast<const inotify_event*>(p);
            if (e->len && QFile::decodeName(e->name) == QFileInfo(path).fileName()) ++replaced;
            p += sizeof(inotify_event) + e->len;
        }
    close(watch);
    EXPECT_EQ(replaced, 1);
    EXPECT_EQ(ReadStoreSetting("SendTimeout"), 6);
    EXPECT_EQ(ReadStoreSetting("UseLinger"), 1);
}

// A stored time-out means the same to every reader: seconds to milliseconds without
// overflow, and 0 (or below) as no limit rather than "give up at once".
TEST(SettingsFile, TimeOutsInMillisecondsWithoutOverflow) {
    const std::pair<int, int> table[] = {
        {5, 5000},          {0, kNoTimeLimitMs},       {-3, kNoTimeLimitMs},
        {2147483, 2147483000}, {2147484, kNoTimeLimitMs}, {INT_MAX, kNoTimeLimitMs},
    };
    for (const auto& [seconds, ms] : table) {
        WriteStoreSetting("RecieveTimeout", seconds);
        EXPECT_EQ(TimeoutSettingMs("RecieveTimeout"), ms) << seconds;
    }
    WriteStoreSetting("RecieveTimeout", 5);
}

TEST(RegistryKey, ClassesRootKnowsExtensionsThroughTheMimeDatabase) {
    RegistryKey key;
    EXPECT_TRUE(key.Open(RegistryKey::ClassesRoot, ".txt"));
    EXPECT_FALSE(key.Open(RegistryKey::ClassesRoot, ".noSuchExtensionAtAll"));
    EXPECT_FALSE(key.isOpen());
    EXPECT_FALSE(key.Open(RegistryKey::ClassesRoot, ""));
}

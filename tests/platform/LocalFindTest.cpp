#include "platform/LocalFind.h"
#include "platform/NameCodec.h"
#include "support/TempDir.h"

#include <QDateTime>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velmar;
using namespace velmar::platform;

TEST(MatchMask, ClassicWildcards) {
    EXPECT_TRUE(MatchMask("readme", "*.*"));
    EXPECT_TRUE(MatchMask("a.txt", "*.TXT"));
    EXPECT_FALSE(MatchMask("a.txt.bak", "*.txt"));
    EXPECT_TRUE(MatchMask("abc", "a?c"));
    EXPECT_FALSE(MatchMask("ac", "a?c"));
    EXPECT_TRUE(MatchMask("data", "da*.*"));
    EXPECT_TRUE(MatchMask("x.tar.gz", "*.*.gz"));
    EXPECT_TRUE(MatchMask("\u00c9t\u00e9.doc", "\u00e9*"));
    EXPECT_FALSE(MatchMask("b.txt", "a*"));
    EXPECT_TRUE(MatchMask("\u212a.txt", "k*")) << "the Kelvin sign folds to k";
    EXPECT_FALSE(MatchMask("a@b", "a`b")) << "only letters have a case";
    EXPECT_FALSE(MatchMask("xt", "*.txt"));
}

TEST(LocalFind, ReportsAttributesSizesAndTimes) {
    test::TempDir dir;
    dir.write("a.txt", QByteArray(1234, 'x'));
    dir.write(".hidden", "h");
    dir.mkdir("sub");
    dir.write("ro.txt", "r");
    ::chmod(QFile::encodeName(dir.file("ro.txt")).constData(), 0444);
    ::symlink("sub", QFile::encodeName(dir.file("linkdir")).constData());

    LocalFind f;
    ASSERT_TRUE(f.Open(dir.path() + "/*.*"));
    QHash<QString, FindRecord> seen;
    FindRecord r;
    while (f.Next(r))
        seen.insert(r.name, r);
    ASSERT_EQ(seen.size(), 5);
    EXPECT_FALSE(seen.contains(".") || seen.contains(".."));
    EXPECT_EQ(seen["a.txt"].size, 1234u);
    EXPECT_EQ(seen["a.txt"].attributes & attr::Archive, attr::Archive);
    EXPECT_TRUE(seen[".hidden"].attributes & attr::Hidden);
    EXPECT_TRUE(seen["sub"].isFolder());
    EXPECT_TRUE(seen["linkdir"].isFolder());
    EXPECT_TRUE(seen["linkdir"].attributes & attr::ReparsePoint);
    if (geteuid() != 0) EXPECT_TRUE(seen["ro.txt"].attributes & attr::ReadOnly);
    // Write time in file-time units agrees with the clock.
    const qint64 unixSecs = qint64(seen["a.txt"].lastWriteTime / 10000000ULL) - 11644473600LL;
    EXPECT_LT(std::llabs(unixSecs - QDateTime::currentSecsSinceEpoch()), 120);
    EXPECT_GE(seen["a.txt"].creationTime, 116444736000000000ULL);
}

TEST(LocalFind, NameThatIsNotUtf8ListsAndReopens) {
    test::TempDir dir;
    const QByteArray raw = QFile::encodeName(dir.path()) + "/odd\xFF\xFEname";
    ASSERT_TRUE(test::WriteRaw(raw, "12345"));
    LocalFind f;
    FindRecord r;
    ASSERT_TRUE(f.Open(dir.path() + "/*.*") && f.Next(r));
    const QString path = dir.path() + "/" + r.name;
    EXPECT_FALSE(f.Next(r));
    ASSERT_TRUE(StatPath(path, r));
    EXPECT_EQ(r.size, 5u);
    EXPECT_EQ(EncodeName(path), raw);
}

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

// One table for both matchers: the raw one compares ASCII names byte by byte and must agree.
TEST(MatchMask, ClassicWildcardsOnNamesAndRawNames) {
    // The name (UTF-8), the mask, whether they match, and why.
    const std::tuple<const char*, const char*, bool, const char*> cases[] = {
        {"readme", "*.*", true, "*.* takes a name without a dot"},
        {"a.txt", "*.TXT", true, "case is ignored"},
        {"a.txt.bak", "*.txt", false, "the tail is the end"},
        {"abc", "a?c", true, "? is one character"},
        {"ac", "a?c", false, "? is not none"},
        {"data", "da*.*", true, "name.* takes a name without a dot"},
        {"x.tar.gz", "*.*.gz", true, "two stars"},
        {"\u00c9t\u00e9.doc", "\u00e9*", true, "non-ASCII folds"},
        {"b.txt", "a*", false, "first letter"},
        {"\u212a.txt", "k*", true, "the Kelvin sign folds to k"},
        {"K.txt", "\u212a*", true, "an ASCII name against a Kelvin-sign mask"},
        {"a@b", "a`b", false, "only letters have a case"},
        {"xt", "*.txt", false, "shorter than the tail"},
    };
    for (const auto& [nameUtf8, maskUtf8, match, why] : cases) {
        const QString name = QString::fromUtf8(nameUtf8);
        const QString mask = QString::fromUtf8(maskUtf8);
        EXPECT_EQ(MatchMask(name, mask), match) << why;
        const QByteArray raw = EncodeName(name);
        EXPECT_EQ(MatchMaskRaw(std::string_view(raw.constData(), size_t(raw.size())), mask), match)
            << why << " (raw)";
    }
    EXPECT_TRUE(MatchMaskRaw("\xff\xfe.txt", QStringLiteral("*.TXT"))) << "not UTF-8";
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
    ASSERT_EQ(seen.size(), 5); // no "." or ".."
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

// LIST lines as servers print them, through the parser.
#include "ftpclient/ListParser.h"
#include "Printers.h"
#include "platform/NameCodec.h"

#include <QDateTime>
#include <QTimeZone>
#include <gtest/gtest.h>

using velmar::FindRecord;
using velmar::ftp::ListClock;
using velmar::ftp::ParseListLine;
namespace attr = velmar::attr;

namespace {

uint64_t Utc(int y, int mo, int d, int h = 0, int mi = 0) {
    const QDateTime t(QDate(y, mo, d), QTime(h, mi), QTimeZone::utc());
    return velmar::FileTimeFromUnix(t.toSecsSinceEpoch(), 0);
}

const ListClock kJune2024{2024, 6};

bool Unix(std::string_view line, FindRecord& r) {
    return ParseListLine("UNIX", line, r, kJune2024);
}

} // namespace

TEST(ListParserUnix, FolderWithSpacesAndTimeOfCurrentYear) {
    FindRecord r;
    // vsftpd pads the day with a zero, ProFTPD with a space; both read the same.
    for (std::string_view line :
         {"drwxr-xr-x    2 1000     1000         4096 Jan 05 12:30 my folder",
          "drwxr-xr-x   2 user group 4096 Jan  5 12:30 my folder"}) {
        ASSERT_TRUE(Unix(line, r)) << line;
        EXPECT_EQ(r.attributes, attr::Directory);
        EXPECT_EQ(r.name, QStringLiteral("my folder"));
        EXPECT_EQ(r.size, 4096u);
        EXPECT_EQ(r.lastWriteTime, Utc(2024, 1, 5, 12, 30));
        EXPECT_EQ(r.creationTime, r.lastWriteTime);
        EXPECT_EQ(r.lastAccessTime, r.lastWriteTime);
    }
}

TEST(ListParserUnix, YearFormAndLastYearRule) {
    FindRecord r;
    // pyftpdlib's year form: two spaces before the year.
    ASSERT_TRUE(Unix("-rw-r--r--   1 velmar   velmar        100 Mar 03  1999 a.txt", r));
    EXPECT_EQ(r.attributes, 0u);
    EXPECT_EQ(r.size, 100u);
    EXPECT_EQ(r.name, QStringLiteral("a.txt"));
    EXPECT_EQ(r.lastWriteTime, Utc(1999, 3, 3));

    // A December entry with a time, read in June, is from last year.
    ASSERT_TRUE(Unix("-rw-r--r--   1 ftp      ftp          1024 Dec 31 23:59 report.pdf", r));
    EXPECT_EQ(r.lastWriteTime, Utc(2023, 12, 31, 23, 59));
    // The same month as now is this year.
    ASSERT_TRUE(Unix("-rw-r--r--   1 ftp      ftp          1024 Jun 01 08:07 now.txt", r));
    EXPECT_EQ(r.lastWriteTime, Utc(2024, 6, 1, 8, 7));
}

TEST(ListParserUnix, LargeSizesAndOddTimes) {
    FindRecord r;
    // Past 4 GiB: sizes are 64-bit.
    ASSERT_TRUE(Unix("-rw-r--r--   1 u g 6442450944 Feb 29  2020 disk.img", r));
    EXPECT_EQ(r.size, 6442450944ull);
    EXPECT_EQ(r.lastWriteTime, Utc(2020, 2, 29));
    // More than two characters before the colon: the hour is 0.
    ASSERT_TRUE(Unix("-rw-r--r--   1 u g 5 Jan 2 123:45 x", r));
    EXPECT_EQ(r.lastWriteTime, Utc(2024, 1, 2, 0, 45));
    // Inner and trailing blanks of a name stay; the run before it separates fields.
    ASSERT_TRUE(Unix("-rw-r--r--   1 u g 5 Jan 2 2001  two  spaces ", r));
    EXPECT_EQ(r.name, QStringLiteral("two  spaces "));
}

TEST(ListParserUnix, DroppedLines) {
    FindRecord r;
    for (std::string_view line : {
             "lrwxrwxrwx   1 root     root            7 Jan  1  2020 bin -> usr/bin",
             "srwxrwxrwx   1 root     root            0 Jan  1  2020 sock",
             "total 12",
             "totals 3",
             "-rw-r--r--   1 u g 100 JAN 3 1999 caps.txt", // month in capitals
             "-rw-r--r--   1 u g 100 Foo 3 1999 x",        // no month
             "-rw-r--r--   1 u g 100 Feb 30 1999 x",       // no such day
             "-rw-r--r--   1 u g 100 Mar 3 25:10 x",       // no such hour
             "-rw-r--r-- 1 u 100 Mar 3 1999 nogroup",      // field missing: month is "3"
             "-rw-r--r--   1 u g 100 Mar 3",               // ends before the time field
             "",
             "-rw-r--r--",
         }) {
        EXPECT_FALSE(Unix(line, r)) << line;
        EXPECT_TRUE(r.name.isEmpty()) << line;
    }
}

TEST(ListParserUnix, NamesKeepTheirBytes) {
    FindRecord r;
    // A Latin-1 byte that is not UTF-8 must come back as the same byte.
    ASSERT_TRUE(Unix("-rw-r--r-- 1 u g 3 Jan 1 2020 caf\xe9.txt", r));
    EXPECT_EQ(velmar::platform::EncodeName(r.name), QByteArray("caf\xe9.txt"));
    ASSERT_TRUE(Unix("-rw-r--r-- 1 u g 3 Jan 1 2020 \xd0\xb4\xd0\xb0.txt", r));
    EXPECT_EQ(r.name, QString::fromUtf8("\xd0\xb4\xd0\xb0.txt"));
}

TEST(ListParserDos, WindowsNtLines) {
    FindRecord r;
    ASSERT_TRUE(
        ParseListLine("Windows_NT", "01-31-03  10:30PM       <DIR>          pub", r, kJune2024));
    EXPECT_EQ(r.attributes, attr::Directory);
    EXPECT_EQ(r.name, QStringLiteral("pub"));
    EXPECT_EQ(r.lastWriteTime, Utc(2003, 1, 31, 22, 30));

    ASSERT_TRUE(
        ParseListLine("Windows_NT", "12-01-99  12:05AM                 1024 x.bin", r, kJune2024));
    EXPECT_EQ(r.attributes, 0u);
    EXPECT_EQ(r.size, 1024u);
    EXPECT_EQ(r.name, QStringLiteral("x.bin"));
    EXPECT_EQ(r.lastWriteTime, Utc(1999, 12, 1, 0, 5));

    // 12 PM stays 12; names keep their spaces.
    ASSERT_TRUE(
        ParseListLine("Windows_NT", "06-15-79  12:00PM  5  My Documents.txt", r, kJune2024));
    EXPECT_EQ(r.lastWriteTime, Utc(2079, 6, 15, 12, 0));
    EXPECT_EQ(r.name, QStringLiteral("My Documents.txt"));

    // Fields missing, or a date that is none.
    EXPECT_FALSE(ParseListLine("Windows_NT", "01-31-03  10:30PM", r, kJune2024));
    EXPECT_FALSE(ParseListLine("Windows_NT", "13-01-03  10:30PM  <DIR> bad", r, kJune2024));
    EXPECT_FALSE(ParseListLine("Windows_NT", "02-30-03  10:30PM  <DIR> bad", r, kJune2024));
}

TEST(ListParserDos, WindowsNtServerInUnixForm) {
    FindRecord r;
    ASSERT_TRUE(ParseListLine("Windows_NT",
                              "-rwxrwxrwx   1 owner    group          42 Apr  7  2015 unix.txt", r,
                              kJune2024));
    EXPECT_EQ(r.size, 42u);
    EXPECT_EQ(r.lastWriteTime, Utc(2015, 4, 7));
    // A Unix-form link is still dropped, not taken for a DOS date.
    EXPECT_FALSE(ParseListLine("Windows_NT", "lrwxrwxrwx 1 o g 4 Apr 7 2015 l -> x", r, kJune2024));
}

TEST(ListParserShort, PSOSystemLines) {
    FindRecord r;
    ASSERT_TRUE(ParseListLine("pSOSytem", "drwxrwxrwx  1  0  512  SYSTEM", r, kJune2024));
    EXPECT_EQ(r.attributes, attr::Directory);
    EXPECT_EQ(r.size, 512u);
    EXPECT_EQ(r.name, QStringLiteral("SYSTEM"));
    EXPECT_EQ(r.lastWriteTime, 0u);

    ASSERT_TRUE(ParseListLine("pSOSytem", "-rwxrwxrwx  1  0  46528  boot image.bin", r, kJune2024));
    EXPECT_EQ(r.attributes, 0u);
    EXPECT_EQ(r.size, 46528u);
    EXPECT_EQ(r.name, QStringLiteral("boot image.bin"));

    EXPECT_FALSE(ParseListLine("pSOSytem", "-rwx 1 0", r, kJune2024));
}

TEST(ListParser, NoSystemTypeUnderstandsNothing) {
    FindRecord r;
    EXPECT_FALSE(ParseListLine("", "-rw-r--r-- 1 u g 100 Mar 3 1999 a.txt", r, kJune2024));
}

TEST(ListParser, CivilDates) {
    uint64_t t = 0;
    EXPECT_TRUE(velmar::ftp::CivilToFileTime(1601, 1, 1, 0, 0, t));
    EXPECT_EQ(t, 0u);
    EXPECT_TRUE(velmar::ftp::CivilToFileTime(2000, 2, 29, 23, 59, t));
    EXPECT_EQ(t, Utc(2000, 2, 29, 23, 59));
    EXPECT_FALSE(velmar::ftp::CivilToFileTime(1900, 2, 29, 0, 0, t));
    EXPECT_FALSE(velmar::ftp::CivilToFileTime(1600, 12, 31, 0, 0, t));
    EXPECT_FALSE(velmar::ftp::CivilToFileTime(2001, 4, 31, 0, 0, t));
}

// LIST lines as servers print them, through the parser.
#include "ftp/ListParser.h"
#include "platform/NameCodec.h"
#include "support/Printers.h"

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

// Lines as real servers print them, read in June 2024.
TEST(ListParser, CapturedLines) {
    // The system, the line, and the attributes, size, name and time read from it.
    using Case = std::tuple<const char*, const char*, uint32_t, uint64_t, const char*, uint64_t>;
    const Case cases[] = {
        // vsftpd pads the day with a zero, ProFTPD with a space; both read the same.
        {"UNIX", "drwxr-xr-x    2 1000     1000         4096 Jan 05 12:30 my folder",
         attr::Directory, 4096, "my folder", Utc(2024, 1, 5, 12, 30)},
        {"UNIX", "drwxr-xr-x   2 user group 4096 Jan  5 12:30 my folder", attr::Directory, 4096,
         "my folder", Utc(2024, 1, 5, 12, 30)},
        // pyftpdlib's year form: two spaces before the year.
        {"UNIX", "-rw-r--r--   1 velmar   velmar        100 Mar 03  1999 a.txt", 0, 100, "a.txt",
         Utc(1999, 3, 3)},
        // A December time read in June is from last year; the current month is this year.
        {"UNIX", "-rw-r--r--   1 ftp      ftp          1024 Dec 31 23:59 report.pdf", 0, 1024,
         "report.pdf", Utc(2023, 12, 31, 23, 59)},
        {"UNIX", "-rw-r--r--   1 ftp      ftp          1024 Jun 01 08:07 now.txt", 0, 1024,
         "now.txt", Utc(2024, 6, 1, 8, 7)},
        // Past 4 GiB; more than two characters before the colon make the hour 0; inner and
        // trailing blanks of a name stay.
        {"UNIX", "-rw-r--r--   1 u g 6442450944 Feb 29  2020 disk.img", 0, 6442450944ull,
         "disk.img", Utc(2020, 2, 29)},
        {"UNIX", "-rw-r--r--   1 u g 5 Jan 2 123:45 x", 0, 5, "x", Utc(2024, 1, 2, 0, 45)},
        {"UNIX", "-rw-r--r--   1 u g 5 Jan 2 2001  two  spaces ", 0, 5, "two  spaces ",
         Utc(2001, 1, 2)},
        {"Windows_NT", "01-31-03  10:30PM       <DIR>          pub", attr::Directory, 0, "pub",
         Utc(2003, 1, 31, 22, 30)},
        {"Windows_NT", "12-01-99  12:05AM                 1024 x.bin", 0, 1024, "x.bin",
         Utc(1999, 12, 1, 0, 5)},
        {"Windows_NT", "06-15-79  12:00PM  5  My Documents.txt", 0, 5, "My Documents.txt",
         Utc(2079, 6, 15, 12, 0)},
        {"Windows_NT", "-rwxrwxrwx   1 owner    group          42 Apr  7  2015 unix.txt", 0, 42,
         "unix.txt", Utc(2015, 4, 7)},
        {"pSOSytem", "drwxrwxrwx  1  0  512  SYSTEM", attr::Directory, 512, "SYSTEM", 0},
        {"pSOSytem", "-rwxrwxrwx  1  0  46528  boot image.bin", 0, 46528, "boot image.bin", 0},
    };
    for (const auto& [system, line, attributes, size, name, time] : cases) {
        FindRecord r;
        ASSERT_TRUE(ParseListLine(system, line, r, kJune2024)) << line;
        EXPECT_EQ(std::tuple(r.attributes, r.size, r.name, r.lastWriteTime),
                  std::tuple(attributes, size, QString::fromLatin1(name), time))
            << line;
        EXPECT_EQ(std::pair(r.creationTime, r.lastAccessTime), std::pair(time, time)) << line;
    }
}

TEST(ListParser, DroppedLines) {
    FindRecord r;
    const char nul[] = "-rw-r--r--   1 u g 1 Jan 1 2020 a\0b";
    for (auto [system, line] : {
             std::pair<const char*, std::string_view>{
                 "UNIX", "lrwxrwxrwx   1 root     root            7 Jan  1  2020 bin -> usr/bin"},
             {"UNIX", "srwxrwxrwx   1 root     root            0 Jan  1  2020 sock"},
             {"UNIX", "total 12"},
             {"UNIX", "totals 3"},
             {"UNIX", "-rw-r--r--   1 u g 100 JAN 3 1999 caps.txt"}, // month in capitals
             {"UNIX", "-rw-r--r--   1 u g 100 Foo 3 1999 x"},        // no month
             {"UNIX", "-rw-r--r--   1 u g 100 Feb 30 1999 x"},       // no such day
             {"UNIX", "-rw-r--r--   1 u g 100 Mar 3 25:10 x"},       // no such hour
             {"UNIX", "-rw-r--r-- 1 u 100 Mar 3 1999 nogroup"},      // field missing: month is "3"
             {"UNIX", "-rw-r--r--   1 u g 100 Mar 3"},               // ends before the time field
             {"UNIX", ""},
             {"UNIX", "-rw-r--r--"},
             // Names a folder download must never write to.
             {"UNIX", "drwxr-xr-x   1 u g 0 Jan 1 2020 .."},
             {"UNIX", "-rw-r--r--   1 u g 1 Jan 1 2020 ../../.profile"},
             {"UNIX", std::string_view(nul, sizeof nul - 1)},
             // A backslash is sent as a slash, a line break ends a command line.
             {"UNIX", "drwxr-xr-x   1 u g 0 Jan 1 2020 ..\\.."},
             {"UNIX", "-rw-r--r--   1 u g 1 Jan 1 2020 a\rDELE b"},
             {"UNIX", "-rw-r--r--   1 u g 1 Jan 1 2020 tab\there"},
             {"UNIX", "drwxr-xr-x   1 u g 0 Jan 1 2020 ."},
             {"Windows_NT", "01-31-03  10:30PM  <DIR>  ..\\..\\windows"},
             {"Windows_NT", "01-31-03  10:30PM"},
             {"Windows_NT", "13-01-03  10:30PM  <DIR> bad"},
             {"Windows_NT", "02-30-03  10:30PM  <DIR> bad"},
             // A Unix-form link is still dropped, not taken for a DOS date.
             {"Windows_NT", "lrwxrwxrwx 1 o g 4 Apr 7 2015 l -> x"},
             {"Windows_NT", "01-31-03  10:30PM  <DIR>  sub/../.."},
             {"pSOSytem", "-rwxrwxrwx  1  0  46528  /etc/passwd"},
             {"pSOSytem", "-rwx 1 0"},
             // No system type understands nothing.
             {"", "-rw-r--r-- 1 u g 100 Mar 3 1999 a.txt"},
         }) {
        EXPECT_FALSE(ParseListLine(system, line, r, kJune2024)) << line;
        if (std::string_view(system) == "UNIX") EXPECT_TRUE(r.name.isEmpty()) << line;
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

// A LIST answer handed from the receiving thread to the parsing one: the lines, their order
// and the end are those of the answer however it arrives and whichever thread makes their
// records; a stop or a break-off ends the lines at once.
#include "ftp/ListStream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using velmar::FindRecord;
using velmar::ftp::ListStream;

namespace {

// Numbered lines (CR LF; every 50th name holds a bare LF) and a last one without its line end.
std::string Answer(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += "-rw-r--r-- 1 0 0 " + std::to_string(i) + " Jun 01 10:00 " +
                (i % 50 == 49 ? "a\nb" : "f") + std::to_string(i) + "\r\n";
    return text + "last";
}

// A line's record is its text; lines starting with '#' are none.
bool ParseText(std::string_view line, FindRecord& out) {
    out = FindRecord{};
    if (!line.empty() && line[0] == '#') return false;
    out.name = QString::fromLatin1(line.data(), qsizetype(line.size()));
    return true;
}

std::vector<QString> SplitWhole(const std::string& answer) {
    std::vector<QString> lines;
    velmar::ftp::ListLineSplitter splitter;
    FindRecord r;
    const auto take = [&](std::string_view l) {
        if (ParseText(l, r)) lines.push_back(r.name);
    };
    splitter.Feed(answer.data(), answer.size(), take);
    splitter.Finish(take);
    return lines;
}

} // namespace

TEST(ListStream, LinesKeepTheirOrderAcrossTheHandOverAndWhoeverMakesTheRecords) {
    // CR LF lines (bare LFs inside names, an over-long line, a line that is no entry), and
    // bare LF lines (a CR before the LF dropped): over a megabyte each, so the queue fills up.
    std::string crlf = Answer(40000);
    crlf.insert(crlf.find("f9000\r\n"), std::string(70000, 'x'));
    crlf.insert(crlf.find("-rw", 500000), "#total 5\r\n");
    std::string lf;
    for (int i = 0; i < 40000; ++i)
        lf += "-rw-r--r-- 1 0 0 0 Jun 01 10:00 g" + std::to_string(i) + (i % 7 == 6 ? "\r\n" : "\n");
    for (const std::string& answer : {crlf, lf}) {
        const std::vector<QString> expected = SplitWhole(answer);
        ASSERT_GT(expected.size(), 39000u);
        struct Case {
            size_t piece;           // bytes per Feed
            size_t inlineBytes;     // before the thread takes over
            size_t parseBesideFrom; // 0: the receiving thread makes every block it can
        };
        // Pieces that cut lines (and CR LF) anywhere; the hand-over early, mid-line and never.
        for (const Case c : {Case{1000, 0, 8}, Case{7, 333, 8}, Case{65536, 100000, 8},
                             Case{4096, SIZE_MAX, 8}, Case{1000, 0, 0}, Case{333, 50, 0},
                             Case{65536, 100000, 0}, Case{262144, 0, 0}}) {
            std::vector<QString> lines;
            ListStream stream(ParseText, [&](FindRecord& r) { lines.push_back(r.name); }, nullptr,
                              c.inlineBytes, c.parseBesideFrom);
            for (size_t at = 0; at < answer.size(); at += c.piece)
                stream.Feed(answer.data() + at, std::min(c.piece, answer.size() - at));
            stream.Finish();
            EXPECT_EQ(lines, expected) << "pieces of " << c.piece << ", inline " << c.inlineBytes
                                       << ", beside from " << c.parseBesideFrom;
        }
    }
}

// The parsing thread is held on its first record while more of the answer is queued (the
// receiving thread makes records of it too); then the listing stops: nothing queued is taken,
// and the last line is not given. An answer that broke off gives no last line either, and
// nothing after Abandon.
TEST(ListStream, StopDropsWhatIsQueuedAndABreakOffGivesNoLastLine) {
    const std::string answer = Answer(40000);
    std::atomic<bool> stop{false};
    std::atomic<bool> release{false};
    std::atomic<int> taken{0};
    {
        ListStream stream(
            ParseText,
            [&](FindRecord&) {
                if (taken.fetch_add(1) == 0)
                    while (!release.load())
                        std::this_thread::yield();
            },
            &stop, 0, 0);
        const size_t first = answer.find('\n') + 4; // one line and a part
        stream.Feed(answer.data(), first);
        stream.Feed(answer.data() + first, answer.size() - first);
        while (taken.load() == 0)
            std::this_thread::yield();
        stop = true;
        release = true;
        stream.Finish();
    }
    EXPECT_EQ(taken.load(), 1);

    std::vector<QString> lines;
    ListStream broken(ParseText, [&](FindRecord& r) { lines.push_back(r.name); }, nullptr, 0);
    broken.Feed(answer.data(), answer.size());
    broken.Abandon();
    const size_t after = lines.size();
    EXPECT_TRUE(lines.empty() || lines.back() != "last");
    broken.Abandon();
    EXPECT_EQ(lines.size(), after);
}

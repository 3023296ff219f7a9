// A LIST answer handed from the receiving thread to the parsing one: the lines, their order
// and the end are those of the answer however it arrives; a stop or a break-off ends the
// lines at once.
#include "ftp/ListStream.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

using velmar::ftp::ListStream;

namespace {

// Numbered lines (CR LF) and a last one without its line end.
std::string Answer(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i)
        text += "-rw-r--r-- 1 0 0 " + std::to_string(i) + " Jun 01 10:00 f" + std::to_string(i) +
                "\r\n";
    return text + "last";
}

} // namespace

TEST(ListStream, LinesKeepTheirOrderAcrossTheHandOver) {
    const std::string answer = Answer(40000); // over a megabyte: the queue fills up
    const std::vector<std::string> expected = [&] {
        std::vector<std::string> lines;
        velmar::ftp::ListLineSplitter splitter;
        const auto take = [&](std::string_view l) { lines.emplace_back(l); };
        splitter.Feed(answer.data(), answer.size(), take);
        splitter.Finish(take);
        return lines;
    }();
    struct Case {
        size_t piece;       // bytes per Feed
        size_t inlineBytes; // before the thread takes over
    };
    // Pieces that cut lines anywhere; the hand-over early, mid-line and never.
    for (const Case c : {Case{1000, 0}, Case{7, 333}, Case{65536, 100000}, Case{4096, SIZE_MAX}}) {
        std::vector<std::string> lines;
        ListStream stream([&](std::string_view l) { lines.emplace_back(l); }, nullptr,
                          c.inlineBytes);
        for (size_t at = 0; at < answer.size(); at += c.piece)
            stream.Feed(answer.data() + at, std::min(c.piece, answer.size() - at));
        stream.Finish();
        EXPECT_EQ(lines, expected) << "pieces of " << c.piece << ", inline " << c.inlineBytes;
    }
}

// The parsing thread is held on its first line while more of the answer is queued; then the
// listing stops: what is queued is not parsed, and the last line is not given. An answer that
// broke off gives no last line either, and nothing after Abandon.
TEST(ListStream, StopDropsWhatIsQueuedAndABreakOffGivesNoLastLine) {
    const std::string answer = Answer(40000);
    std::atomic<bool> stop{false};
    std::atomic<bool> release{false};
    std::atomic<int> seen{0};
    {
        ListStream stream(
            [&](std::string_view) {
                if (seen.fetch_add(1) == 0)
                    while (!release.load())
                        std::this_thread::yield();
            },
            &stop, 0);
        const size_t first = answer.find('\n') + 4; // one line and a part
        stream.Feed(answer.data(), first);
        stream.Feed(answer.data() + first, answer.size() - first);
        while (seen.load() == 0)
            std::this_thread::yield();
        stop = true;
        release = true;
        stream.Finish();
    }
    EXPECT_EQ(seen.load(), 1);

    std::vector<std::string> lines;
    ListStream broken([&](std::string_view l) { lines.emplace_back(l); }, nullptr, 0);
    broken.Feed(answer.data(), answer.size());
    broken.Abandon();
    const size_t after = lines.size();
    EXPECT_TRUE(lines.empty() || lines.back() != "last");
    broken.Abandon();
    EXPECT_EQ(lines.size(), after);
}

// Framing of control replies and the PASV answer, without sockets.
#include "ftp/client/ReplyReader.h"
#include "ftp/client/PasvReply.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace velmar::ftp;

namespace {

void Feed(ControlBuffer& b, std::string_view bytes) {
    ASSERT_LE(bytes.size(), b.FreeSize());
    std::memcpy(b.FreeSpace(), bytes.data(), bytes.size());
    b.Commit(bytes.size());
}

} // namespace

TEST(ReplyLine, FinalLinesAndOthers) {
    EXPECT_EQ(ParseReplyLine("220 ready").code, 220);
    EXPECT_EQ(ParseReplyLine("100 ").code, 100);
    const std::pair<const char*, LineKind> lines[] = {{"220 ready", LineKind::Final},
                                                      {"599 x", LineKind::Final},
                                                      {"220-first line", LineKind::Other},
                                                      {" 220 indented", LineKind::Other},
                                                      {"2200 four", LineKind::Other},
                                                      {"abc free text", LineKind::Other},
                                                      {"220", LineKind::Other},
                                                      {"600 beyond", LineKind::BadCode},
                                                      {"099 below", LineKind::BadCode}};
    for (auto [line, kind] : lines)
        EXPECT_EQ(ParseReplyLine(line).kind, kind) << line;
}

TEST(ControlBuffer, LinesSplitAcrossReceives) {
    ControlBuffer b;
    Feed(b, "220-Welcome\r\n220-more te");
    EXPECT_EQ(b.NextLine(), QByteArray("220-Welcome"));
    EXPECT_FALSE(b.NextLine());
    Feed(b, "xt\r");
    EXPECT_FALSE(b.NextLine()); // a lone CR is not yet a line end
    Feed(b, "\n220 ready\r\n");
    EXPECT_EQ(b.NextLine(), QByteArray("220-more text"));
    EXPECT_EQ(b.NextLine(), QByteArray("220 ready"));
    EXPECT_FALSE(b.NextLine());
    EXPECT_EQ(b.Buffered(), 0u);
}

TEST(ControlBuffer, OverlongLineIsDroppedWhole) {
    ControlBuffer b;
    const std::string longLine(ControlBuffer::kSize + 500, 'x');
    size_t fed = 0;
    // Fill to the brim repeatedly, as the reader does, then end the line.
    while (fed < longLine.size()) {
        const size_t n = std::min(b.FreeSize(), longLine.size() - fed);
        Feed(b, std::string_view(longLine).substr(fed, n));
        fed += n;
        EXPECT_FALSE(b.NextLine());
        EXPECT_GT(b.FreeSize(), 0u);
    }
    Feed(b, "tail\r\n200 OK\r\n");
    EXPECT_EQ(b.NextLine(), QByteArray("200 OK"));
}

TEST(ControlBuffer, LineEndSplitAtTheBrim) {
    ControlBuffer b;
    Feed(b, std::string(ControlBuffer::kSize - 1, 'y') + "\r");
    EXPECT_FALSE(b.NextLine());
    Feed(b, "\n230 in\r\n");
    EXPECT_EQ(b.NextLine(), QByteArray("230 in"));
}

TEST(ReplyQueue, TakesOldestExpectedWithEveryOlderOneAndStaysBounded) {
    ReplyQueue q;
    q.Push({214, "214 help"});
    q.Push({150, "150 open"});
    q.Push({226, "226 done"});
    EXPECT_FALSE(q.Take({331}));
    EXPECT_EQ(q.Size(), 3u);
    const auto r = q.Take({226, 150});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->code, 150); // oldest match, not the first listed code
    EXPECT_EQ(q.Size(), 1u); // 214 went with it
    EXPECT_EQ(q.Take({226})->line, QByteArray("226 done"));
    EXPECT_TRUE(q.Empty());
    // Bounded when replies are never taken.
    for (int i = 0; i < 1000; ++i)
        q.Push({200, "200 ok"});
    EXPECT_LE(q.Size(), ReplyQueue::kMaxQueued);
}

TEST(PasvReply, AddressAndPort) {
    auto a = ParsePassiveReply("227 Entering Passive Mode (192,168,1,2,19,137)");
    ASSERT_TRUE(a);
    EXPECT_EQ(std::tuple(a->ip[0], a->ip[3], a->port), std::tuple(192, 2, 5001));
    // Numbers in the base their prefix gives.
    a = ParsePassiveReply("227 =(0x7f,0,0,01,010,0x10)");
    ASSERT_TRUE(a);
    EXPECT_EQ(std::tuple(a->ip[0], a->ip[3], a->port), std::tuple(127, 1, 8 * 256 + 16));
    // Spaces after commas, as some servers print them.
    EXPECT_EQ(ParsePassiveReply("227 ok (127, 0, 0, 1, 4, 1)").value().port, 1025);

    for (const char* bad : {"227 Entering Passive Mode 127,0,0,1,4,1", "227 (127,0,0,1,4)",
                            "227 (127,0,0,1,4,)", "227 (127,0,0,1,4,256)", "227 (-1,0,0,1,4,1)",
                            "227 (127;0;0;1;4;1)", "227 (99999999999999999999,0,0,1,4,1)"})
        EXPECT_FALSE(ParsePassiveReply(bad)) << bad;
}

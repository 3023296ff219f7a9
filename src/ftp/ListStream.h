#pragma once
// A LIST answer cut into lines and made into records beside the thread that receives it.
// Reading a large folder's answer, splitting its lines and making records of them all on one
// thread keeps that thread from the socket while the server waits to send more; so once an
// answer has grown past a first stretch (a small folder pays no thread), its blocks go in
// order through a short queue to a thread of their own, which cuts the lines, makes records
// of them and hands them out. While that queue is full the receiving thread does not sit
// idle: it makes records of the whole lines of the block in hand itself, and queues them
// made, with the bytes of the lines it shares with its neighbours left for the parsing thread.
//
// `parse` may run on both threads at once; `take` sees every record in the order of the
// answer, on one thread at a time (the receiving one, then the parsing one); every call has
// returned when Finish or Abandon does. Memory is bounded: the queue holds a few blocks (the
// receiver waits for room), and ListLineSplitter bounds the line it holds.

#include "ftp/ListLines.h"
#include "platform/FindRecord.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace velmar::platform {
class CancelToken;
}

namespace velmar::ftp {

class ListStream {
public:
    // Makes `out` of one line; false for a line that is no entry. Reads only what it shares.
    using Parse = std::function<bool(std::string_view line, FindRecord& out)>;
    // Takes one record over.
    using Take = std::function<void(FindRecord&)>;

    // Blocks go to a thread of their own once more than this much has come.
    static constexpr size_t kInlineBytes = 128 * 1024;
    static constexpr size_t kBlockBytes = 128 * 1024;
    static constexpr size_t kQueuedBlocks = 4;

    // `stop` (optional) and the calling thread's cancel token end the parsing early: lines
    // still queued then are dropped unread. The receiving thread makes records itself once
    // `parseBesideFrom` blocks wait in the queue (the queue's size: when it would wait).
    ListStream(Parse parse, Take take, const std::atomic<bool>* stop = nullptr,
               size_t inlineBytes = kInlineBytes, size_t parseBesideFrom = kQueuedBlocks);
    ~ListStream(); // as Abandon
    ListStream(const ListStream&) = delete;
    ListStream& operator=(const ListStream&) = delete;

    // The next bytes of the answer (on the receiving thread).
    void Feed(const char* data, size_t size);
    // The answer came whole: its last line, even without a line end, is a line too. Returns
    // once every record has been taken.
    void Finish();
    // The answer broke off: what is still queued is dropped, and no record is taken after
    // this returns.
    void Abandon();

private:
    // A stretch of the answer as queued: its bytes, or (made beside) the bytes up to its
    // first line end, the records of its whole lines after that, and the bytes after its
    // last line end.
    struct Block {
        std::string bytes;
        std::vector<FindRecord> records;
        std::string tail;
        bool made = false;
    };

    bool Stopped() const;
    void Run();
    void End(bool whole);
    void Line(std::string_view line);
    // Line, as the splitter takes it.
    auto Lines() {
        return [this](std::string_view line) { Line(line); };
    }
    void Consume(Block& block);
    // The receiving thread's part: what it knows of the answer so far, and the records of
    // the whole lines of `data`, when it holds some besides its first and last line ends.
    void Follow(const char* data, size_t size);
    bool MakeBeside(const char* data, size_t size, Block& out) const;

    Parse parse_;
    Take take_;
    const std::atomic<bool>* stop_;
    const platform::CancelToken* cancel_;
    size_t inlineLeft_;
    size_t parseBesideFrom_;
    ListLineSplitter splitter_; // the parsing thread's alone once it runs
    FindRecord record_;         // the one that Line fills
    std::thread thread_;

    // The receiving thread's own: how lines end, and the last byte it was given.
    ListLineSplitter::Mode form_ = ListLineSplitter::Mode::Unknown;
    char lastByte_ = '\0';

    std::mutex mutex_;
    std::condition_variable queued_; // a block came, or the end
    std::condition_variable room_;   // a block was taken
    std::deque<Block> queue_;
    std::vector<std::string> spare_; // blocks handed back, reused without fresh pages
    bool ended_ = false;
    bool whole_ = false;
    std::atomic<bool> abandoned_{false};
};

} // namespace velmar::ftp

#pragma once
// A LIST answer cut into lines and handed on beside the thread that receives it. Reading a
// large folder's answer, splitting its lines and making records of them all on one thread
// keeps that thread from the socket while the server waits to send more; so once an answer
// has grown past a first stretch (a small folder pays no thread), its blocks go in order
// through a short queue to a thread of their own, which cuts and hands out the lines.
//
// `line` sees every line in the order of the answer, on one thread at a time (the
// receiving one, then the parsing one); every call has returned when Finish or Abandon
// does. Memory is bounded: the queue holds a few blocks (the receiver waits for room),
// and ListLineSplitter bounds the line it holds.

#include "ftp/ListLines.h"

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
    using Line = std::function<void(std::string_view)>;

    // Blocks go to a thread of their own once more than this much has come.
    static constexpr size_t kInlineBytes = 128 * 1024;
    static constexpr size_t kBlockBytes = 128 * 1024;
    static constexpr size_t kQueuedBlocks = 8;

    // `stop` (optional) and the calling thread's cancel token end the parsing early: lines
    // still queued then are dropped unread.
    explicit ListStream(Line line, const std::atomic<bool>* stop = nullptr,
                        size_t inlineBytes = kInlineBytes);
    ~ListStream(); // as Abandon
    ListStream(const ListStream&) = delete;
    ListStream& operator=(const ListStream&) = delete;

    // The next bytes of the answer (on the receiving thread).
    void Feed(const char* data, size_t size);
    // The answer came whole: its last line, even without a line end, is a line too. Returns
    // once every line has been handed out.
    void Finish();
    // The answer broke off: what is still queued is dropped, and no line is handed out after
    // this returns.
    void Abandon();

private:
    bool Stopped() const;
    void Run();
    void End(bool whole);

    Line line_;
    const std::atomic<bool>* stop_;
    const platform::CancelToken* cancel_;
    size_t inlineLeft_;
    ListLineSplitter splitter_; // the parsing thread's alone once it runs
    std::thread thread_;

    std::mutex mutex_;
    std::condition_variable queued_; // a block came, or the end
    std::condition_variable room_;   // a block was taken
    std::deque<std::string> queue_;
    std::vector<std::string> spare_; // blocks handed back, reused without fresh pages
    bool ended_ = false;
    bool whole_ = false;
    std::atomic<bool> abandoned_{false};
};

} // namespace velmar::ftp

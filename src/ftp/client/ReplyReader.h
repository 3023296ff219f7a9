#pragma once
// Framing of server replies on the control connection, apart from any protocol decision:
// bytes go into a fixed control buffer, complete lines come out, final reply lines
// ("ddd text") are queued until an operation consumes them. No socket in here.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <optional>
#include <string_view>

namespace velmar::ftp {

struct Reply {
    int code = 0;
    QByteArray line;     // the whole line, code included, without its CR LF
    uint64_t serial = 0; // order of arrival, given by the queue
};

enum class LineKind {
    Final,   // "ddd text" with a code from 100 to 599
    BadCode, // "ddd text" with any other code
    Other,   // continuation lines, "ddd-" first lines, free text
};

struct ParsedLine {
    LineKind kind = LineKind::Other;
    int code = 0;
};

// A final reply line has three decimal digits and a space first.
ParsedLine ParseReplyLine(std::string_view line);

// Cuts CR LF-ended lines from the bytes received so far. A line longer than the buffer
// is dropped whole, up to and including its CR LF, so it can never overrun anything.
class ControlBuffer {
public:
    static constexpr size_t kSize = 1460;

    char* FreeSpace() { return data_ + buffered_; }
    size_t FreeSize() const { return kSize - buffered_; }
    void Commit(size_t count);
    // The next complete line without its CR LF, or nothing when no whole line is buffered.
    std::optional<QByteArray> NextLine();
    size_t Buffered() const { return buffered_; }
    void Clear();

private:
    char data_[kSize];
    size_t buffered_ = 0;
    bool dropping_ = false; // inside an overlong line: discard up to its CR LF
};

// Final replies received and not yet consumed, oldest first.
class ReplyQueue {
public:
    static constexpr size_t kMaxQueued = 64;

    void Push(Reply reply);
    // Consumes the oldest reply whose code is expected, with every older one.
    std::optional<Reply> Take(std::initializer_list<int> expected);
    // Consumes the newest reply, with every older one, when it has this code and arrived at
    // or after `since` (a NextSerial() taken before the command was sent): the answer to
    // that command, never a stale one left from an earlier command.
    std::optional<Reply> TakeNewest(int code, uint64_t since);
    uint64_t NextSerial() const { return next_; }
    bool Empty() const { return queue_.empty(); }
    size_t Size() const { return queue_.size(); }
    void Clear() { queue_.clear(); }

private:
    std::deque<Reply> queue_;
    uint64_t next_ = 1;
};

enum class ProcessResult { Queued, BadCode, NeedMore };

// Offers every complete buffered line to ParseReplyLine until one final line is queued.
// `last` receives the line that decided the result (a queued or a bad reply).
ProcessResult ProcessBufferedLines(ControlBuffer& buffer, ReplyQueue& queue, Reply* last);

} // namespace velmar::ftp

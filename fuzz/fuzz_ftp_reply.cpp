// Control replies are outside input: any byte stream, cut into any receive sizes, must
// frame into lines without overrunning the control buffer, and queue only final replies.
#include "ftp/client/ReplyReader.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmar::ftp;
    ControlBuffer buffer;
    ReplyQueue queue;
    size_t pos = 0;
    while (pos < size) {
        // One byte chooses the size of the next receive.
        const size_t want = size_t(data[pos++]) * 8 + 1;
        const size_t n = std::min({want, size - pos, buffer.FreeSize()});
        if (buffer.FreeSize() == 0) std::abort();
        std::memcpy(buffer.FreeSpace(), data + pos, n);
        buffer.Commit(n);
        pos += n;
        Reply last;
        ProcessResult r;
        while ((r = ProcessBufferedLines(buffer, queue, &last)) != ProcessResult::NeedMore) {
            const ParsedLine parsed =
                ParseReplyLine(std::string_view(last.line.constData(), size_t(last.line.size())));
            if (r == ProcessResult::Queued && parsed.kind != LineKind::Final) std::abort();
            if (r == ProcessResult::BadCode && parsed.kind != LineKind::BadCode) std::abort();
            if (last.line.contains("\r\n")) std::abort();
        }
        if (buffer.Buffered() > ControlBuffer::kSize) std::abort();
        if (queue.Size() > ReplyQueue::kMaxQueued) std::abort();
    }
    while (queue.Take({100, 150, 200, 220, 226, 227, 230, 250, 257, 331, 350, 421, 550})) {
    }
    return 0;
}

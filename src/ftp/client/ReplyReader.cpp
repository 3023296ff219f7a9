#include "ftp/client/ReplyReader.h"

#include <algorithm>
#include <cstring>

namespace velmar::ftp {

namespace {
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
} // namespace

ParsedLine ParseReplyLine(std::string_view line) {
    if (line.size() < 4 || !IsDigit(line[0]) || !IsDigit(line[1]) || !IsDigit(line[2]) ||
        line[3] != ' ')
        return {};
    const int code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
    if (code < 100 || code > 599) return {LineKind::BadCode, code};
    return {LineKind::Final, code};
}

void ControlBuffer::Commit(size_t count) {
    buffered_ = std::min(kSize, buffered_ + count);
}

void ControlBuffer::Clear() {
    buffered_ = 0;
    dropping_ = false;
}

std::optional<QByteArray> ControlBuffer::NextLine() {
    for (;;) {
        const char* end = nullptr;
        for (size_t i = 0; i + 1 < buffered_; ++i) {
            if (data_[i] == '\r' && data_[i + 1] == '\n') {
                end = data_ + i;
                break;
            }
        }
        if (!end) {
            if (buffered_ == kSize) {
                // Full without a line end: drop it, and the rest of that line when it comes.
                // Keep a trailing CR, which may be the first half of the line end.
                const bool cr = data_[kSize - 1] == '\r';
                buffered_ = 0;
                if (cr) data_[buffered_++] = '\r';
                dropping_ = true;
            }
            return std::nullopt;
        }
        const size_t len = size_t(end - data_);
        QByteArray line(data_, qsizetype(len));
        const size_t used = len + 2;
        std::memmove(data_, data_ + used, buffered_ - used);
        buffered_ -= used;
        if (dropping_) {
            dropping_ = false;
            continue;
        }
        return line;
    }
}

void ReplyQueue::Push(Reply reply) {
    // A server chattering replies nobody asks for must not grow memory without end.
    if (queue_.size() >= kMaxQueued) queue_.pop_front();
    reply.serial = next_++;
    queue_.push_back(std::move(reply));
}

std::optional<Reply> ReplyQueue::Take(std::initializer_list<int> expected) {
    for (auto it = queue_.begin(); it != queue_.end(); ++it) {
        if (std::find(expected.begin(), expected.end(), it->code) != expected.end()) {
            Reply found = std::move(*it);
            queue_.erase(queue_.begin(), it + 1);
            return found;
        }
    }
    return std::nullopt;
}

std::optional<Reply> ReplyQueue::TakeNewest(int code, uint64_t since) {
    if (queue_.empty() || queue_.back().code != code || queue_.back().serial < since)
        return std::nullopt;
    Reply found = std::move(queue_.back());
    queue_.clear();
    return found;
}

ProcessResult ProcessBufferedLines(ControlBuffer& buffer, ReplyQueue& queue, Reply* last) {
    while (std::optional<QByteArray> line = buffer.NextLine()) {
        const ParsedLine parsed =
            ParseReplyLine(std::string_view(line->constData(), size_t(line->size())));
        if (parsed.kind == LineKind::Other) continue;
        Reply reply{parsed.code, std::move(*line)};
        if (last) *last = reply;
        if (parsed.kind == LineKind::BadCode) return ProcessResult::BadCode;
        queue.Push(std::move(reply));
        return ProcessResult::Queued;
    }
    return ProcessResult::NeedMore;
}

} // namespace velmar::ftp

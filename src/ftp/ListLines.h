#pragma once
// Cuts a LIST answer into lines as its blocks arrive, for both back ends. The first line end
// decides the form: after a CR LF, lines end only at CR LF (a bare LF belongs to a name, as
// Unix allows); after a bare LF, every LF ends a line and a CR before it is dropped. Lines
// come out the same however the answer is cut into blocks. Memory is bounded: a line longer
// than the limit is dropped whole (never read as lines of its own), and nothing else is held.

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace velmar::ftp {

class ListLineSplitter {
public:
    static constexpr size_t kLongestLine = 64 * 1024;

    // How lines end: told by the first line end of the answer.
    enum class Mode { Unknown, CrLf, Lf };

    explicit ListLineSplitter(size_t longestLine = kLongestLine, Mode mode = Mode::Unknown)
        : longest_(longestLine), mode_(mode) {}

    Mode mode() const { return mode_; }

    // Hands every line completed by `data` to `line` (a callable taking std::string_view),
    // without its line end.
    template <class Line>
    void Feed(const char* data, size_t size, Line&& line) {
        const char* p = data;
        const char* const end = data + size;
        const char* scan = p;
        while (scan < end) {
            const char* nl = static_cast<const char*>(std::memchr(scan, '\n', size_t(end - scan)));
            if (!nl) break;
            const bool cr = nl > p ? nl[-1] == '\r' : prevCr_;
            if (mode_ == Mode::Unknown) mode_ = cr ? Mode::CrLf : Mode::Lf;
            scan = nl + 1;
            if (mode_ == Mode::CrLf && !cr) continue; // inside a name
            Emit(p, nl, cr, line);
            p = scan;
            prevCr_ = false;
        }
        Keep(p, end);
    }

    // The answer ended: a last line without a line end is a line too.
    template <class Line>
    void Finish(Line&& line) {
        if (!dropping_ && !pending_.empty()) {
            if (pending_.back() == '\r') pending_.pop_back();
            // The byte kept over the limit for a CR was none: the line is too long.
            if (!pending_.empty() && pending_.size() <= longest_) line(std::string_view(pending_));
        }
        pending_.clear();
        dropping_ = false;
        prevCr_ = false;
        mode_ = Mode::Unknown;
    }

    // The most the splitter holds at once (for the bound's test).
    size_t Held() const { return pending_.size(); }

private:
    template <class Line>
    void Emit(const char* p, const char* nl, bool cr, Line& line) {
        if (dropping_) {
            dropping_ = false;
            return;
        }
        const size_t n = size_t(nl - p);
        if (pending_.empty()) {
            if (n - (cr ? 1 : 0) <= longest_) line(std::string_view(p, n - (cr ? 1 : 0)));
            return;
        }
        if (pending_.size() + n <= longest_ + 1) {
            pending_.append(p, n);
            if (cr) pending_.pop_back();
            if (pending_.size() <= longest_) line(std::string_view(pending_));
        }
        pending_.clear();
    }

    void Keep(const char* p, const char* end) {
        const size_t n = size_t(end - p);
        if (n == 0) return;
        prevCr_ = end[-1] == '\r';
        if (dropping_) return;
        // One byte over the limit may still be the CR of the line's end.
        if (pending_.size() + n > longest_ + 1) {
            pending_.clear();
            dropping_ = true;
            return;
        }
        pending_.append(p, n);
    }

    size_t longest_;
    std::string pending_; // the start of a line whose end has not arrived
    Mode mode_ = Mode::Unknown;
    bool prevCr_ = false;   // the last byte taken was a CR
    bool dropping_ = false; // inside an over-long line: skip to its end
};

} // namespace velmar::ftp

// The LIST line splitting of both back ends. The first byte picks a line limit (small, so that
// over-long lines are common), the rest is the answer. Whatever the bytes: the lines are the
// same however the answer is cut into blocks, none is longer than the limit, none holds a line
// end of the answer's form, they appear in the answer in order, and the splitter never holds
// more than the limit and one byte. The lines handed on by a ListStream whose receiving thread
// makes the records of every block it can are those of the whole answer as well.
#include "ftp/ListLines.h"
#include "ftp/ListStream.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<std::string> Split(std::string_view text, size_t limit, uint32_t seed) {
    velmar::ftp::ListLineSplitter splitter(limit);
    std::vector<std::string> lines;
    const auto take = [&](std::string_view line) { lines.emplace_back(line); };
    size_t at = 0;
    while (at < text.size()) {
        size_t n = text.size() - at;
        if (seed != 0) {
            seed = seed * 1103515245u + 12345u;
            n = std::min<size_t>(n, 1 + (seed >> 16) % 7);
        }
        splitter.Feed(text.data() + at, n, take);
        if (splitter.Held() > limit + 1) std::abort();
        at += n;
    }
    splitter.Finish(take);
    return lines;
}

std::vector<std::string> Streamed(std::string_view text, uint32_t seed) {
    std::vector<std::string> lines;
    const auto parse = [](std::string_view line, velmar::FindRecord& out) {
        out.name = QString::fromLatin1(line.data(), qsizetype(line.size()));
        return true;
    };
    velmar::ftp::ListStream stream(parse, [&](velmar::FindRecord& r) {
        lines.push_back(r.name.toLatin1().toStdString());
    }, nullptr, 0, 0);
    for (size_t at = 0; at < text.size();) {
        seed = seed * 1103515245u + 12345u;
        const size_t n = std::min<size_t>(text.size() - at, 1 + (seed >> 16) % 300);
        stream.Feed(text.data() + at, n);
        at += n;
    }
    stream.Finish();
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t limit = 1 + data[0] % 32;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::vector<std::string> whole = Split(text, limit, 0);
    if (Split(text, limit, uint32_t(size) * 2654435761u + 1) != whole) std::abort();
    if (Streamed(text, uint32_t(size)) !=
        Split(text, velmar::ftp::ListLineSplitter::kLongestLine, 0))
        std::abort();
    const size_t firstLf = text.find('\n');
    const bool crlf = firstLf != std::string_view::npos && firstLf > 0 && text[firstLf - 1] == '\r';
    size_t pos = 0;
    for (const std::string& line : whole) {
        if (line.size() > limit) std::abort();
        if (line.find(crlf ? "\r\n" : "\n") != std::string::npos) std::abort();
        pos = text.find(line, pos);
        if (pos == std::string_view::npos) std::abort();
        pos += line.size();
    }
    return 0;
}

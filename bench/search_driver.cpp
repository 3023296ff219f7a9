// The content test of "Search files" on one file, for bench/search.sh against grep.
//   search_driver make FILE MIB     writes MIB MiB of printable ASCII lines (words, numbers)
//   search_driver find FILE TEXT [nocase]
//                                   SearchFile for TEXT in text mode (its 8-bit and UTF-16
//                                   forms); prints "found" or "not found"
#include "DriverSupport.h"
#include "sources/PatternSearch.h"

#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Make(const char* path, long mib) {
    static const char* const words[] = {
        "the",     "file",   "manager", "folder", "copy",    "move",     "delete", "pane",
        "server",  "list",   "search",  "text",   "open",    "close",    "window", "hex",
        "offset",  "byte",   "row",     "column", "telnet",  "terminal", "ping",   "whois",
        "finger",  "task",   "memory",  "power",  "battery", "game",     "lines",  "ball",
        "score",   "and",    "of",      "to",     "in",      "is",       "for",    "with",
        "on",      "as",     "by",      "at",     "from",    "that",     "this",   "it",
        "between", "before", "after",   "while",  "until",   "because",  "when",   "where"};
    const size_t nWords = sizeof words / sizeof *words;
    const char* const marks[] = {",", ".", ";", ":", " -", "!", "?", ")"};
    FILE* out = std::fopen(path, "wb");
    if (!out) return 1;
    velmar::bench::Random next;
    const uint64_t total = uint64_t(mib) << 20;
    uint64_t written = 0;
    std::string line;
    while (written < total) {
        line.clear();
        const int count = 4 + int(next() % 12);
        for (int i = 0; i < count; ++i) {
            const uint64_t r = next();
            if (r % 9 == 0) {
                line += std::to_string(r % 100000);
            } else {
                line += words[r % nWords];
                if (i == 0) line[line.size() - std::strlen(words[r % nWords])] -= 32;
            }
            if (r % 7 == 0) line += marks[(r >> 8) % 8];
            line += ' ';
        }
        line.back() = '\n';
        const size_t n = std::min<uint64_t>(line.size(), total - written);
        if (std::fwrite(line.data(), 1, n, out) != n) return 1;
        written += n;
    }
    return std::fclose(out) == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "make") == 0) return Make(argv[2], std::atol(argv[3]));
    if (argc >= 4 && std::strcmp(argv[1], "find") == 0) {
        velmar::PatternSearch search;
        search.Init();
        const bool caseSensitive = !(argc > 4 && std::strcmp(argv[4], "nocase") == 0);
        search.AddPattern(QString::fromLocal8Bit(argv[3]), caseSensitive, false);
        const bool found = search.SearchFile(QString::fromLocal8Bit(argv[2]));
        std::puts(found ? "found" : "not found");
        return 0;
    }
    std::fprintf(stderr, "usage: search_driver make FILE MIB | find FILE TEXT [nocase]\n");
    return 2;
}

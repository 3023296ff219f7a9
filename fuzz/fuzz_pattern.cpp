// The pattern search against the plain chunk scan on any text and content. Input: a flags
// byte (bit 0 case sensitive, bit 1 hex, bit 2 a second text, bits 3-7 the start offset),
// then one or two search texts (UTF-8) each ended by a newline, then the file content.
#include "sources/PatternSearch.h"

#include <QBuffer>
#include <cstdint>
#include <cstdlib>

namespace {

char Upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 32) : c;
}

qint64 ChunkScan(const velmar::PatternSearch& s, const QByteArray& data, qint64 start) {
    const qint64 L = s.longest();
    const qint64 size = s.ChunkSize();
    for (qint64 at = start; at < data.size();) {
        const qint64 n = std::min<qint64>(size, data.size() - at);
        for (const velmar::SearchPattern& p : s.patterns()) {
            for (qint64 pos = 0; pos + p.length() <= n; ++pos) {
                qint64 i = 0;
                while (i < p.length() &&
                       (s.caseSensitive() ? data[at + pos + i] == p.bytes[i]
                                          : Upper(data[at + pos + i]) == Upper(p.bytes[i])))
                    ++i;
                if (i == p.length()) return at + pos;
            }
        }
        at += n > L ? n - L : n;
    }
    return -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t flags = data[0];
    QByteArray rest(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    velmar::PatternSearch s;
    s.Init();
    for (int i = 0; i < ((flags & 4) ? 2 : 1); ++i) {
        const qsizetype nl = rest.indexOf('\n');
        if (nl < 0) return 0;
        s.AddPattern(QString::fromUtf8(rest.left(nl)), flags & 1, flags & 2);
        rest.remove(0, nl + 1);
    }
    const qint64 start = flags >> 3;
    QBuffer buffer(&rest);
    buffer.open(QIODevice::ReadOnly);
    if (s.SearchStream(buffer, start) != ChunkScan(s, rest, start)) std::abort();
    return 0;
}

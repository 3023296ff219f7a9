// PWD and SYST answers are outside input. The folder taken from a PWD answer is the
// quoted text with its doubled quotes made single: quoted again, it must stand in the
// line at its first quote. A SYST word is the line's text from the fifth character up to
// the first stop, and holds no stop.
#include "ftp/client/FtpClient.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void CheckWord(const QByteArray& line, const char* stops) {
    const QByteArray word = velmar::ftp::WordAfterCode(line, stops);
    if (line.size() <= 4) {
        if (!word.isEmpty()) std::abort();
        return;
    }
    if (!line.mid(4).startsWith(word)) std::abort();
    for (const char c : word)
        if (c == '\0' || std::strchr(stops, c)) std::abort();
    const qsizetype after = 4 + word.size();
    if (after < line.size() && line[after] != '\0' && !std::strchr(stops, line[after]))
        std::abort(); // the word ended before a stop
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray line(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray path = velmar::ftp::QuotedPath(line);
    if (!path.isEmpty()) {
        QByteArray quoted = path;
        quoted.replace('"', "\"\"");
        quoted = '"' + quoted + '"';
        const qsizetype open = line.indexOf('"');
        if (open < 0 || line.mid(open, quoted.size()) != quoted) std::abort();
    }
    CheckWord(line, " ");
    CheckWord(line, " \r\n");
    return 0;
}

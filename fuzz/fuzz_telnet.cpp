// Telnet commands from the host: the interpreter always moves forward within the data, and
// what it answers is a run of whole commands (IAC verb option, or IAC SB ... IAC SE).
#include "telnet/TelnetProtocol.h"

#include <cstdint>
#include <cstdlib>

namespace {

bool WellFormed(const QByteArray& out) {
    using namespace velmar::telnet;
    const auto* b = reinterpret_cast<const uint8_t*>(out.constData());
    const qsizetype n = out.size();
    qsizetype i = 0;
    while (i < n) {
        if (b[i] != kIac || i + 2 >= n) return false;
        const uint8_t verb = b[i + 1];
        if (verb == kWill || verb == kWont || verb == kDo || verb == kDont) {
            i += 3;
        } else if (verb == kSb) {
            qsizetype j = i + 2;
            while (j + 1 < n && !(b[j] == kIac && b[j + 1] == kSe))
                ++j;
            if (j + 1 >= n) return false;
            i = j + 2;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velmar::telnet;
    if (size < 2) return 0;
    const int width = data[0], height = data[1];
    size_t i = 2;
    QByteArray replies;
    while (i < size) {
        if (data[i] != kIac) {
            ++i;
            continue;
        }
        const CommandResult r = InterpretCommand(data, i, size, width, height, replies);
        if (r.incomplete) {
            if (r.next != size) std::abort();
            break;
        }
        if (r.next <= i || r.next > size) std::abort();
        i = r.next;
    }
    if (!WellFormed(replies)) std::abort();
    return 0;
}

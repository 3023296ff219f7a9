// Telnet commands from the host, cut anywhere between reads: no byte 255 reaches the
// terminal data, and what is answered is a run of whole commands (IAC verb option, or
// IAC SB ... IAC SE).
#include "telnet/TelnetProtocol.h"

#include <algorithm>
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
    TelnetProtocol protocol;
    protocol.SetWindowSize(data[0], data[1]);
    size_t i = 2;
    QByteArray terminalData;
    while (i < size) {
        // One byte chooses the size of the next read, so commands are cut anywhere.
        const size_t want = size_t(data[i++]) % 32 + 1;
        const size_t n = std::min(want, size - i);
        protocol.Receive(data + i, n, terminalData);
        i += n;
    }
    // The emulator never sees a byte 255: data and commands are apart.
    if (terminalData.contains(char(kIac))) std::abort();
    if (!WellFormed(protocol.TakeReplies())) std::abort();
    return 0;
}

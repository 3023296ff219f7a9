// Packets on an echo socket are outside input (anyone on the network can send them). The
// first five bytes choose the socket kind and our request's identifier and sequence; the
// rest is the packet, in a buffer of exactly its size. A reply or an error counts only
// when it names our request, and the sizes it gives lie inside the packet.
#include "platform/Echo.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using velmar::platform::EchoPacket;
    if (size < 5) return 0;
    const bool raw = data[0] & 1;
    const uint16_t ident = uint16_t(data[1] << 8 | data[2]);
    const uint16_t seq = uint16_t(data[3] << 8 | data[4]);
    const std::vector<uint8_t> packet(data + 5, data + size);
    const EchoPacket p =
        velmar::platform::ParseEchoPacket(packet.data(), packet.size(), raw, ident, seq);
    const size_t at = raw ? size_t(packet.empty() ? 0 : (packet[0] & 0x0F) * 4) : 0;
    switch (p.kind) {
    case EchoPacket::Reply:
        if (at + 8 + p.dataSize != packet.size()) std::abort();
        if (packet[at] != 0 || uint16_t(packet[at + 6] << 8 | packet[at + 7]) != seq) std::abort();
        if (raw && (p.ttl < 0 || p.ttl > 255)) std::abort();
        break;
    case EchoPacket::Error:
        if (!raw || p.status < 11000 || p.status > 11050) std::abort();
        break;
    case EchoPacket::Other:
        break;
    }
    return 0;
}

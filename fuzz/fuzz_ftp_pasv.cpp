// PASV answers are outside input. Whatever parses must name an address that, written
// back in the plain form, parses to the same address.
#include "ftp/client/PasvReply.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using velmar::ftp::ParsePassiveReply;
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const auto a = ParsePassiveReply(line);
    if (!a) return 0;
    char again[64];
    std::snprintf(again, sizeof again, "227 (%d,%d,%d,%d,%d,%d)", a->ip[0], a->ip[1], a->ip[2],
                  a->ip[3], a->port >> 8, a->port & 255);
    const auto b = ParsePassiveReply(again);
    if (!b || b->port != a->port) std::abort();
    for (int i = 0; i < 4; ++i)
        if (b->ip[i] != a->ip[i]) std::abort();
    return 0;
}

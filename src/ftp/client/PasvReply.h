#pragma once
// The address a server names in its answer to PASV, "227 ... (h1,h2,h3,h4,p1,p2)".

#include <cstdint>
#include <optional>
#include <string_view>

namespace velmar::ftp {

struct PassiveAddress {
    uint8_t ip[4] = {0, 0, 0, 0};
    uint16_t port = 0;
};

// Six numbers after the first "(", comma-separated, each in the base its prefix gives
// (0x hexadecimal, 0 octal, else decimal). Fewer than six, or one outside 0..255, fails.
std::optional<PassiveAddress> ParsePassiveReply(std::string_view line);

} // namespace velmar::ftp

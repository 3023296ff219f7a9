#include "ftp/client/PasvReply.h"

namespace velmar::ftp {

namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 99;
}

// One number as C reads an integer constant; nothing when no digit is there or it is
// larger than a byte.
std::optional<int> ReadNumber(std::string_view text, size_t& pos) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    if (pos < text.size() && text[pos] == '+') ++pos;
    int base = 10;
    if (pos < text.size() && text[pos] == '0') {
        base = 8;
        if (pos + 2 < text.size() && (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
            DigitValue(text[pos + 2]) < 16) {
            base = 16;
            pos += 2;
        }
    }
    const size_t start = pos;
    int value = 0;
    while (pos < text.size() && DigitValue(text[pos]) < base) {
        value = value * base + DigitValue(text[pos]);
        if (value > 255) return std::nullopt;
        ++pos;
    }
    if (pos == start) return std::nullopt;
    return value;
}

} // namespace

std::optional<PassiveAddress> ParsePassiveReply(std::string_view line) {
    const size_t open = line.find('(');
    if (open == std::string_view::npos) return std::nullopt;
    size_t pos = open + 1;
    int numbers[6];
    for (int i = 0; i < 6; ++i) {
        if (i > 0) {
            if (pos >= line.size() || line[pos] != ',') return std::nullopt;
            ++pos;
        }
        const std::optional<int> n = ReadNumber(line, pos);
        if (!n) return std::nullopt;
        numbers[i] = *n;
    }
    PassiveAddress a;
    for (int i = 0; i < 4; ++i)
        a.ip[i] = uint8_t(numbers[i]);
    a.port = uint16_t(numbers[4] << 8 | numbers[5]);
    return a;
}

} // namespace velmar::ftp

#include "telnet/KeyMap.h"

#include <array>

namespace velmar::telnet {

namespace {

struct KeyRow {
    int vk;
    const char* normal;
    const char* application;
};

constexpr std::array<KeyRow, 16> kCursorKeys{{
    {kVkLeft, "\033[D", "\033OD"},
    {kVkUp, "\033[A", "\033OA"},
    {kVkRight, "\033[C", "\033OC"},
    {kVkDown, "\033[B", "\033OB"},
    {112, "\0331", "\033[11~"},
    {113, "\0332", "\033[12~"},
    {114, "\0333", "\033[13~"},
    {115, "\0334", "\033[14~"},
    {116, "\0335", "\033[15~"},
    {117, "\0336", "\033[17~"},
    {118, "\0337", "\033[18~"},
    {119, "\0338", "\033[19~"},
    {120, "\0339", "\033[20~"},
    {121, "\0330", "\033[21~"},
    {122, "\03311", "\033[23~"},
    {123, "\03312", "\033[24~"},
}};

struct SpecialKey {
    int vk;
    const char* bytes;
};

constexpr std::array<SpecialKey, 9> kSpecialKeys{{
    {kVkHome, "\033["},
    {kVkPageUp, "\033[5~"},
    {kVkPageDown, "\033[6~"},
    {kVkEnd, "\033[e"},
    {kVkInsert, "\033[2~"},
    {kVkReturn, "\r\n"},
    {kVkDelete, "\033[3~"},
    {kVkTab, "\t"},
    {kVkEscape, "\0330"},
}};

struct CharRow {
    int key;
    int shiftedKey;
    int normal, shifted, control, alt;
};

constexpr std::array<CharRow, 21> kPunctuation{{
    {'0', ')', 0x30, 0x29, 0, 0x8100}, {'1', '!', 0x31, 0x21, 0, 0x7800},
    {'2', '@', 0x32, 0x40, 0, 0x7900}, {'3', '#', 0x33, 0x23, 0, 0x7A00},
    {'4', '$', 0x34, 0x24, 0, 0x7B00}, {'5', '%', 0x35, 0x25, 0, 0x7C00},
    {'6', '^', 0x36, 0x5E, 0, 0x7D00}, {'7', '&', 0x37, 0x26, 0, 0x7E00},
    {'8', '*', 0x38, 0x2A, 0, 0x7F00}, {'9', '(', 0x39, 0x28, 0, 0x8000},
    {'`', '~', 0x60, 0x7E, 0, 0},      {'-', '_', 0x2D, 0x5F, 0, 0},
    {'=', '+', 0x3D, 0x2B, 0, 0},      {',', '<', 0x2C, 0x3C, 0, 0},
    {'.', '>', 0x2E, 0x3E, 0, 0},      {';', ':', 0x3B, 0x3A, 0, 0},
    {'\'', '"', 0x27, 0x22, 0, 0},     {'[', '{', 0x5B, 0x7B, 0, 0},
    {']', '}', 0x5D, 0x7D, 0, 0},      {'\\', '|', 0x5C, 0x7C, 0, 0},
    {'/', '?', 0x2F, 0x3F, 0, 0},
}};

// PC keyboard scan codes of a to z: Alt+letter sends the scan code times 256.
constexpr std::array<int, 26> kScanCodes{0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17,
                                         0x24, 0x25, 0x26, 0x32, 0x31, 0x18, 0x19, 0x10, 0x13,
                                         0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

int Pick(const CharRow& row, bool shift, bool ctrl, bool alt) {
    if (shift) return row.shifted;
    if (ctrl) return row.control;
    if (alt) return row.alt;
    return row.normal;
}

} // namespace

QByteArray KeyBytes(int vk, bool keypadApplication) {
    for (const KeyRow& row : kCursorKeys)
        if (row.vk == vk) return QByteArray(keypadApplication ? row.application : row.normal);
    for (const SpecialKey& key : kSpecialKeys)
        if (key.vk == vk) return QByteArray(key.bytes);
    return {};
}

int TranslateChar(int c, bool shift, bool ctrl, bool alt) {
    if (c < 1000) {
        if (c >= 'A' && c <= 'Z') {
            if (!alt) shift = true;
            c += 'a' - 'A';
        }
        if (c < 32 || c == 127) {
            ctrl = true;
            c += 96;
        }
    }
    if (c >= 'a' && c <= 'z') {
        int control = c - 0x60;
        if (c == 'q') control = 0xFF91;
        if (c == 's') control = 0xFF93;
        return Pick({c, 0, c, c - 0x20, control, kScanCodes[size_t(c - 'a')] * 256}, shift, ctrl,
                    alt);
    }
    if (c == ' ') return Pick({' ', ' ', 0x20, 0x20, 0, 0}, shift, ctrl, alt);
    for (const CharRow& row : kPunctuation)
        if (row.key == c || row.shiftedKey == c) return Pick(row, shift, ctrl, alt);
    return c;
}

} // namespace velmar::telnet

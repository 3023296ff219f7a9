#pragma once
// What the keyboard sends to the host: the cursor-key tables of both keypad modes, the
// special keys, and the translation of a character with Shift, Ctrl and Alt.

#include <QByteArray>

namespace velmar::telnet {

// Virtual-key codes of the keys the tables know.
enum VirtualKey : int {
    kVkTab = 9,
    kVkReturn = 13,
    kVkEscape = 27,
    kVkPageUp = 33,
    kVkPageDown = 34,
    kVkEnd = 35,
    kVkHome = 36,
    kVkLeft = 37,
    kVkUp = 38,
    kVkRight = 39,
    kVkDown = 40,
    kVkInsert = 45,
    kVkDelete = 46,
    kVkF1 = 112, // .. F12 = 123
};

// The bytes of key `vk` from the cursor-key table of the mode, else the special-key table;
// empty when neither knows the key.
QByteArray KeyBytes(int vk, bool keypadApplication);

// The character code `c` with the modifier states, translated by the character table.
// Only the low byte of the result goes to the host.
int TranslateChar(int c, bool shift, bool ctrl, bool alt);

} // namespace velmar::telnet

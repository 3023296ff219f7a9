#pragma once
// What the keyboard sends to the host: the cursor-key tables of both keypad modes, the
// special keys, and the translation of a character with Shift, Ctrl and Alt.

#include "telnet/Emulation.h"

#include <QByteArray>

namespace velmar::telnet {

// The bytes of key `vk` from the cursor-key table of the mode, else the special-key table;
// empty when neither knows the key.
QByteArray KeyBytes(int vk, bool keypadApplication);

// The character code `c` with the modifier states, translated by the character table.
// Only the low byte of the result goes to the host.
int TranslateChar(int c, bool shift, bool ctrl, bool alt);

} // namespace velmar::telnet

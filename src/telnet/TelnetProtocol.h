#pragma once
// Telnet command handling of the terminal: bytes in, replies out. There is no memory of
// option states; every request is answered, even a repeated one.

#include <QByteArray>
#include <cstddef>
#include <cstdint>

namespace velmar::telnet {

inline constexpr uint8_t kIac = 255;
inline constexpr uint8_t kDont = 254;
inline constexpr uint8_t kDo = 253;
inline constexpr uint8_t kWont = 252;
inline constexpr uint8_t kWill = 251;
inline constexpr uint8_t kSb = 250;
inline constexpr uint8_t kSe = 240;
inline constexpr uint8_t kIs = 0;
inline constexpr uint8_t kSend = 1;

inline constexpr uint8_t kOptEcho = 1;
inline constexpr uint8_t kOptSuppressGoAhead = 3;
inline constexpr uint8_t kOptTerminalType = 24;
inline constexpr uint8_t kOptWindowSize = 31;
inline constexpr uint8_t kOptTerminalSpeed = 32;

struct CommandResult {
    size_t next = 0;         // index after the command
    bool incomplete = false; // the data ended inside the command; nothing was answered
};

// Interprets the command whose IAC is data[i] (i < end). `width` and `height` are what a
// window-size reply reports (the columns, and the rows the host can address).
CommandResult InterpretCommand(const uint8_t* data, size_t i, size_t end, int width, int height,
                               QByteArray& replies);

// IAC SB 31 0 W 0 H IAC SE.
QByteArray WindowSizeReply(int width, int height);
// Sent unasked after the user changed the size: the window size, then IAC DO 31.
QByteArray WindowSizeUpdate(int width, int height);

} // namespace velmar::telnet

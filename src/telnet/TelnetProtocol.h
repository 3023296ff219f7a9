#pragma once
// The telnet side of a session: splits what the host sends into terminal data and telnet
// commands, and answers the commands. A command cut between reads is carried whole into the
// next one, however long, so the emulator never sees a byte 255 and never a piece of a
// command. There is no memory of option states beyond the window size the host asked for;
// every request is answered, even a repeated one.

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

class TelnetProtocol {
public:
    // A subnegotiation longer than this is read to its end but not kept.
    static constexpr int kSubnegotiationMax = 64;

    void Reset();
    // What the terminal-type and window-size replies say (width and the rows the host can
    // address).
    void SetTerminalType(const QByteArray& type) { terminalType_ = type; }
    void SetWindowSize(int width, int height) {
        width_ = width;
        height_ = height;
    }

    // Between commands: a read without byte 255 is all terminal data.
    bool betweenCommands() const { return state_ == State::Data; }
    // One read: its terminal data is appended to `data`, replies are collected.
    void Receive(const uint8_t* bytes, size_t n, QByteArray& data);
    QByteArray TakeReplies();
    // The host asked for window sizes (IAC DO 31), so a new size may be sent unasked.
    bool windowSizeAsked() const { return windowSizeAsked_; }
    // In the middle of a command (tests).
    bool carrying() const { return state_ != State::Data; }

private:
    enum class State : uint8_t { Data, Iac, Option, Sub, SubIac };
    void Answer(uint8_t command, uint8_t option);
    void SubnegotiationEnd();

    State state_ = State::Data;
    uint8_t command_ = 0;
    QByteArray sub_;
    bool subOverflow_ = false;
    QByteArray replies_;
    QByteArray terminalType_ = "ansi";
    int width_ = 80;
    int height_ = 24;
    bool windowSizeAsked_ = false;
};

// IAC SB 31 0 W 0 H IAC SE, as 16-bit sizes with every byte 255 doubled.
QByteArray WindowSizeReply(int width, int height);
// Sent unasked after the user changed the size: the window size, then IAC DO 31.
QByteArray WindowSizeUpdate(int width, int height);
// Terminal data as it goes to the host: every byte 255 doubled.
QByteArray EscapeIac(const QByteArray& data);

} // namespace velmar::telnet

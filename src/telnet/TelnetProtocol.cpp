#include "telnet/TelnetProtocol.h"

#include <cstring>
#include <initializer_list>

namespace velmar::telnet {

namespace {

void Append(QByteArray& out, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes)
        out.append(char(b));
}

// A data byte inside a command: 255 goes doubled.
void AppendEscaped(QByteArray& out, uint8_t b) {
    out.append(char(b));
    if (b == kIac) out.append(char(b));
}

void SubnegotiationReply(QByteArray& out, uint8_t option, const QByteArray& text) {
    Append(out, {kIac, kSb, option, kIs});
    for (char c : text)
        AppendEscaped(out, uint8_t(c));
    Append(out, {kIac, kSe});
}

} // namespace

void TelnetProtocol::Reset() {
    state_ = State::Data;
    sub_.clear();
    subOverflow_ = false;
    replies_.clear();
    windowSizeAsked_ = false;
}

QByteArray TelnetProtocol::TakeReplies() {
    QByteArray out;
    out.swap(replies_);
    return out;
}

void TelnetProtocol::Answer(uint8_t command, uint8_t option) {
    const bool echoOrSga = option == kOptEcho || option == kOptSuppressGoAhead;
    switch (command) {
    case kWill:
        Append(replies_, {kIac, uint8_t(echoOrSga ? kDo : kDont), option});
        break;
    case kWont:
        Append(replies_, {kIac, kDont, option});
        break;
    case kDo:
        if (echoOrSga) {
            Append(replies_, {kIac, kWill, option});
        } else if (option == kOptTerminalType) {
            Append(replies_, {kIac, kWill, option});
            SubnegotiationReply(replies_, kOptTerminalType, terminalType_);
        } else if (option == kOptWindowSize) {
            windowSizeAsked_ = true;
            Append(replies_, {kIac, kWill, option});
            replies_.append(WindowSizeReply(width_, height_));
        } else {
            Append(replies_, {kIac, kWont, option});
        }
        break;
    default: // DONT
        if (option == kOptWindowSize) windowSizeAsked_ = false;
        Append(replies_, {kIac, kWont, option});
        break;
    }
}

void TelnetProtocol::SubnegotiationEnd() {
    // IAC SB option SEND ... IAC SE
    if (!subOverflow_ && sub_.size() >= 2 && uint8_t(sub_[1]) == kSend) {
        if (uint8_t(sub_[0]) == kOptTerminalType)
            SubnegotiationReply(replies_, kOptTerminalType, terminalType_);
        else if (uint8_t(sub_[0]) == kOptTerminalSpeed)
            SubnegotiationReply(replies_, kOptTerminalSpeed, "115200,115200");
    }
    sub_.clear();
    subOverflow_ = false;
}

void TelnetProtocol::Receive(const uint8_t* bytes, size_t n, QByteArray& data) {
    size_t i = 0;
    while (i < n) {
        switch (state_) {
        case State::Data: {
            // Runs of data go across in one piece.
            const void* iac = std::memchr(bytes + i, kIac, n - i);
            const size_t end = iac ? size_t(static_cast<const uint8_t*>(iac) - bytes) : n;
            data.append(reinterpret_cast<const char*>(bytes + i), qsizetype(end - i));
            i = end;
            if (iac) {
                state_ = State::Iac;
                ++i;
            }
            break;
        }
        case State::Iac: {
            const uint8_t command = bytes[i++];
            if (command == kSb) {
                state_ = State::Sub;
            } else if (command == kWill || command == kWont || command == kDo || command == kDont) {
                command_ = command;
                state_ = State::Option;
            } else {
                // A doubled IAC, SE, NOP, GA or any other byte: no effect, nothing shown.
                state_ = State::Data;
            }
            break;
        }
        case State::Option:
            Answer(command_, bytes[i++]);
            state_ = State::Data;
            break;
        case State::Sub: {
            const uint8_t b = bytes[i++];
            if (b == kIac) {
                state_ = State::SubIac;
            } else if (sub_.size() < kSubnegotiationMax) {
                sub_.append(char(b));
            } else {
                subOverflow_ = true;
            }
            break;
        }
        case State::SubIac: {
            const uint8_t b = bytes[i++];
            if (b == kSe) {
                SubnegotiationEnd();
                state_ = State::Data;
            } else {
                // IAC IAC inside is a data byte 255; anything else is kept going.
                if (sub_.size() < kSubnegotiationMax)
                    sub_.append(char(b));
                else
                    subOverflow_ = true;
                state_ = State::Sub;
            }
            break;
        }
        }
    }
}

QByteArray WindowSizeReply(int width, int height) {
    QByteArray out;
    Append(out, {kIac, kSb, kOptWindowSize});
    AppendEscaped(out, uint8_t(width >> 8));
    AppendEscaped(out, uint8_t(width));
    AppendEscaped(out, uint8_t(height >> 8));
    AppendEscaped(out, uint8_t(height));
    Append(out, {kIac, kSe});
    return out;
}

QByteArray WindowSizeUpdate(int width, int height) {
    QByteArray out = WindowSizeReply(width, height);
    Append(out, {kIac, kDo, kOptWindowSize});
    return out;
}

QByteArray EscapeIac(const QByteArray& data) {
    if (!data.contains(char(kIac))) return data;
    QByteArray out;
    out.reserve(data.size() + 8);
    for (char c : data)
        AppendEscaped(out, uint8_t(c));
    return out;
}

} // namespace velmar::telnet

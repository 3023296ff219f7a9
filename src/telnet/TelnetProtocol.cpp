#include "telnet/TelnetProtocol.h"

namespace velmar::telnet {

namespace {

void Append(QByteArray& out, std::initializer_list<uint8_t> bytes) {
    for (uint8_t b : bytes)
        out.append(char(b));
}

void SubnegotiationReply(QByteArray& out, uint8_t option, const char* text) {
    Append(out, {kIac, kSb, option, kIs});
    out.append(text);
    Append(out, {kIac, kSe});
}

void AnswerOption(QByteArray& out, uint8_t command, uint8_t option, int width, int height) {
    const bool echoOrSga = option == kOptEcho || option == kOptSuppressGoAhead;
    switch (command) {
    case kWill:
        Append(out, {kIac, uint8_t(echoOrSga ? kDo : kDont), option});
        break;
    case kWont:
        Append(out, {kIac, kDont, option});
        break;
    case kDo:
        if (echoOrSga) {
            Append(out, {kIac, kWill, option});
        } else if (option == kOptTerminalType) {
            Append(out, {kIac, kWill, option});
            SubnegotiationReply(out, kOptTerminalType, "ansi");
        } else if (option == kOptWindowSize) {
            Append(out, {kIac, kWill, option});
            out.append(WindowSizeReply(width, height));
        } else {
            Append(out, {kIac, kWont, option});
        }
        break;
    default: // DONT
        Append(out, {kIac, kWont, option});
        break;
    }
}

} // namespace

CommandResult InterpretCommand(const uint8_t* data, size_t i, size_t end, int width, int height,
                               QByteArray& replies) {
    if (i + 1 >= end) return {end, true};
    const uint8_t command = data[i + 1];
    switch (command) {
    case kSb: {
        size_t j = i + 2;
        while (j < end && data[j] != kSe)
            ++j;
        if (j == end) return {end, true};
        // IAC SB option SEND ... SE
        if (j - i + 1 >= 4 && data[i + 3] == kSend) {
            if (data[i + 2] == kOptTerminalType)
                SubnegotiationReply(replies, kOptTerminalType, "ansi");
            else if (data[i + 2] == kOptTerminalSpeed)
                SubnegotiationReply(replies, kOptTerminalSpeed, "115200,115200");
        }
        return {j + 1, false};
    }
    case kWill:
    case kWont:
    case kDo:
    case kDont:
        if (i + 2 >= end) return {end, true};
        AnswerOption(replies, command, data[i + 2], width, height);
        return {i + 3, false};
    default: // a doubled IAC, SE, NOP, GA or any other byte: consumed, no effect
        return {i + 2, false};
    }
}

QByteArray WindowSizeReply(int width, int height) {
    QByteArray out;
    Append(out, {kIac, kSb, kOptWindowSize, 0, uint8_t(width), 0, uint8_t(height), kIac, kSe});
    return out;
}

QByteArray WindowSizeUpdate(int width, int height) {
    QByteArray out = WindowSizeReply(width, height);
    Append(out, {kIac, kDo, kOptWindowSize});
    return out;
}

} // namespace velmar::telnet

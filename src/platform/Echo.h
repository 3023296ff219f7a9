#pragma once
// ICMP echo ("ping") with the arguments and results of the system's echo routine: the
// number of replies, or 0 with the reason as an IP status code (11000..11022) or a
// Winsock-style socket code in LastError(). Unprivileged echo sockets are used where the
// system allows them (SOCK_DGRAM/IPPROTO_ICMP), raw ICMP sockets otherwise.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace velmar::platform {

namespace ipstatus {
constexpr uint32_t Success = 0;
constexpr uint32_t Base = 11000;
constexpr uint32_t BufTooSmall = 11001;
constexpr uint32_t DestNetUnreachable = 11002;
constexpr uint32_t DestHostUnreachable = 11003;
constexpr uint32_t DestProtUnreachable = 11004;
constexpr uint32_t DestPortUnreachable = 11005;
constexpr uint32_t NoResources = 11006;
constexpr uint32_t PacketTooBig = 11009;
constexpr uint32_t ReqTimedOut = 11010;
constexpr uint32_t BadRoute = 11012;
constexpr uint32_t TtlExpiredTransit = 11013;
constexpr uint32_t TtlExpiredReassem = 11014;
constexpr uint32_t ParamProblem = 11015;
constexpr uint32_t SourceQuench = 11016;
constexpr uint32_t GeneralFailure = 11050;
} // namespace ipstatus

// Last-error values outside the IP status range.
constexpr int kErrorBufferTooSmall = 122; // reply buffer below one entry
constexpr int kErrorNoMemory = 8;
constexpr int kErrorStopped = 995; // the caller's stop flag ended the wait

struct IpOptionInfo {
    uint8_t ttl = 128;
    uint8_t tos = 0;
    uint8_t flags = 0;
};

struct EchoReply {
    uint32_t address = 0; // network byte order
    uint32_t status = 0;
    uint32_t roundTripMs = 0;
    uint16_t dataSize = 0;
    uint8_t ttl = 0;
};

class IcmpEcho {
public:
    IcmpEcho() = default;
    ~IcmpEcho();
    IcmpEcho(const IcmpEcho&) = delete;
    IcmpEcho& operator=(const IcmpEcho&) = delete;

    // Opens an echo socket: unprivileged first, raw second. False (LastError: 10013 when
    // neither is permitted) when no kind can be had.
    bool Open();
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    bool IsRaw() const { return raw_; }

    // One request to `destination` (network order) with `size` bytes of `data`; waits up to
    // timeoutMs for its answer. `replies` holds replySize bytes (at least one EchoReply).
    // Returns the number of replies (1), or 0 with LastError() set. The calling thread's
    // cancel token (platform/Cancel.h) ends the wait at once (LastError kErrorStopped).
    int EchoSend(uint32_t destination, const void* data, uint16_t size, const IpOptionInfo* options,
                 EchoReply* replies, size_t replySize, uint32_t timeoutMs);
    int LastError() const { return lastError_; }

private:
    int Fail(int code) {
        lastError_ = code;
        return 0;
    }

    int fd_ = -1;
    bool raw_ = false;
    uint16_t ident_ = 0;
    uint16_t sequence_ = 0;
    int lastTtl_ = -1;
    int lastError_ = 0;
    std::vector<uint8_t> in_;  // receive buffer, one for all requests
    std::vector<uint8_t> out_; // the request being sent
};

// The IP status for an ICMP error message (type, code); GeneralFailure for other kinds.
uint32_t IpStatusForIcmp(int type, int code);

// One received packet (outside input): the answer to our request `sequence`, an ICMP
// error that quotes it (raw sockets), or something else to pass over. A raw socket's
// packet starts with the IP header; an echo socket's with the ICMP header.
struct EchoPacket {
    enum Kind { Other, Reply, Error } kind = Other;
    uint32_t status = 0;   // Error: the IP status
    uint16_t dataSize = 0; // Reply: the bytes after the ICMP header
    int ttl = -1;          // Reply on a raw socket: from the IP header
};
EchoPacket ParseEchoPacket(const uint8_t* packet, size_t size, bool raw, uint16_t ident,
                           uint16_t sequence);

} // namespace velmar::platform

#include "nettools/Ping.h"

#include "platform/TimedSocket.h"
#include "platform/Cancel.h"
#include "platform/Echo.h"

#include <array>
#include <chrono>
#include <new>
#include <vector>

namespace velmar {

namespace {

constexpr std::array<const char*, 24> kStatusNames{"IP_STATUS_BASE",
                                                   "IP_BUF_TOO_SMALL",
                                                   "IP_DEST_NET_UNREACHABLE",
                                                   "IP_DEST_HOST_UNREACHABLE",
                                                   "IP_DEST_PROT_UNREACHABLE",
                                                   "IP_DEST_PORT_UNREACHABLE",
                                                   "IP_NO_RESOURCES",
                                                   "IP_BAD_OPTION",
                                                   "IP_HW_ERROR",
                                                   "IP_PACKET_TOO_BIG",
                                                   "IP_REQ_TIMED_OUT",
                                                   "IP_BAD_REQ",
                                                   "IP_BAD_ROUTE",
                                                   "IP_TTL_EXPIRED_TRANSIT",
                                                   "IP_TTL_EXPIRED_REASSEM",
                                                   "IP_PARAM_PROBLEM",
                                                   "IP_SOURCE_QUENCH",
                                                   "IP_OPTION_TOO_BIG",
                                                   "IP_BAD_DESTINATION",
                                                   "IP_ADDR_DELETED",
                                                   "IP_SPEC_MTU_CHANGE",
                                                   "IP_MTU_CHANGE",
                                                   "IP_UNLOAD",
                                                   "Unknown"};

// A request that failed sooner than this after it went out (a time-out of 0, a network
// that is unreachable) holds the next one back until this much time has passed: a run
// must not turn into a flood of back-to-back requests.
constexpr int kFailedRequestSpacingMs = 1000;

} // namespace

QString IpStatusName(int code) {
    const int index = code - 11000;
    return QString::fromLatin1(kStatusNames[size_t(index < 0 || index > 22 ? 23 : index)]);
}

QString DottedAddress(uint32_t address) {
    const auto* b = reinterpret_cast<const uint8_t*>(&address);
    return QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3]);
}

PingOutcome RunPing(const PingParams& params, const std::function<void(const QString&)>& line) {
    // A name that resolves pings its first address; anything else must be dotted already.
    uint32_t address = 0xFFFFFFFF;
    QString target = params.host;
    if (platform::ResolveHost(params.host, address)) target = DottedAddress(address);
    const platform::CancelToken* cancel = platform::CurrentCancelToken();
    if (cancel && cancel->IsCancelled()) return PingOutcome::Stopped; // closed during the look-up
    if (address == 0xFFFFFFFF) return PingOutcome::InvalidHost;

    platform::IcmpEcho echo;
    if (!echo.Open()) return PingOutcome::NoHandle;

    const int size = (params.size < 32 || params.size > 1024) ? 32 : params.size;
    line(QStringLiteral("SIZE: %1, COUNT: %2, TTL: %3, TIMEOUT: %4")
             .arg(size)
             .arg(params.count)
             .arg(params.ttl)
             .arg(params.timeoutMs));
    std::vector<uint8_t> data(size_t(size), 0);
    std::vector<platform::EchoReply> replies(size_t(size) * 28 / sizeof(platform::EchoReply) + 1);
    line(target);

    platform::IpOptionInfo options;
    options.ttl = uint8_t(params.ttl & 0xFF);
    const uint32_t timeout = params.timeoutMs < 0 ? 0 : uint32_t(params.timeoutMs);
    for (int i = 0; i < params.count; ++i) {
        if (cancel && cancel->IsCancelled()) return PingOutcome::Stopped;
        const auto sent = std::chrono::steady_clock::now();
        const int n = echo.EchoSend(address, data.data(), uint16_t(size), &options, replies.data(),
                                    replies.size() * sizeof(platform::EchoReply), timeout);
        if (n > 0) {
            line(QStringLiteral("RTT: %1 ms, DataSize: %2 bytes")
                     .arg(replies[0].roundTripMs)
                     .arg(replies[0].dataSize));
            continue;
        }
        const int e = echo.LastError();
        if (e == platform::kErrorStopped) return PingOutcome::Stopped;
        line(QStringLiteral("Ping Failed: %1 (%2)").arg(IpStatusName(e)).arg(e));
        if (i + 1 == params.count) break;
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - sent)
                              .count();
        if (!platform::PauseUnlessCancelled(cancel, kFailedRequestSpacingMs - int(took)))
            return PingOutcome::Stopped;
    }
    return PingOutcome::Done;
}

} // namespace velmar

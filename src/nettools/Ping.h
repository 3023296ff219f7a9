#pragma once
// A ping run: resolve the host, then one echo request after another, one result line per
// request, as the "Ping" dialog lists them.

#include <QString>
#include <cstdint>
#include <functional>

namespace velmar {

// The name of an IP status code: index code - 11000, "Unknown" outside 11000..11022.
QString IpStatusName(int code);

struct PingParams {
    QString host;
    int size = 32;
    int count = 4;
    int ttl = 128;
    int timeoutMs = 5000;
};

enum class PingOutcome {
    Done,
    InvalidHost, // "Invalid Host or IP Entered"
    NoHandle,    // "Could not create ICMP handle"
    Stopped,
};

// The dotted form of an IPv4 address in network byte order.
QString DottedAddress(uint32_t address);

// Runs the requests; every line goes to `line` as soon as it is made. The calling
// thread's cancel token ends the run between requests and inside a wait.
PingOutcome RunPing(const PingParams& params, const std::function<void(const QString&)>& line);

} // namespace velmar

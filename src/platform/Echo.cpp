#include "platform/Echo.h"

#include "platform/Cancel.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/ip_icmp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace velmar::platform {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSlice = 50; // ms between looks at a token that has no wake-up descriptor
constexpr size_t kHeader = 8;

std::atomic<uint16_t> g_nextIdent{0};

bool Cancelled(const CancelToken* token) {
    return token && token->IsCancelled();
}

uint16_t Checksum(const uint8_t* p, size_t n) {
    uint32_t sum = 0;
    for (; n > 1; p += 2, n -= 2)
        sum += uint32_t(p[0]) << 8 | p[1];
    if (n) sum += uint32_t(p[0]) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return uint16_t(~sum);
}

uint16_t Read16(const uint8_t* p) {
    return uint16_t(p[0] << 8 | p[1]);
}

int StatusForErrno(int err) {
    switch (err) {
    case ENETUNREACH:
        return int(ipstatus::DestNetUnreachable);
    case EHOSTUNREACH:
        return int(ipstatus::DestHostUnreachable);
    case EMSGSIZE:
        return int(ipstatus::PacketTooBig);
    case ENOBUFS:
    case ENOMEM:
        return int(ipstatus::NoResources);
    case EACCES:
    case EPERM:
        return 10013;
    case ENETDOWN:
        return 10050;
    default:
        return int(ipstatus::GeneralFailure);
    }
}

uint32_t ElapsedMs(Clock::time_point since) {
    return uint32_t(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

} // namespace

uint32_t IpStatusForIcmp(int type, int code) {
    switch (type) {
    case ICMP_DEST_UNREACH:
        switch (code) {
        case ICMP_NET_UNREACH:
        case ICMP_NET_UNKNOWN:
        case ICMP_NET_ANO:
        case ICMP_NET_UNR_TOS:
            return ipstatus::DestNetUnreachable;
        case ICMP_PROT_UNREACH:
            return ipstatus::DestProtUnreachable;
        case ICMP_PORT_UNREACH:
            return ipstatus::DestPortUnreachable;
        case ICMP_FRAG_NEEDED:
            return ipstatus::PacketTooBig;
        case ICMP_SR_FAILED:
            return ipstatus::BadRoute;
        default:
            return ipstatus::DestHostUnreachable;
        }
    case ICMP_TIME_EXCEEDED:
        return code == ICMP_EXC_FRAGTIME ? ipstatus::TtlExpiredReassem
                                         : ipstatus::TtlExpiredTransit;
    case ICMP_PARAMETERPROB:
        return ipstatus::ParamProblem;
    case ICMP_SOURCE_QUENCH:
        return ipstatus::SourceQuench;
    default:
        return ipstatus::GeneralFailure;
    }
}

IcmpEcho::~IcmpEcho() {
    Close();
}

bool IcmpEcho::Open() {
    Close();
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
    raw_ = false;
    if (fd_ < 0) {
        fd_ = ::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP);
        raw_ = true;
    }
    if (fd_ < 0) {
        lastError_ = (errno == EPERM || errno == EACCES) ? 10013 : StatusForErrno(errno);
        return false;
    }
    const int on = 1;
    // ICMP errors for our requests (unreachable, TTL expired) come through the error queue.
    ::setsockopt(fd_, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    ::setsockopt(fd_, IPPROTO_IP, IP_RECVTTL, &on, sizeof on);
    ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    if (raw_) {
        // A raw socket would also see every echo request sent on the loopback (our own
        // included): let through only replies and the errors that quote a request.
        constexpr int kSolRaw = 255, kIcmpFilter = 1;
        const uint32_t pass = 1u << ICMP_ECHOREPLY | 1u << ICMP_DEST_UNREACH |
                              1u << ICMP_TIME_EXCEEDED | 1u << ICMP_PARAMETERPROB |
                              1u << ICMP_SOURCE_QUENCH;
        const uint32_t filter = ~pass;
        ::setsockopt(fd_, kSolRaw, kIcmpFilter, &filter, sizeof filter);
    }
    in_.resize(65536);
    ident_ = uint16_t(::getpid() + g_nextIdent.fetch_add(1));
    lastTtl_ = -1;
    return true;
}

void IcmpEcho::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int IcmpEcho::EchoSend(uint32_t destination, const void* data, uint16_t size,
                       const IpOptionInfo* options, EchoReply* replies, size_t replySize,
                       uint32_t timeoutMs) {
    if (replySize < sizeof(EchoReply) || !replies) return Fail(kErrorBufferTooSmall);
    if (fd_ < 0) return Fail(10038);
    const IpOptionInfo opts = options ? *options : IpOptionInfo{};
    if (opts.ttl == 0) return Fail(11007); // IP_BAD_OPTION: a packet that may not leave
    if (opts.ttl != lastTtl_) {
        const int ttl = opts.ttl;
        if (::setsockopt(fd_, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl) != 0)
            return Fail(StatusForErrno(errno));
        lastTtl_ = opts.ttl;
    }
    if (opts.tos) {
        const int tos = opts.tos;
        ::setsockopt(fd_, IPPROTO_IP, IP_TOS, &tos, sizeof tos);
    }

    std::vector<uint8_t>& packet = out_;
    packet.assign(kHeader + size, 0);
    const uint16_t seq = ++sequence_;
    packet[0] = ICMP_ECHO;
    packet[4] = uint8_t(ident_ >> 8);
    packet[5] = uint8_t(ident_);
    packet[6] = uint8_t(seq >> 8);
    packet[7] = uint8_t(seq);
    if (size && data) std::memcpy(packet.data() + kHeader, data, size);
    const uint16_t sum = Checksum(packet.data(), packet.size());
    packet[2] = uint8_t(sum >> 8);
    packet[3] = uint8_t(sum);

    // Errors left over from an earlier request quote its sequence number and are passed
    // over below.
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;
    const Clock::time_point start = Clock::now();
    if (::sendto(fd_, packet.data(), packet.size(), MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&to),
                 sizeof to) < 0)
        return Fail(StatusForErrno(errno));

    CancelToken* cancel = CurrentCancelToken();
    const int wake = cancel ? cancel->WakeHandle() : -1;
    std::vector<uint8_t>& in = in_;
    alignas(cmsghdr) char control[512];
    // A near peer (the loopback above all) has answered by the time sendto returns: look
    // for the reply once before the first wait.
    bool look = true;
    for (;;) {
        pollfd polled[2] = {{fd_, POLLIN, 0}, {wake, POLLIN, 0}};
        if (look) {
            look = false;
            polled[0].revents = POLLIN;
        } else {
            const uint32_t elapsed = ElapsedMs(start);
            if (elapsed >= timeoutMs) return Fail(int(ipstatus::ReqTimedOut));
            if (Cancelled(cancel)) return Fail(kErrorStopped);
            int wait = int(timeoutMs - elapsed);
            if (cancel && wake < 0) wait = std::min(wait, kSlice);
            const int ready = ::poll(polled, wake >= 0 ? 2 : 1, wait);
            if (ready < 0 && errno != EINTR) return Fail(StatusForErrno(errno));
            if (Cancelled(cancel)) return Fail(kErrorStopped);
            if (ready <= 0 || polled[0].revents == 0) continue;
        }
        const pollfd& p = polled[0];

        sockaddr_in from{};
        iovec iov{in.data(), in.size()};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;

        if (p.revents & POLLERR) {
            const ssize_t n = ::recvmsg(fd_, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
            if (n < 0) continue;
            // The queued packet is our own request as sent: skip the IP header of a raw one.
            size_t at = 0;
            if (raw_ && n >= 20 && (in[0] >> 4) == 4) at = size_t(in[0] & 0x0F) * 4;
            if (size_t(n) < at + kHeader || Read16(&in[at + 6]) != seq) continue;
            for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
                if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) continue;
                sock_extended_err ee;
                std::memcpy(&ee, CMSG_DATA(c), sizeof ee);
                if (ee.ee_origin == SO_EE_ORIGIN_ICMP)
                    return Fail(int(IpStatusForIcmp(ee.ee_type, ee.ee_code)));
                return Fail(StatusForErrno(int(ee.ee_errno)));
            }
            continue;
        }

        const ssize_t n = ::recvmsg(fd_, &msg, MSG_DONTWAIT);
        if (n < 0) continue;
        const EchoPacket got = ParseEchoPacket(in.data(), size_t(n), raw_, ident_, seq);
        if (got.kind == EchoPacket::Error) return Fail(int(got.status));
        if (got.kind != EchoPacket::Reply) continue;
        int ttl = got.ttl;
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c))
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_TTL)
                std::memcpy(&ttl, CMSG_DATA(c), sizeof ttl);
        EchoReply& r = replies[0];
        r = EchoReply{};
        r.address = from.sin_addr.s_addr;
        r.status = ipstatus::Success;
        r.roundTripMs = ElapsedMs(start);
        r.dataSize = got.dataSize;
        r.ttl = uint8_t(ttl < 0 ? 0 : ttl);
        lastError_ = 0;
        return 1;
    }
}

EchoPacket ParseEchoPacket(const uint8_t* in, size_t n, bool raw, uint16_t ident,
                           uint16_t seq) {
    EchoPacket out;
    size_t at = 0;
    if (raw) {
        if (n < 20 || (in[0] >> 4) != 4) return out;
        at = size_t(in[0] & 0x0F) * 4;
        out.ttl = in[8];
    }
    if (n < at + kHeader) return out;
    const uint8_t* icmp = &in[at];
    const int type = icmp[0];
    if (type == ICMP_ECHOREPLY) {
        if (Read16(icmp + 6) != seq) return out;
        // An echo socket's identifier is the kernel's; a raw socket sees everyone's replies.
        if (raw && Read16(icmp + 4) != ident) return out;
        out.kind = EchoPacket::Reply;
        out.dataSize = uint16_t(n - at - kHeader);
        return out;
    }
    // A raw socket sees ICMP errors as packets: the quoted request tells whose they are.
    if (raw && (type == ICMP_DEST_UNREACH || type == ICMP_TIME_EXCEEDED ||
                type == ICMP_PARAMETERPROB || type == ICMP_SOURCE_QUENCH)) {
        const size_t inner = at + kHeader;
        if (n < inner + 20) return out;
        const size_t innerIcmp = inner + size_t(in[inner] & 0x0F) * 4;
        if (n < innerIcmp + kHeader || in[innerIcmp] != ICMP_ECHO) return out;
        if (Read16(&in[innerIcmp + 4]) != ident || Read16(&in[innerIcmp + 6]) != seq) return out;
        out.kind = EchoPacket::Error;
        out.status = IpStatusForIcmp(type, icmp[1]);
    }
    return out;
}

} // namespace velmar::platform

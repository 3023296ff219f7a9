#pragma once
// How an FTP operation ended, the same for both back ends: what kind of end it was, the
// server's reply when it had the last word, and the text the user reads for it.

#include <QString>
#include <cstdint>

namespace velmar {

enum class FtpResult : uint8_t {
    Ok,
    Refused,         // the server answered with a failure reply (replyCode, reply)
    LoginFailed,     // the server turned the user or password away
    TimedOut,        // the server said nothing in time; the control connection is dropped
    ClosedByServer,  // the server closed the control connection
    ConnectionLost,  // the network failed under a connection (reset, unreachable, ...)
    Cancelled,       // stopped on purpose (stop flag, running flag, cancel token, Abort)
    LocalFailure,    // our side failed: a local file or memory (systemError says which)
    NameNotResolved, // the host name has no address
    CannotConnect,   // nobody accepted the connection
    BadReply,        // the server's answer made no sense
    InvalidName,     // a name or argument that cannot be sent
    NotConnected,    // no connection to send on
};

struct FtpStatusInfo {
    FtpResult result = FtpResult::Ok;
    int replyCode = 0;   // the server's reply code behind the result, 0 when it gave none
    int systemError = 0; // errno behind a LocalFailure
    QString reply;       // the server's reply line(s) behind the result
    QString text;        // what the user reads; empty when there is nothing to tell

    bool ok() const { return result == FtpResult::Ok; }
    // The connection cannot be used any more: the owner drops it. (libcurl connects anew
    // when its line went; a server it can no longer reach or log in to is gone as well.)
    bool lost() const {
        switch (result) {
        case FtpResult::TimedOut:
        case FtpResult::ClosedByServer:
        case FtpResult::ConnectionLost:
        case FtpResult::NotConnected:
        case FtpResult::CannotConnect:
        case FtpResult::NameNotResolved:
        case FtpResult::LoginFailed:
            return true;
        default:
            return false;
        }
    }
};

} // namespace velmar

#pragma once
// What a connection is made with: its time-outs and socket options. The window layer reads
// them from the settings; the FTP code never does.

namespace velmar {

struct FtpOptions {
    int connectMs = 15000;
    int sendMs = 5000;    // a control or data send waits at most this long for room
    int receiveMs = 5000; // a reply or a data block waits at most this long
    bool linger = false;  // data connections linger 10 s at close (our own client)
};

// The longest a log-out waits to send QUIT and for its answer, whatever the options say: a
// silent server holds up a closing window only briefly.
inline constexpr int kFtpLogOutMs = 1000;

} // namespace velmar

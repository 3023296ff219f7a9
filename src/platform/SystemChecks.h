#pragma once
// What start-up asks of the system before it opens any window.

namespace velmar::platform {

// A stream socket can be made (the FTP client, telnet and the network tools need one).
bool SocketsAvailable();
// The process table can be read (the task manager's source).
bool ProcessesReadable();

} // namespace velmar::platform

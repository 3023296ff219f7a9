#pragma once
// Command, dialog, control and message numbers. They are fixed: menus, tool bars, tests
// and stored layouts refer to them by value.

namespace velmar::ids {

// Posted messages between threads and windows (delivered as QEvents of type QEvent::User + n).
constexpr int kMsgEntry = 0x464;           // a listing thread hands a FileEntry to its pane
constexpr int kMsgConnectionClosed = 0x465; // an FTP connection was lost or refused
constexpr int kMsgDeferred = 0x467;
constexpr int kEntryWordParam = 1083;

} // namespace velmar::ids

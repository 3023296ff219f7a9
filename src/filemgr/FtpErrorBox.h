#pragma once
// Showing FTP and platform errors to the user (message seam, error icon), and the FTP
// options from the settings.

#include "ftp/FtpOptions.h"

#include <QString>

class QWidget;

namespace velmar {

class FtpConnection;

// The last failure of a libcurl connection: its text is shown when there is one. Returns
// the code (-1: the connection is lost and must be dropped; 0: nothing to show).
int ShowInternetError(const FtpConnection& connection, QWidget* owner = nullptr);
// The same for a connection of our own client (its status message; lost codes give -1).
int ShowClientError(const FtpConnection& connection, QWidget* owner = nullptr);
// Whichever back end made the connection.
int ShowFtpError(const FtpConnection& connection, QWidget* owner = nullptr);
// A platform error code (errno) or an internet code with the server's reply lines.
int ShowErrorCode(int code, const QString& responseInfo = {}, QWidget* owner = nullptr);

// The time-outs and options a new connection is made with, from the settings (seconds there).
FtpOptions ReadFtpOptions();

} // namespace velmar

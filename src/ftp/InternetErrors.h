#pragma once
// The texts of internet and platform errors as the user sees them, and the reduction of a
// server's reply to its failure lines.

#include "ftp/FtpResult.h"

#include <QString>

namespace velmar {

// Keeps only the failure lines (first character '4' or '5') of a server reply, without
// their codes; the whole reply when it has none.
QString ReduceServerReply(const QString& response);

// The text the libcurl side shows for `result`: a refusal or a reply that made no sense
// shows the reduced `reply`; a local failure the system's text for `systemError`; the rest
// their table text. Empty for Ok and Cancelled.
QString InternetFailureText(FtpResult result, const QString& reply, int systemError = 0);

} // namespace velmar

#pragma once
// The texts of internet and platform errors as the user sees them, and the reduction of a
// server's reply to its failure lines.

#include <QString>

namespace velmar {

// Keeps only the failure lines (first character '4' or '5') of a server reply, without
// their codes; the whole reply when it has none.
QString ReduceServerReply(const QString& response);

// The text for `code`: a server refusal (12003) shows the reduced `responseInfo`; other
// internet codes (12000..12171) their table text; a platform error (errno) its own text.
// Returns the code, -1 when it means the connection is lost, 0 (and no text) for no error.
int ErrorTextFor(int code, const QString& responseInfo, QString& text);

// Own client: the status codes that mean its control connection is gone give -1.
int ClientErrorCode(int statusCode);

} // namespace velmar

#include "ftp/InternetErrors.h"

#include <QStringList>

namespace velmar {

QString ReduceServerReply(const QString& response) {
    QString result;
    bool any = false;
    qsizetype start = 0;
    while (start < response.size()) {
        const qsizetype nl = response.indexOf(QLatin1Char('\n'), start);
        const bool last = nl < 0;
        const QString line = response.mid(start, last ? -1 : nl - start + 1);
        start = last ? response.size() : nl + 1;
        if (line.isEmpty() || (line[0] != QLatin1Char('4') && line[0] != QLatin1Char('5')))
            continue;
        any = true;
        if (last) {
            result += line.mid(3);
        } else {
            // Drop the code with its separator, and the carriage return before the line feed.
            QString body = line.mid(4);
            body.chop(1);
            if (body.endsWith(QLatin1Char('\r'))) body.chop(1);
            result += body + QLatin1Char('\n');
        }
    }
    return any ? result : response;
}

QString InternetFailureText(FtpResult result, const QString& reply, int systemError) {
    switch (result) {
    case FtpResult::Ok:
    case FtpResult::Cancelled:
        return {};
    case FtpResult::Refused:
    case FtpResult::BadReply:
        return ReduceServerReply(reply);
    case FtpResult::InvalidName:
        return QStringLiteral("Invalid URL");
    case FtpResult::NameNotResolved:
        return QStringLiteral("Server not found\n(name not resolved)");
    case FtpResult::LoginFailed:
        return QStringLiteral("Login failure (incorrect password or login)");
    case FtpResult::CannotConnect:
        return QStringLiteral("Can't connect to server");
    case FtpResult::TimedOut:
        // Linux has no system text for the internet codes; a time-out is common enough to
        // say so plainly.
        return QStringLiteral("The operation timed out");
    case FtpResult::ClosedByServer:
    case FtpResult::ConnectionLost:
    case FtpResult::NotConnected:
        return QStringLiteral("Connection aborted");
    case FtpResult::LocalFailure:
        break;
    }
    if (systemError > 0 && systemError < 4096) {
        const QString system = qt_error_string(systemError);
        if (!system.isEmpty() && !system.startsWith(QLatin1String("Unknown error"))) return system;
    }
    return QStringLiteral("Error code = %1").arg(systemError);
}

} // namespace velmar

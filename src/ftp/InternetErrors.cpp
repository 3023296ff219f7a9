#include "ftp/InternetErrors.h"

#include "ftp/client/FtpClient.h"
#include "ftp/FtpConnection.h"

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

int ErrorTextFor(int code, const QString& responseInfo, QString& text) {
    text.clear();
    if (code == 0) return 0;
    if (code == inet::kExtendedError) {
        text = ReduceServerReply(responseInfo);
        return code;
    }
    if (code >= 12000 && code <= 12171) {
        struct Row {
            int from, to;
            const char* text;
            bool lost;
        };
        static constexpr Row kTable[] = {
            {12005, 12005, "Invalid URL", false},
            {12007, 12007, "Server not found\n(name not resolved)", false},
            {12013, 12015, "Login failure (incorrect password or login)", false},
            {12029, 12029, "Can't connect to server", false},
            {12030, 12031, "Connection aborted", true},
            {12159, 12159, "TCP IP not installed", false},
            {12163, 12163, "Internet disconected", true},
            {12164, 12164, "Server unreachable", false},
            {12165, 12165, "Proxy-server unreachable", false},
        };
        for (const Row& row : kTable) {
            if (code >= row.from && code <= row.to) {
                text = QString::fromLatin1(row.text);
                return row.lost ? -1 : code;
            }
        }
        if (code == inet::kTimeout) {
            // Linux has no system text for the internet codes; a time-out is common enough
            // to say so plainly.
            text = QStringLiteral("The operation timed out");
            return code;
        }
        text = QStringLiteral("Internet error:\nINTERNET_ERROR_BASE+%1").arg(code - 12000);
        return code;
    }
    if (code > 0 && code < 4096) {
        const QString system = qt_error_string(code);
        if (!system.isEmpty() && !system.startsWith(QLatin1String("Unknown error"))) {
            text = system;
            return code;
        }
    }
    text = QStringLiteral("Error code = %1").arg(code);
    return code;
}

int ClientErrorCode(int statusCode) {
    using namespace ftp::status;
    if (statusCode == ConnectionClosed || statusCode == SocketError || statusCode == NotConnected ||
        statusCode == ControlTimeout)
        return -1;
    return statusCode;
}

} // namespace velmar

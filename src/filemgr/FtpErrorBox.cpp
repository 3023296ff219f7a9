#include "filemgr/FtpErrorBox.h"

#include "framework/Message.h"
#include "ftp/FtpConnection.h"
#include "ftp/InternetErrors.h"
#include "settings/SettingsStore.h"

#include <algorithm>
#include <climits>

namespace velmar {
namespace {
int Show(int code, const QString& text, QWidget* owner) {
    if (code != 0 && !text.isEmpty()) ShowMessage(text, MessageKind::Error, owner);
    return code;
}
} // namespace

int ShowInternetError(const FtpConnection& connection, QWidget* owner) {
    QString text;
    const int code = connection.ErrorText(text);
    return Show(code, text, owner);
}

int ShowClientError(const FtpConnection& connection, QWidget* owner) {
    return ShowInternetError(connection, owner); // the connection knows its own kind
}

int ShowFtpError(const FtpConnection& connection, QWidget* owner) {
    return connection.IsOwnClient() ? ShowClientError(connection, owner)
                                    : ShowInternetError(connection, owner);
}

int ShowErrorCode(int code, const QString& responseInfo, QWidget* owner) {
    QString text;
    const int result = ErrorTextFor(code, responseInfo, text);
    return Show(result, text, owner);
}

FtpOptions ReadFtpOptions() {
    // Whatever number the settings hold, a sane count of milliseconds.
    const auto ms = [](const char* name) {
        return int(std::clamp<int64_t>(int64_t(ReadStoreSetting(name)) * 1000, 0, INT_MAX));
    };
    FtpOptions options;
    options.connectMs = ms("ConnectTimeout");
    options.sendMs = ms("SendTimeout");
    options.receiveMs = ms("RecieveTimeout");
    options.linger = ReadStoreSetting("UseLinger") != 0;
    return options;
}

} // namespace velmar

#include "filemgr/FtpErrorBox.h"

#include "framework/Message.h"
#include "ftp/FtpConnection.h"
#include "ftp/InternetErrors.h"
#include "settings/SettingsStore.h"

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
    FtpOptions options;
    options.connectMs = TimeoutSettingMs("ConnectTimeout");
    options.sendMs = TimeoutSettingMs("SendTimeout");
    options.receiveMs = TimeoutSettingMs("RecieveTimeout");
    options.linger = ReadStoreSetting("UseLinger") != 0;
    return options;
}

} // namespace velmar

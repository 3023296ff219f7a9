#include "filemgr/FtpErrorBox.h"

#include "settings/SettingsStore.h"

namespace velmar {

FtpOptions ReadFtpOptions() {
    FtpOptions options;
    options.connectMs = TimeoutSettingMs("ConnectTimeout");
    options.sendMs = TimeoutSettingMs("SendTimeout");
    options.receiveMs = TimeoutSettingMs("RecieveTimeout");
    options.linger = ReadStoreSetting("UseLinger") != 0;
    return options;
}

} // namespace velmar

#pragma once
// The FTP options from the settings.

#include "ftp/FtpOptions.h"

namespace velmar {

// The time-outs and options a new connection is made with, from the settings (seconds there).
FtpOptions ReadFtpOptions();

} // namespace velmar

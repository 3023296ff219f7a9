#pragma once
// The two back ends behind ConnectFtp.

#include "ftp/FtpConnection.h"

namespace velmar {

std::unique_ptr<FtpConnection> ConnectOwnClient(const FtpLogin& login, const FtpOptions& options,
                                                FtpStatusInfo& status);
std::unique_ptr<FtpConnection> ConnectCurl(const FtpLogin& login, const FtpOptions& options,
                                           FtpStatusInfo& status,
                                           trust::PeerIdentity* peer = nullptr);

} // namespace velmar

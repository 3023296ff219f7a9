// The FTP side of a pane: connecting through the server list, the listing thread's connect,
// and going back to the local root.

#include "settings/SettingsStore.h"
#include "filemgr/FtpDialogs.h"
#include "filemgr/FtpErrorBox.h"
#include "filemgr/PaneList.h"
#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "ftp/curl/CurlFtp.h"
#include "sources/InetFtpDirSource.h"

namespace velmar {

void CPaneList::CloseFtpConnection() {
    // The listing thread may be inside the connection: it ends first.
    StopListing(listingJob_);
    ftp_.reset();
}

bool CPaneList::ConnectPane() {
    // Runs on the listing thread; the interface thread waits for it before it touches ftp_.
    if (ftp_) return true;
    int code = 0;
    QString text;
    ftp_ = ConnectFtp(ownClient_, ftpLogin_, ReadFtpOptions(), code, text);
    if (ftp_) return true;
    // Our own client's status says why as well; without it a refused log-in would look
    // like nothing at all.
    if (code != 0 && !text.isEmpty()) PostToWindow(this, new FtpMessageEvent(text, 16));
    return false;
}

void CPaneList::OnFtpCommand() {
    if (sourceKind_ == kSourceFtp) {
        ReturnToLocalRoot();
        return;
    }
    CFtpNode node;
    {
        CFtpServersDialog servers(this);
        if (RunModal(servers) != QDialog::Accepted) return;
        node = servers.result();
    }
    if (!ftp::OpenInternet()) {
        ShowMessage(QStringLiteral("Can't open internet connection"), MessageKind::Error, this);
        return;
    }
    RegisterInetFtpDirSource();
    CloseFtpConnection();
    ownClient_ = ReadStoreSetting("InternalFTP") != 0;
    ftpLogin_ = FtpLogin{node.host, int(node.port), node.user, node.password};
    if (node.askPassword) {
        CFtpLoginDialog login(node.user, this);
        RunModal(login); // after Cancel: the login as filled and no password
        ftpLogin_.user = login.user();
        ftpLogin_.password = login.password();
    }
    listingJob_.connect = [this] { return ConnectPane(); };
    listingJob_.attach = [this](DirSource& source) {
        if (auto* ftp = dynamic_cast<InetFtpDirSource*>(&source))
            ftp->SetConnection(ftp_.get(), &listingJob_.stop);
    };
    sourceKind_ = kSourceFtp;
    setFtpHost(node.host);
    currentPath_ = QStringLiteral("/");
    mask_ = QStringLiteral("*.*");
    listMode_ = 0;
    RefillPane();
}

} // namespace velmar

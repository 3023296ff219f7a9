// The FTP side of a pane's window layer: choosing a server from the list, asking for the
// password, and telling the user why a listing failed. The connection itself belongs to the
// pane's controller.

#include "filemgr/FtpDialogs.h"
#include "filemgr/FtpErrorBox.h"
#include "filemgr/PaneController.h"
#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "ftp/curl/CurlFtp.h"
#include "settings/SettingsStore.h"

namespace velmar {

void ConnectThroughServerList(PaneController& pane, QWidget* parent) {
    CFtpNode node;
    {
        CFtpServersDialog servers(parent);
        if (RunModal(servers) != QDialog::Accepted) return;
        node = servers.result();
    }
    if (!ftp::OpenInternet()) {
        ShowMessage(QStringLiteral("Can't open internet connection"), MessageKind::Error, parent);
        return;
    }
    FtpLogin login{node.host, int(node.port), node.user, node.password};
    if (node.askPassword) {
        CFtpLoginDialog dialog(node.user, parent);
        RunModal(dialog); // after Cancel: the login as filled and no password
        login.user = dialog.user();
        login.password = dialog.password();
    }
    pane.ConnectTo(login, ReadStoreSetting("InternalFTP") != 0, ReadFtpOptions());
}

void TellListingFailed(const QString& serverText, bool closedAfterwards, QWidget* parent) {
    // One box for one failure: the reason first, then what became of the connection.
    const QString closed = QStringLiteral("Ftp connection closed");
    if (!closedAfterwards) {
        if (!serverText.isEmpty()) ShowMessage(serverText, MessageKind::Error, parent);
        return;
    }
    ShowMessage(serverText.isEmpty() ? closed : serverText.trimmed() + QLatin1Char('\n') + closed,
                MessageKind::Error, parent);
}

} // namespace velmar

// The FTP side of a pane's window layer: choosing a server from the list, asking for the
// password, and telling the user why a listing failed. The connection itself belongs to the
// pane's controller.

#include "filemgr/FtpDialogs.h"
#include "filemgr/FtpErrorBox.h"
#include "filemgr/PaneController.h"
#include "framework/BesideWindow.h"
#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "ftp/curl/CurlFtp.h"
#include "platform/Cancel.h"
#include "platform/Settings.h"
#include "settings/SettingsStore.h"
#include "trust/PeerIdentity.h"

#include <QDir>
#include <QFileInfo>

namespace velmar {

namespace {

// A connect beside the window: it keeps painting under the wait cursor, and Esc (or closing a
// window) ends the connect at once. False when it was stopped or could not start.
bool ConnectAside(const FtpLogin& login, const FtpOptions& options, FtpConnectResult& r) {
    std::atomic<int> running{1};
    platform::CancelToken cancel;
    const bool ran = RunBesideWindow(
        running,
        [&] { r.connection = ConnectFtp(false, login, options, r.status, &r.peer); }, &cancel);
    return ran && running.load() != 0 && !cancel.IsCancelled();
}

} // namespace

QString TrustedCertificatesFile() {
    return QFileInfo(platform::SettingsFilePath()).absolutePath() +
           QStringLiteral("/trusted-certificates");
}

bool TrustSecurePeer(FtpLogin& login, const FtpOptions& options, QWidget* parent) {
    if (login.protocol == FtpProtocol::Ftp) return true;
    const QString certificates = TrustedCertificatesFile();
    const QString knownHosts = login.knownHosts.isEmpty()
                                   ? QDir::homePath() + QStringLiteral("/.ssh/known_hosts")
                                   : login.knownHosts;
    const quint16 port = quint16(login.port > 0 ? login.port : DefaultPort(login.protocol));
    // At most one question per kind: a peer that shows yet another identity after a Yes is
    // refused by the next round.
    for (int round = 0; round < 2; ++round) {
        if (login.protocol == FtpProtocol::FtpTls)
            login.pinnedCertificate =
                trust::RememberedCertificate(certificates, login.host, port).value_or(QByteArray());
        FtpConnectResult r;
        if (!ConnectAside(login, options, r)) return false; // stopped: nothing to tell
        if (r.connection) return true;
        const trust::PeerIdentity& peer = r.peer;
        if (round == 0 && peer.state == trust::KeyState::Unknown) {
            bool stored = false;
            if (peer.kind == trust::PeerIdentity::Kind::Certificate) {
                if (!AskYesNo(trust::UnknownCertificateQuestion(peer), parent)) return false;
                stored = trust::RememberCertificate(certificates, login.host, port, peer.pin);
            } else if (peer.kind == trust::PeerIdentity::Kind::HostKey) {
                if (!AskYesNo(trust::UnknownKeyQuestion(trust::QuestionFor(peer, knownHosts)),
                              parent))
                    return false;
                stored = trust::AddKnownHost(knownHosts, login.host, port, peer.keyType, peer.pin);
            }
            if (stored) continue;
            ShowMessage(QStringLiteral("The answer could not be stored in %1: not connected.")
                            .arg(peer.kind == trust::PeerIdentity::Kind::HostKey ? knownHosts
                                                                                : certificates),
                        MessageKind::Error, parent);
            return false;
        }
        ShowMessage(r.status.text.isEmpty() ? QStringLiteral("Can't connect to the server")
                                            : r.status.text,
                    MessageKind::Error, parent);
        return false;
    }
    return false;
}

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
    FtpLogin login;
    login.host = node.host;
    login.port = int(node.port);
    login.user = node.user;
    login.password = node.password;
    login.protocol = node.protocol;
    if (node.askPassword) {
        CFtpLoginDialog dialog(node.user, parent);
        RunModal(dialog); // after Cancel: the login as filled and no password
        login.user = dialog.user();
        login.password = dialog.password();
    }
    // A secure peer is checked (and asked about) here, on the window's thread, before the
    // pane connects on its listing thread with what the user trusted.
    const FtpOptions options = ReadFtpOptions();
    if (!TrustSecurePeer(login, options, parent)) return;
    pane.ConnectTo(login, ReadStoreSetting("InternalFTP") != 0, options);
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

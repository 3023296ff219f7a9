#pragma once
// The FTP server list dialogs: "Ftp Servers" (152) keeps the list, "Enter FTP address" (137)
// edits one entry, "Ftp login" (153) asks for a login and password before connecting.

#include "ftp/FtpServerList.h"

#include <QDialog>
#include <optional>
#include <vector>

class QListWidget;
class QLineEdit;
class QCheckBox;
class QPushButton;
class QComboBox;
class QLabel;

namespace velmar {

class CFtpAddressDialog : public QDialog {
    Q_OBJECT
public:
    explicit CFtpAddressDialog(const CFtpNode& node, QWidget* parent = nullptr);
    CFtpNode node() const { return node_; }
    void accept() override; // refuses a port outside 1..65535

private:
    CFtpNode node_;
    QLineEdit* host_;
    QLineEdit* user_;
    QLineEdit* password_;
    QCheckBox* ask_;
    QLineEdit* port_;
    QComboBox* protocol_;
    QLabel* through_;
    FtpProtocol shown_ = FtpProtocol::Ftp;
    void OnProtocol();
};

// A row of the server list: host, port and user (two entries for one host stay apart), and
// the protocol when it is not plain FTP.
QString ServerListText(const CFtpNode& node);

class CFtpServersDialog : public QDialog {
    Q_OBJECT
public:
    // Reads the stored list.
    explicit CFtpServersDialog(QWidget* parent = nullptr);
    // Writes the list back, however the dialog was closed.
    ~CFtpServersDialog() override;
    // Closing writes the list; a list too large to be stored says so and the dialog stays
    // open with the session's edits, for the user to shorten it.
    void done(int result) override;

    // The entry chosen with Connect (an empty one when none was selected).
    const CFtpNode& result() const { return result_; }
    const std::vector<CFtpNode>& nodes() const { return nodes_; }

private:
    void UpdateButtons();
    void OnNew();
    void OnEdit();
    void OnDelete();
    void OnConnect();

    std::vector<CFtpNode> nodes_;
    CFtpNode result_;
    bool saved_ = false;
    QListWidget* list_;
    QPushButton* connect_;
    QPushButton* edit_;
    QPushButton* delete_;
};

class PaneController;

// The pane's "FTP" command: the server list, then the log-in; the controller connects.
void ConnectThroughServerList(PaneController& pane, QWidget* parent);
// For an entry over TLS or SFTP: connects once aside (the window stays alive), asks about an
// unknown certificate or host key and stores the answer, refuses a changed one with a message.
// True when the peer is trusted (`login` then carries the trusted certificate).
struct FtpLogin;
struct FtpOptions;
// Our file of TLS certificates the user trusted: beside the settings, private to the user.
QString TrustedCertificatesFile();
bool TrustSecurePeer(FtpLogin& login, const FtpOptions& options, QWidget* parent);
// What the user is told when a pane's FTP listing failed.
void TellListingFailed(const QString& serverText, bool closedAfterwards, QWidget* parent);

class CFtpLoginDialog : public QDialog {
    Q_OBJECT
public:
    CFtpLoginDialog(const QString& user, QWidget* parent = nullptr);
    QString user() const;
    QString password() const;

private:
    QLineEdit* user_;
    QLineEdit* password_;
};

} // namespace velmar

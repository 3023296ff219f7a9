#include "filemgr/FtpDialogs.h"

#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "res/Ids.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmar {

using namespace ids;

namespace {

QLineEdit* Edit(QWidget* parent, int id, const char* name, bool hidden = false) {
    auto* edit = new QLineEdit(parent);
    if (hidden) edit->setEchoMode(QLineEdit::Password);
    SetControlId(edit, id, name);
    return edit;
}

} // namespace

// ---- Enter FTP address ----

CFtpAddressDialog::CFtpAddressDialog(const CFtpNode& node, QWidget* parent)
    : QDialog(parent), node_(node) {
    SetControlId(this, kDlgFtpAddress, "ftpAddressDialog");
    setWindowTitle(QStringLiteral("Enter FTP address"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("server"), host_ = Edit(this, kIdcFtpHost, "ftpHost"));
    form->addRow(QStringLiteral("User:"), user_ = Edit(this, kIdcFtpUser, "ftpUser"));
    form->addRow(QStringLiteral("Password"),
                 password_ = Edit(this, kIdcFtpPassword, "ftpPassword", true));
    layout->addLayout(form);
    ask_ = new QCheckBox(QStringLiteral("Ask password directly before connecting"), this);
    SetControlId(ask_, kIdcFtpAskPassword, "ftpAskPassword");
    layout->addWidget(ask_);
    auto* portForm = new QFormLayout;
    portForm->addRow(QStringLiteral("Port:"), port_ = Edit(this, kIdcFtpPort, "ftpPort"));
    protocol_ = new QComboBox(this);
    protocol_->setObjectName(QStringLiteral("ftpProtocol"));
    for (const FtpProtocol p : {FtpProtocol::Ftp, FtpProtocol::FtpTls, FtpProtocol::Sftp})
        protocol_->addItem(ProtocolName(p), int(p));
    portForm->addRow(QStringLiteral("Protocol:"), protocol_);
    layout->addLayout(portForm);
    through_ = new QLabel(this);
    through_->setObjectName(QStringLiteral("ftpThrough"));
    through_->setWordWrap(true);
    layout->addWidget(through_);
    layout->addWidget(OkCancel(this, QStringLiteral("Save")));

    host_->setText(node.host);
    user_->setText(node.user);
    password_->setText(node.password);
    ask_->setChecked(node.askPassword != 0);
    port_->setText(QString::number(node.port));
    shown_ = node.protocol;
    protocol_->setCurrentIndex(protocol_->findData(int(node.protocol)));
    OnProtocol();
    connect(protocol_, &QComboBox::currentIndexChanged, this, &CFtpAddressDialog::OnProtocol);
}

void CFtpAddressDialog::OnProtocol() {
    const auto chosen = FtpProtocol(protocol_->currentData().toInt());
    // A port left at the old protocol's default follows the new one; a port typed stays.
    if (port_->text().trimmed() == QString::number(DefaultPort(shown_)))
        port_->setText(QString::number(DefaultPort(chosen)));
    shown_ = chosen;
    through_->setText(
        chosen == FtpProtocol::Ftp
            ? QStringLiteral("Plain FTP: the password and the files cross the network "
                             "unencrypted.")
            : QStringLiteral("Encrypted. Connects through libcurl, also when the internal FTP "
                             "client is chosen (it speaks plain FTP only)."));
}

void CFtpAddressDialog::accept() {
    bool ok = false;
    const int port = port_->text().trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535) {
        ShowMessage(QStringLiteral("The port must be a number from 1 to 65535."),
                    MessageKind::Error, this);
        port_->setFocus();
        return;
    }
    node_.host = host_->text();
    node_.user = user_->text();
    node_.password = password_->text();
    node_.askPassword = ask_->isChecked() ? 1 : 0;
    node_.port = uint32_t(port);
    node_.protocol = FtpProtocol(protocol_->currentData().toInt());
    QDialog::accept();
}

// ---- Ftp Servers ----

CFtpServersDialog::CFtpServersDialog(QWidget* parent)
    : QDialog(parent), nodes_(LoadFtpServerList()) {
    SetControlId(this, kDlgFtpServers, "ftpServersDialog");
    setWindowTitle(QStringLiteral("Ftp Servers"));
    auto* layout = new QVBoxLayout(this);
    list_ = new QListWidget(this);
    SetControlId(list_, kIdcServerList, "serverList");
    layout->addWidget(list_);

    auto* row = new QHBoxLayout;
    auto* add = new QPushButton(QStringLiteral("New"), this);
    edit_ = new QPushButton(QStringLiteral("Edit"), this);
    delete_ = new QPushButton(QStringLiteral("Delete"), this);
    SetControlId(add, kIdcServerNew, "serverNew");
    SetControlId(edit_, kIdcServerEdit, "serverEdit");
    SetControlId(delete_, kIdcServerDelete, "serverDelete");
    row->addWidget(add);
    row->addWidget(edit_);
    row->addWidget(delete_);
    layout->addLayout(row);

    auto* buttons = new QDialogButtonBox(this);
    connect_ = buttons->addButton(QStringLiteral("Connect"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(QDialogButtonBox::Cancel);
    SetControlId(connect_, kIdOk, "ok");
    SetControlId(cancel, kIdCancel, "cancel");
    layout->addWidget(buttons);

    for (const CFtpNode& n : nodes_)
        list_->addItem(ServerListText(n));

    connect(add, &QPushButton::clicked, this, &CFtpServersDialog::OnNew);
    connect(edit_, &QPushButton::clicked, this, &CFtpServersDialog::OnEdit);
    connect(delete_, &QPushButton::clicked, this, &CFtpServersDialog::OnDelete);
    connect(connect_, &QPushButton::clicked, this, &CFtpServersDialog::OnConnect);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QListWidget::itemSelectionChanged, this, &CFtpServersDialog::UpdateButtons);
    UpdateButtons();
}

CFtpServersDialog::~CFtpServersDialog() {
    if (!saved_) SaveFtpServerList(nodes_);
}

void CFtpServersDialog::done(int result) {
    if (!SaveFtpServerList(nodes_)) {
        ShowMessage(QStringLiteral("The server list is too large to be stored (or the settings "
                                   "file cannot be written). Delete or shorten entries, then "
                                   "close the list again."),
                    MessageKind::Error, this);
        return;
    }
    saved_ = true;
    QDialog::done(result);
}

QString ServerListText(const CFtpNode& n) {
    QString text = QStringLiteral("%1:%2  %3")
                       .arg(n.host)
                       .arg(n.port)
                       .arg(n.user.isEmpty() ? QStringLiteral("anonymous") : n.user);
    if (n.protocol != FtpProtocol::Ftp) text += QStringLiteral("  (%1)").arg(ProtocolName(n.protocol));
    return text;
}

void CFtpServersDialog::UpdateButtons() {
    const bool selected = !list_->selectedItems().isEmpty();
    connect_->setEnabled(selected);
    edit_->setEnabled(selected);
    delete_->setEnabled(selected);
}

void CFtpServersDialog::OnNew() {
    CFtpAddressDialog dialog(CFtpNode{}, this);
    if (RunModal(dialog) != QDialog::Accepted) return;
    nodes_.push_back(dialog.node());
    list_->addItem(ServerListText(dialog.node()));
}

void CFtpServersDialog::OnEdit() {
    const int row = list_->currentRow();
    if (row < 0 || row >= int(nodes_.size()) || list_->selectedItems().isEmpty()) return;
    CFtpAddressDialog dialog(nodes_[size_t(row)], this);
    if (RunModal(dialog) != QDialog::Accepted) return;
    nodes_[size_t(row)] = dialog.node();
    list_->item(row)->setText(ServerListText(dialog.node()));
}

void CFtpServersDialog::OnDelete() {
    const int row = list_->currentRow();
    if (row < 0 || row >= int(nodes_.size()) || list_->selectedItems().isEmpty()) return;
    nodes_.erase(nodes_.begin() + row);
    delete list_->takeItem(row);
    // Nothing is selected after a deletion: Delete again must not hit the next entry.
    list_->setCurrentRow(-1);
    list_->clearSelection();
    UpdateButtons();
}

void CFtpServersDialog::OnConnect() {
    const int row = list_->currentRow();
    result_ = row >= 0 && row < int(nodes_.size()) && !list_->selectedItems().isEmpty()
                  ? nodes_[size_t(row)]
                  : CFtpNode{};
    accept();
}

// ---- Ftp login ----

CFtpLoginDialog::CFtpLoginDialog(const QString& user, QWidget* parent) : QDialog(parent) {
    SetControlId(this, kDlgFtpLogin, "ftpLoginDialog");
    setWindowTitle(QStringLiteral("Ftp login"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Login:"), user_ = Edit(this, kIdcLoginUser, "loginUser"));
    form->addRow(QStringLiteral("Password:"),
                 password_ = Edit(this, kIdcLoginPassword, "loginPassword", true));
    layout->addLayout(form);
    layout->addWidget(OkCancel(this, QStringLiteral("OK")));
    user_->setText(user);
}

QString CFtpLoginDialog::user() const {
    return user_->text();
}
QString CFtpLoginDialog::password() const {
    return password_->text();
}

} // namespace velmar

#include "telnet/TelnetDialogs.h"

#include "framework/Dialogs.h"
#include "platform/Settings.h"
#include "res/Ids.h"
#include "settings/SettingsStore.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGridLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

namespace velmar::telnet {

namespace {

const QString kSection = QString::fromLatin1(kTelnetSection);
const QString kLastHosts = QStringLiteral("LastHosts");

QLineEdit* IntegerEdit(QWidget* parent, int id, int value) {
    auto* edit = new QLineEdit(QString::number(value), parent);
    edit->setValidator(new QIntValidator(-99999999, 99999999, edit));
    SetControlId(edit, id);
    return edit;
}

} // namespace

FontDescription LoadFontDescription() {
    FontDescription font;
    font.height = platform::ReadSetting(kSection, QStringLiteral("lfHeight"), 14);
    font.width = platform::ReadSetting(kSection, QStringLiteral("lfWidth"), 0);
    font.weight = platform::ReadSetting(kSection, QStringLiteral("lfWeight"), 700);
    font.face = platform::ReadStringSetting(kSection, QStringLiteral("lfFaceName"), font.face);
    return font;
}

void StoreFontDescription(const FontDescription& font) {
    platform::WriteSetting(kSection, QStringLiteral("lfHeight"), font.height);
    platform::WriteSetting(kSection, QStringLiteral("lfWidth"), font.width);
    platform::WriteSetting(kSection, QStringLiteral("lfWeight"), font.weight);
    platform::WriteStringSetting(kSection, QStringLiteral("lfFaceName"), font.face);
}

std::optional<QFont> MakeFont(const FontDescription& d) {
    if (d.face.trimmed().isEmpty() || d.height < -1000 || d.height > 1000 || d.weight < 0 ||
        d.weight > 1000 || d.width < 0 || d.width > 1000)
        return std::nullopt;
    QFont font(d.face);
    font.setStyleHint(QFont::TypeWriter);
    font.setKerning(false);
    if (d.weight > 0) font.setWeight(QFont::Weight(std::clamp(d.weight, 100, 900)));
    const int asked = d.height == 0 ? 14 : std::abs(d.height);
    font.setPixelSize(asked);
    // A positive height is the whole cell, as the stored value has always meant: take the
    // largest size whose line height fits.
    if (d.height > 0) {
        for (int px = asked; px > 1 && QFontMetrics(font).height() > d.height; --px)
            font.setPixelSize(px - 1);
    }
    // A width stretches or narrows the face until its advance is that many pixels.
    if (d.width > 0) {
        const int natural = QFontMetrics(font).horizontalAdvance(QLatin1Char('M'));
        if (natural > 0) font.setStretch(std::clamp(d.width * 100 / natural, 1, 4000));
    }
    return font;
}

EmulationKind LoadEmulationKind() {
    const QString stored =
        platform::ReadStringSetting(kSection, QStringLiteral("Emulation"), QStringLiteral("ansi"));
    return stored == QLatin1String("xterm") ? EmulationKind::Xterm : EmulationKind::Ansi;
}

void StoreEmulationKind(EmulationKind kind) {
    platform::WriteStringSetting(kSection, QStringLiteral("Emulation"),
                                 kind == EmulationKind::Xterm ? QStringLiteral("xterm")
                                                              : QStringLiteral("ansi"));
}

CTelnetOptionDialog::CTelnetOptionDialog(int lines, int rows, int columns, EmulationKind kind,
                                         bool followsWindow, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Telnet option"));
    SetControlId(this, ids::kDlgTelnetOption);
    lines_ = IntegerEdit(this, ids::kIdcTelnetLines, lines);
    rows_ = IntegerEdit(this, ids::kIdcTelnetRows, rows);
    columns_ = IntegerEdit(this, ids::kIdcTelnetColumns, columns);
    rows_->setReadOnly(followsWindow);
    columns_->setReadOnly(followsWindow);
    emulation_ = new QComboBox(this);
    emulation_->addItem(QStringLiteral("ansi"));
    emulation_->addItem(QStringLiteral("xterm"));
    emulation_->setCurrentIndex(kind == EmulationKind::Xterm ? 1 : 0);
    SetControlId(emulation_, ids::kIdcTelnetEmulation);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Lines of scrollback "), lines_);
    form->addRow(QStringLiteral("Rows"), rows_);
    form->addRow(QStringLiteral("Columns"), columns_);
    form->addRow(QStringLiteral("Emulation"), emulation_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancel(this));
}

int CTelnetOptionDialog::lines() const {
    return lines_->text().toInt();
}
int CTelnetOptionDialog::rows() const {
    return rows_->text().toInt();
}
int CTelnetOptionDialog::columns() const {
    return columns_->text().toInt();
}
EmulationKind CTelnetOptionDialog::kind() const {
    return emulation_->currentIndex() == 1 ? EmulationKind::Xterm : EmulationKind::Ansi;
}

quint16 DefaultPort(Protocol protocol) {
    return protocol == Protocol::Ssh ? 22 : 23;
}

Protocol LoadProtocol() {
    return platform::ReadStringSetting(kSection, QStringLiteral("Protocol"),
                                       QStringLiteral("telnet")) == QLatin1String("ssh")
               ? Protocol::Ssh
               : Protocol::Telnet;
}

void StoreProtocol(Protocol protocol) {
    platform::WriteStringSetting(kSection, QStringLiteral("Protocol"),
                                 protocol == Protocol::Ssh ? QStringLiteral("ssh")
                                                           : QStringLiteral("telnet"));
}

CTelnetConnectDialog::CTelnetConnectDialog(const QString& host, int port, Protocol protocol,
                                           QWidget* parent)
    : QDialog(parent), history_(LoadHistory(kSection, kLastHosts)), loaded_(history_) {
    setWindowTitle(QStringLiteral("Host & port settings"));
    SetControlId(this, ids::kDlgTelnetConnect);
    host_ = new QComboBox(this);
    host_->setEditable(true);
    host_->setInsertPolicy(QComboBox::NoInsert);
    host_->addItems(SortedForList(history_));
    host_->setEditText(host);
    SetControlId(host_, ids::kIdcTelnetHost);
    port_ = new QLineEdit(QString::number(port), this);
    port_->setValidator(new QIntValidator(0, 65535, port_));
    SetControlId(port_, ids::kIdcTelnetPort);
    protocol_ = new QComboBox(this);
    protocol_->addItem(QStringLiteral("Telnet (clear text)"));
    protocol_->addItem(QStringLiteral("SSH (encrypted)"));
    protocol_->setCurrentIndex(protocol == Protocol::Ssh ? 1 : 0);
    SetControlId(protocol_, ids::kIdcTelnetProtocol);
    connect(protocol_, &QComboBox::currentIndexChanged, this, [this](int index) {
        // A port the user typed stays; the other protocol's default follows the choice.
        const Protocol now = index == 1 ? Protocol::Ssh : Protocol::Telnet;
        const Protocol before = now == Protocol::Ssh ? Protocol::Telnet : Protocol::Ssh;
        if (port_->text().isEmpty() || port_->text().toInt() == DefaultPort(before))
            port_->setText(QString::number(DefaultPort(now)));
    });
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Protocol"), protocol_);
    form->addRow(QStringLiteral("Server"), host_);
    form->addRow(QStringLiteral("Port"), port_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancel(this));
    setMinimumWidth(320);
}

CTelnetConnectDialog::~CTelnetConnectDialog() {
    SaveHistory(kSection, kLastHosts, history_, loaded_);
}

QString CTelnetConnectDialog::host() const {
    return host_->currentText().trimmed();
}
int CTelnetConnectDialog::port() const {
    return port_->text().toInt();
}

Protocol CTelnetConnectDialog::protocol() const {
    return protocol_->currentIndex() == 1 ? Protocol::Ssh : Protocol::Telnet;
}

void CTelnetConnectDialog::setProtocol(Protocol protocol) {
    protocol_->setCurrentIndex(protocol == Protocol::Ssh ? 1 : 0);
}

CSshPasswordDialog::CSshPasswordDialog(const QString& userAtHost, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("SSH log-in"));
    SetControlId(this, ids::kDlgSshPassword);
    password_ = new QLineEdit(this);
    password_->setEchoMode(QLineEdit::Password);
    SetControlId(password_, ids::kIdcSshPassword);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("%1's password:").arg(userAtHost), password_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancel(this));
}

QString CSshPasswordDialog::password() const {
    return password_->text();
}

void CSshPasswordDialog::setPassword(const QString& password) {
    password_->setText(password);
}

void CTelnetConnectDialog::accept() {
    AddToHistory(history_, host());
    QDialog::accept();
}

CChooseFontDialog::CChooseFontDialog(const FontDescription& font, QWidget* parent)
    : QDialog(parent), font_(font) {
    setWindowTitle(QStringLiteral("Choose font"));
    SetControlId(this, ids::kDlgChooseFont);
    height_ = IntegerEdit(this, ids::kIdcFontHeight, font.height);
    width_ = IntegerEdit(this, ids::kIdcFontWidth, font.width);
    weight_ = IntegerEdit(this, ids::kIdcFontWeight, font.weight);
    name_ = new QLabel(font.face, this);
    name_->setTextFormat(Qt::PlainText); // a stored face name is outside text
    SetControlId(name_, ids::kIdcFontName);
    faces_ = new QListWidget(this);
    faces_->setSortingEnabled(true);
    SetControlId(faces_, ids::kIdcFontFaces);
    example_ = new QLineEdit(QStringLiteral("AaBbYyZz 0123 -+|"), this);
    SetControlId(example_, ids::kIdcFontExample);
    auto* ok = new QPushButton(QStringLiteral("Ok"), this);
    SetControlId(ok, 1);
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    SetControlId(cancel, ids::kIdcFontCancel);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Typeface"), this), 0, 0);
    grid->addWidget(faces_, 1, 0, 5, 1);
    grid->addWidget(new QLabel(QStringLiteral("Font Name"), this), 0, 1);
    grid->addWidget(name_, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Height"), this), 1, 1);
    grid->addWidget(height_, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Width"), this), 2, 1);
    grid->addWidget(width_, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Weight"), this), 3, 1);
    grid->addWidget(weight_, 3, 2);
    grid->addWidget(new QLabel(QStringLiteral("Example"), this), 6, 0);
    grid->addWidget(example_, 7, 0, 1, 3);
    grid->addWidget(ok, 4, 2);
    grid->addWidget(cancel, 5, 2);

    faces_->addItems(QFontDatabase::families());
    const QList<QListWidgetItem*> found = faces_->findItems(font_.face, Qt::MatchExactly);
    if (!found.isEmpty()) {
        faces_->setCurrentItem(found.first());
        SelectionChanged();
    } else {
        UpdateMetrics();
    }
    connect(faces_, &QListWidget::currentTextChanged, this, [this] {
        // Another face starts at its own width.
        width_->setText(QStringLiteral("0"));
        SelectionChanged();
    });
}

void CChooseFontDialog::SelectionChanged() {
    if (!faces_->currentItem()) return;
    font_.face = faces_->currentItem()->text();
    name_->setText(font_.face);
    UpdateMetrics();
    if (const std::optional<QFont> f = MakeFont(font_)) example_->setFont(*f);
}

void CChooseFontDialog::ReadFields() {
    font_.height = height_->text().toInt();
    font_.width = width_->text().toInt();
    font_.weight = weight_->text().toInt();
}

void CChooseFontDialog::UpdateMetrics() {
    ReadFields();
    const std::optional<QFont> f = MakeFont(font_);
    if (!f) return;
    const QFontMetrics metrics(*f);
    const QFontInfo info(*f);
    height_->setText(QString::number(metrics.height()));
    // The advance of a cell, which is what a typed width sets.
    width_->setText(QString::number(metrics.horizontalAdvance(QLatin1Char('M'))));
    weight_->setText(QString::number(info.weight()));
    name_->setText(info.family());
}

void CChooseFontDialog::accept() {
    // What the user typed last counts, not only what the last face change read.
    ReadFields();
    QDialog::accept();
}

} // namespace velmar::telnet

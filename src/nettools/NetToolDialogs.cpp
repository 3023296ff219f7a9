#include "nettools/NetToolDialogs.h"

#include "settings/SettingsStore.h"
#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "platform/TimedSocket.h"
#include "nettools/Ping.h"
#include "res/Ids.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <climits>

namespace velmar {

using namespace ids;

namespace {

QComboBox* HistoryCombo(QWidget* parent, int id) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMinimumContentsLength(20);
    SetControlId(combo, id);
    return combo;
}

QSpinBox* Number(QWidget* parent, int id, int value) {
    auto* spin = new QSpinBox(parent);
    spin->setRange(INT_MIN, INT_MAX);
    spin->setValue(value);
    SetControlId(spin, id);
    return spin;
}

QPushButton* Button(QWidget* parent, int id, const char* text) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setDefault(true);
    SetControlId(b, id);
    return b;
}

QPlainTextEdit* Results(QWidget* parent, int id) {
    auto* edit = new QPlainTextEdit(parent);
    edit->setReadOnly(true);
    edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    SetControlId(edit, id);
    return edit;
}

// The edit shows CR LF line ends as plain line breaks.
QString ForEdit(QString text) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.remove(QLatin1Char('\r'));
    return text;
}

} // namespace

void FillSortedCombo(QComboBox* combo, const QStringList& entries) {
    combo->addItems(SortedForList(entries));
    combo->setCurrentIndex(-1);
}

QueryTimeouts StoredTimeouts() {
    QueryTimeouts t;
    t.connectMs = TimeoutSettingMs("ConnectTimeout");
    t.sendMs = TimeoutSettingMs("SendTimeout");
    t.receiveMs = TimeoutSettingMs("RecieveTimeout");
    return t;
}

// ---- shared run handling ----

void CNetToolDlg::reject() {
    // Esc and closing stop a run: the worker's waits end at once.
    worker_.StopAndWait();
    QDialog::reject();
}

namespace {
constexpr int kBatchMs = 50;
}

CNetToolDlg::CNetToolDlg(QWidget* parent) : QDialog(parent), batch_(new QTimer(this)) {
    batch_->setSingleShot(true);
    batch_->setInterval(kBatchMs);
    connect(batch_, &QTimer::timeout, this, &CNetToolDlg::Flush);
    connect(&worker_, &ToolWorker::textReady, this, [this](const QString& text) {
        pendingText_ += text;
        if (!batch_->isActive()) batch_->start();
    });
    connect(&worker_, &ToolWorker::lineReady, this, [this](const QString& line) {
        pendingLines_.append(line);
        if (!batch_->isActive()) batch_->start();
    });
    // The end of a run comes after every piece it posted: show them, then end the run.
    connect(&worker_, &ToolWorker::finished, this, [this] {
        Flush();
        worker_.StopAndWait(); // the thread has returned; join it
        start_->setEnabled(true);
        OnRunFinished();
    });
}

void CNetToolDlg::Flush() {
    batch_->stop();
    if (!pendingText_.isEmpty() && answer_) {
        QTextCursor end(answer_->document());
        end.movePosition(QTextCursor::End);
        end.insertText(ForEdit(pendingText_));
    }
    pendingText_.clear();
    if (!pendingLines_.isEmpty()) ShowLines(pendingLines_);
    pendingLines_.clear();
}

void CNetToolDlg::ShowAnswersIn(QPlainTextEdit* results) {
    answer_ = results;
}

void CNetToolDlg::StartRun(std::function<void(ToolWorker&)> job) {
    worker_.StopAndWait();
    pendingText_.clear();
    pendingLines_.clear();
    start_->setEnabled(false);
    worker_.Start(std::move(job));
}

// ---- Ping ----

CPingDlg::CPingDlg(QWidget* parent) : CNetToolDlg(parent) {
    SetControlId(this, kDlgPing);
    setWindowTitle(QStringLiteral("Ping"));
    history_ = loaded_ = LoadHistory(QStringLiteral("Ping"), QStringLiteral("LastHosts"));

    auto* layout = new QVBoxLayout(this);
    auto* address = new QGroupBox(QStringLiteral("Ping Address"), this);
    auto* addressRow = new QHBoxLayout(address);
    host_ = HistoryCombo(address, kIdcPingHost);
    addressRow->addWidget(host_, 1);
    start_ = Button(address, kIdcPingStart, "Ping");
    addressRow->addWidget(start_);
    layout->addWidget(address);

    auto* options = new QGroupBox(QStringLiteral("Options"), this);
    auto* form = new QHBoxLayout(options);
    size_ = Number(options, kIdcPingSize, 32);
    count_ = Number(options, kIdcPingCount, 4);
    ttl_ = Number(options, kIdcPingTtl, 128);
    timeout_ = Number(options, kIdcPingTimeout, 5000);
    for (auto [label, spin] : {std::pair{"Bytes", size_}, std::pair{"Count", count_},
                               std::pair{"TTL", ttl_}, std::pair{"Timeout", timeout_}}) {
        form->addWidget(new QLabel(QString::fromUtf8(label), options));
        form->addWidget(spin);
    }
    layout->addWidget(options);

    auto* resultsBox = new QGroupBox(QStringLiteral("Ping results"), this);
    auto* resultsLayout = new QVBoxLayout(resultsBox);
    results_ = new QListWidget(resultsBox);
    SetControlId(results_, kIdcPingResults);
    QFont font(QStringLiteral("Courier New"));
    font.setPixelSize(14);
    font.setWeight(QFont::Thin);
    results_->setFont(font);
    resultsLayout->addWidget(results_);
    layout->addWidget(resultsBox, 1);

    FillSortedCombo(host_, history_);
    connect(start_, &QPushButton::clicked, this, &CPingDlg::OnPing);
    resize(460, 420);
}

CPingDlg::~CPingDlg() {
    worker_.StopAndWait();
    SaveHistory(QStringLiteral("Ping"), QStringLiteral("LastHosts"), history_, loaded_);
}

QStringList CPingDlg::results() const {
    QStringList lines;
    for (int i = 0; i < results_->count(); ++i)
        lines.append(results_->item(i)->text());
    return lines;
}

void CPingDlg::OnPing() {
    if (running()) return;
    results_->clear();
    PingParams params;
    params.host = host_->currentText();
    params.size = size_->value();
    params.count = count_->value();
    params.ttl = ttl_->value();
    params.timeoutMs = timeout_->value();
    AddToHistory(history_, params.host);
    outcome_ = 0;
    StartRun([this, params](ToolWorker& w) {
        const PingOutcome o = RunPing(params, [&w](const QString& line) { w.PostLine(line); });
        outcome_ = int(o);
    });
}

void CPingDlg::ShowLines(const QStringList& lines) {
    results_->addItems(lines);
    results_->scrollToBottom();
}

void CPingDlg::OnRunFinished() {
    switch (PingOutcome(outcome_.load())) {
    case PingOutcome::InvalidHost:
        ShowMessage(QStringLiteral("Invalid Host or IP Entered"), MessageKind::Warning, this);
        break;
    case PingOutcome::NoHandle:
        ShowMessage(QStringLiteral("Could not create ICMP handle"), MessageKind::Error, this);
        results_->addItem(QStringLiteral("No permission to send ICMP echo requests "
                                         "(see net.ipv4.ping_group_range)."));
        break;
    default:
        break;
    }
}

// ---- Whois ----

const QStringList CWhoisDlg::kDefaultServers{QStringLiteral("whois.iana.org"),
                                             QStringLiteral("whois.ripe.net"),
                                             QStringLiteral("whois.arin.net")};

CWhoisDlg::CWhoisDlg(QWidget* parent) : CNetToolDlg(parent) {
    SetControlId(this, kDlgWhois);
    setWindowTitle(QStringLiteral("Whois"));
    history_ = loaded_ = LoadHistory(QStringLiteral("Whois"), QStringLiteral("LastHosts"));

    auto* layout = new QVBoxLayout(this);
    auto* settings = new QGroupBox(QStringLiteral("Settings"), this);
    auto* form = new QFormLayout(settings);
    query_ = HistoryCombo(settings, kIdcWhoisQuery);
    server_ = HistoryCombo(settings, kIdcWhoisServer);
    form->addRow(QStringLiteral("Find info about this IP/Host:"), query_);
    form->addRow(QStringLiteral("on WHOIS server:"), server_);
    start_ = Button(settings, kIdcWhoisStart, "Whois");
    form->addRow(start_);
    layout->addWidget(settings);
    auto* resultsBox = new QGroupBox(QStringLiteral("Whois results"), this);
    auto* resultsLayout = new QVBoxLayout(resultsBox);
    results_ = Results(resultsBox, kIdcWhoisResults);
    resultsLayout->addWidget(results_);
    layout->addWidget(resultsBox, 1);

    FillSortedCombo(query_, history_);
    QStringList servers = kDefaultServers;
    servers.sort();
    for (const QString& s : servers)
        server_->addItem(s, s);
    server_->setCurrentIndex(0);
    server_->setEditText(kDefaultServers.front());

    connect(start_, &QPushButton::clicked, this, &CWhoisDlg::OnWhois);
    ShowAnswersIn(results_);
    resize(520, 460);
}

CWhoisDlg::~CWhoisDlg() {
    worker_.StopAndWait();
    SaveHistory(QStringLiteral("Whois"), QStringLiteral("LastHosts"), history_, loaded_);
}

QString CWhoisDlg::resultText() const {
    return results_->toPlainText();
}

void CWhoisDlg::OnWhois() {
    if (running()) return;
    results_->clear();
    const QString query = query_->currentText();
    const QString server = server_->currentText();
    AddToHistory(history_, query);
    const QueryTimeouts timeouts = StoredTimeouts();
    const int port = port_;
    StartRun([=](ToolWorker& w) {
        AnswerText text(AnswerText::Whois);
        auto post = [&w](const QString& t) {
            if (!t.isEmpty()) w.PostText(t);
        };
        const QueryResult r = RunWhois(server, port, query, timeouts,
                                       [&](const QByteArray& piece) { post(text.Append(piece)); });
        post(text.Finish());
        // Say why nothing came instead of leaving an empty answer that looks like one.
        if (!r.ok && !w.Stopped() && r.answer.isEmpty()) w.PostText(platform::SocketErrorText(r.error));
    });
}

// ---- Finger ----

CFingerDlg::CFingerDlg(QWidget* parent) : CNetToolDlg(parent) {
    SetControlId(this, kDlgFinger);
    setWindowTitle(QStringLiteral("Finger"));
    hosts_ = loadedHosts_ = LoadHistory(QStringLiteral("Finger"), QStringLiteral("LastHosts"));
    names_ = loadedNames_ = LoadHistory(QStringLiteral("Finger"), QStringLiteral("LastNames"));

    auto* layout = new QVBoxLayout(this);
    auto* fields = new QGroupBox(QStringLiteral("Static"), this);
    auto* form = new QFormLayout(fields);
    server_ = HistoryCombo(fields, kIdcFingerServer);
    user_ = HistoryCombo(fields, kIdcFingerUser);
    verbose_ = new QCheckBox(QStringLiteral(" Verbose"), fields);
    SetControlId(verbose_, kIdcFingerVerbose);
    form->addRow(QStringLiteral("Finger server (IP/hostname):"), server_);
    form->addRow(QStringLiteral("User to finger:"), user_);
    form->addRow(verbose_);
    start_ = Button(fields, kIdcFingerStart, "Finger");
    form->addRow(start_);
    layout->addWidget(fields);
    auto* resultsBox = new QGroupBox(QStringLiteral("Finger results"), this);
    auto* resultsLayout = new QVBoxLayout(resultsBox);
    results_ = Results(resultsBox, kIdcFingerResults);
    resultsLayout->addWidget(results_);
    layout->addWidget(resultsBox, 1);

    FillSortedCombo(server_, hosts_);
    FillSortedCombo(user_, names_);
    user_->setEditText(QString());
    verbose_->setChecked(false);

    connect(start_, &QPushButton::clicked, this, &CFingerDlg::OnFinger);
    ShowAnswersIn(results_);

    resize(520, 460);
}

CFingerDlg::~CFingerDlg() {
    worker_.StopAndWait();
    SaveHistories({{QStringLiteral("Finger"), QStringLiteral("LastHosts"), hosts_, loadedHosts_},
                   {QStringLiteral("Finger"), QStringLiteral("LastNames"), names_, loadedNames_}});
}

QString CFingerDlg::resultText() const {
    return results_->toPlainText();
}

void CFingerDlg::OnRunFinished() {
    // On failure only the error number is shown: it replaces what came.
    if (const int e = error_.exchange(0)) results_->setPlainText(QString::number(e));
}

void CFingerDlg::OnFinger() {
    if (running()) return;
    results_->clear();
    error_ = 0;
    const QString server = server_->currentText();
    const QString user = user_->currentText();
    const bool verbose = verbose_->isChecked();
    AddToHistory(hosts_, server);
    AddToHistory(names_, user);
    QueryTimeouts timeouts = StoredTimeouts();
    const int port = port_;
    StartRun([=, this](ToolWorker& w) {
        AnswerText text(AnswerText::Finger);
        auto post = [&w](const QString& t) {
            if (!t.isEmpty()) w.PostText(t);
        };
        const QueryResult r = RunFinger(server, port, verbose, user, timeouts,
                                        [&](const QByteArray& piece) { post(text.Append(piece)); });
        if (!r.ok) {
            if (!w.Stopped()) error_ = r.error;
            return;
        }
        post(text.Finish());
        if (r.cut) post(FingerCutLine());
    });
}

} // namespace velmar

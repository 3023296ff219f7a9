#include "filemgr/FileCommands.h"

#include "filemgr/PaneController.h"
#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "platform/FindRecord.h"
#include "platform/WindowPost.h"
#include "res/Ids.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace velmar {

using namespace ids;

namespace {

bool OnInterfaceThread() {
    return QThread::currentThread() == qApp->thread();
}

// A question or message handed from a worker to the interface thread.
struct Pending {
    std::mutex mutex;
    std::condition_variable cv;
    bool answered = false;
    bool abandoned = false;
    QMessageBox::StandardButton button = QMessageBox::NoButton;
};

} // namespace

QMessageBox::StandardButton SeamMessages::Show(const QString& text, MessageKind kind) {
    if (OnInterfaceThread()) return ShowMessage(text, kind);
    auto pending = std::make_shared<Pending>();
    platform::CallOnWindowThread([pending, text, kind] {
        {
            std::lock_guard<std::mutex> lock(pending->mutex);
            if (pending->abandoned) return;
        }
        const QMessageBox::StandardButton button = ShowMessage(text, kind);
        std::lock_guard<std::mutex> lock(pending->mutex);
        pending->button = button;
        pending->answered = true;
        pending->cv.notify_all();
    });
    std::unique_lock<std::mutex> lock(pending->mutex);
    while (!pending->answered) {
        if (running_ && running_->load() == 0) {
            pending->abandoned = true;
            return kind == MessageKind::FailureQuestion ? QMessageBox::Abort : QMessageBox::No;
        }
        pending->cv.wait_for(lock, std::chrono::milliseconds(50));
    }
    return pending->button;
}

bool SeamMessages::Ask(const QString& question) {
    static const QString before = kAskOverwrite.section(QStringLiteral("%1"), 0, 0);
    static const QString after = kAskOverwrite.section(QStringLiteral("%1"), 1);
    if (!askOverwrite_ && question.startsWith(before) && question.endsWith(after)) return true;
    return Show(question, MessageKind::Question) == QMessageBox::Yes;
}

void SeamMessages::Tell(const QString& text) {
    Show(text, MessageKind::Error);
}

FailureAnswer SeamMessages::AskOnFailure(const QString& text) {
    switch (Show(text, MessageKind::FailureQuestion)) {
    case QMessageBox::YesToAll:
        return FailureAnswer::SkipAll;
    case QMessageBox::Abort:
        return FailureAnswer::Stop;
    default:
        return FailureAnswer::Skip;
    }
}

// ---- progress dialog ----

CProgressDialog::CProgressDialog(JobProgress& progress, Mode mode, const QString& title,
                                 const QString& counter, QWidget* parent)
    : QDialog(parent), progress_(progress), counterText_(counter) {
    SetControlId(this, kDlgProgress, "progressDialog");
    setWindowTitle(title.isEmpty() ? QStringLiteral("Copy") : title);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("File Name:"), this));
    name_ = new QLabel(this);
    name_->setMinimumHeight(30);
    name_->setTextFormat(Qt::PlainText);
    SetControlId(name_, kIdcProgressName, "progressName");
    layout->addWidget(name_);
    counter_ = new QLabel(QStringLiteral("Files: "), this);
    counter_->setMinimumHeight(30);
    SetControlId(counter_, kIdcProgressCount, "progressCount");
    layout->addWidget(counter_);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setMinimumHeight(30);
    SetControlId(bar_, kIdcProgressBar, "progressBar");
    layout->addWidget(bar_);
    if (mode == kSearch) bar_->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    // Cancel while the worker runs, Close once it has ended.
    close_ = buttons->button(QDialogButtonBox::Cancel);
    close_->setObjectName(QStringLiteral("progressClose"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(260);
    timer_ = new QTimer(this);
    timer_->setInterval(200);
    connect(timer_, &QTimer::timeout, this, &CProgressDialog::Refresh);
}

CProgressDialog::~CProgressDialog() {
    StopWorker();
}

void CProgressDialog::Start(std::function<void()> work) {
    progress_.running.store(1);
    progress_.files.store(0);
    progress_.ended.store(false);
    worker_ = std::thread(std::move(work));
    timer_->start();
}

void CProgressDialog::Refresh() {
    const JobProgress::Snapshot s = progress_.Take();
    close_->setText(s.ended ? QStringLiteral("Close") : QStringLiteral("Cancel"));
    name_->setText(s.name);
    counter_->setText(counterText_.arg(s.files));
    bar_->setValue(ProgressPercent(s.done, s.total));
}

void CProgressDialog::StopWorker() {
    if (!worker_.joinable()) return;
    // A worker waiting for an answer gives up when it sees the flag (SeamMessages); one
    // blocked on a server is woken through its cancel token.
    if (stopHook_) {
        progress_.running.store(0);
        stopHook_();
    }
    progress_.Stop();
    worker_.join();
}

void CProgressDialog::done(int result) {
    if (stopping_) return;
    stopping_ = true;
    timer_->stop();
    StopWorker();
    Refresh();
    stopping_ = false;
    QDialog::done(result);
}

// ---- New Folder ----

CNewFolderDialog::CNewFolderDialog(QWidget* parent) : QDialog(parent) {
    SetControlId(this, kDlgNewFolder, "newFolderDialog");
    setWindowTitle(QStringLiteral("New Folder"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("New folder name:"), this));
    edit_ = new QLineEdit(this);
    SetControlId(edit_, kIdcNewFolderName, "newFolderName");
    layout->addWidget(edit_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

QString CNewFolderDialog::name() const {
    return edit_->text();
}

// ---- commands ----

PaneSide SideForWork(PaneController& pane) {
    PaneSide side;
    if (pane.sourceKind() == kSourceFtp) {
        // Two panes on one server as one user reach the same files: a copy or move between
        // them onto the same path is refused like a local one. Port 0 and an empty user are
        // the defaults spelt out.
        const FtpLogin& login = pane.ftpLogin();
        const QString user = login.user.isEmpty() ? QStringLiteral("anonymous") : login.user;
        const int port = login.port == 0 ? 21 : login.port;
        side = PaneSide::Ftp(pane.connection(), user + QLatin1Char('@') +
                                                    login.host.toLower() + QLatin1Char(':') +
                                                    QString::number(port));
    }
    side.showHidden = pane.showHidden();
    side.showInRom = pane.showInRom();
    return side;
}

namespace {

// A connection found lost is dropped; the pane's next FTP action connects anew.
void DropIfLost(PaneController& pane, const PaneSide& side) {
    if (side.lost()) pane.ConnectionLost();
}

// Runs `work` under the progress dialog until the user closes it.
void RunUnderProgress(JobProgress& progress, const QString& title, QWidget* parent,
                      std::function<void()> work, std::function<void()> stopHook = {}) {
    CProgressDialog dialog(progress, CProgressDialog::kTransfer, title, QStringLiteral("Files: %1"),
                           parent ? parent->window() : nullptr);
    if (stopHook) dialog.SetStopHook(std::move(stopHook));
    dialog.Start(std::move(work));
    RunModal(dialog);
    dialog.StopWorker();
}

void CopyOrMove(PaneController& pane, bool copy, QWidget* parent) {
    std::vector<int> rows;
    const int n = pane.CollectSelection(&rows, nullptr);
    PaneController* other = pane.otherPane();
    // Both act on the marked rows or, with none marked, on the row under the cursor.
    if (n < 1 || !other) {
        QApplication::beep();
        return;
    }
    TransferJob job;
    job.copy = copy;
    job.title = copy ? QStringLiteral("Copy") : QStringLiteral("Move");
    job.sourcePath = pane.currentPath();
    job.targetPath = other->currentPath();
    job.source = SideForWork(pane);
    job.target = SideForWork(*other);
    for (int row : rows) {
        TransferItem item;
        item.name = pane.RowName(row);
        item.folder = pane.IsFolderRow(row);
        const FindRecord* record = pane.RowRecord(row);
        item.hasRecord = record != nullptr;
        item.size = record ? record->size : 0;
        job.items.push_back(item);
    }
    SeamMessages messages(&job.progress.running, AskBeforeReplacing());
    job.messages = &messages;
    RunUnderProgress(job.progress, job.title, parent, [&job] { RunTransfer(job); });
    DropIfLost(pane, job.source);
    DropIfLost(*other, job.target);
    pane.NotifyFilesChanged();
}

void Delete(PaneController& pane, QWidget* parent, bool trash) {
    std::vector<int> rows;
    int files = 0;
    const int n = pane.CollectSelection(&rows, &files);
    if (n == 0) return;
    if (!AskYesNo(kAskDelete.arg(files).arg(n - files))) return;
    DeleteJob job;
    for (int row : rows) {
        TransferItem item;
        item.name = pane.RowName(row);
        item.folder = pane.IsFolderRow(row);
        job.items.push_back(item);
    }
    job.side = SideForWork(pane);
    job.folder = pane.currentPath();
    // Only local deletes go to the trash; a server's are for good.
    job.trash =
        trash && pane.sourceKind() == kSourceLocal && ReadStoreSetting(kDeleteToTrash.name);
    SeamMessages messages(&job.progress.running);
    job.messages = &messages;
    RunUnderProgress(job.progress, QStringLiteral("Delete"), parent, [&job] { RunDelete(job); });
    DropIfLost(pane, job.side);
    pane.NotifyFilesChanged();
}

void NewDir(PaneController& pane, QWidget* parent) {
    CNewFolderDialog dialog(parent ? parent->window() : nullptr);
    if (RunModal(dialog) == QDialog::Accepted && !dialog.name().isEmpty()) {
        PaneSide side = SideForWork(pane);
        const QString path = pane.currentPath() + dialog.name();
        JobProgress progress;
        SeamMessages messages(&progress.running);
        // A server may take its time to answer MKD: the window stays alive meanwhile.
        RunUnderProgress(progress, QStringLiteral("New Dir"), parent,
                         [&] { RunNewFolder(side, path, progress, messages); });
        DropIfLost(pane, side);
    }
    pane.NotifyFilesChanged();
}

} // namespace

bool RunFileCommand(PaneController& pane, int id, QWidget* parent) {
    switch (id) {
    case kCmdCopy:
        CopyOrMove(pane, true, parent);
        return true;
    case kCmdMove:
        CopyOrMove(pane, false, parent);
        return true;
    case kCmdDelete:
    case kCmdDeleteForGood:
        Delete(pane, parent, id == kCmdDelete);
        return true;
    case kCmdNewDir:
        NewDir(pane, parent);
        return true;
    default:
        return false;
    }
}

} // namespace velmar

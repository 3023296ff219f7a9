#include "filemgr/FileCommands.h"

#include "filemgr/PaneList.h"
#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "platform/FindRecord.h"
#include "res/Ids.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
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
    bool yes = false;
};

bool ShowNow(const QString& text, bool question) {
    if (question) return AskYesNo(text);
    ShowMessage(text, MessageKind::Error);
    return true;
}

} // namespace

bool SeamMessages::Show(const QString& text, bool question) {
    if (OnInterfaceThread()) return ShowNow(text, question);
    auto pending = std::make_shared<Pending>();
    QMetaObject::invokeMethod(
        qApp,
        [pending, text, question] {
            {
                std::lock_guard<std::mutex> lock(pending->mutex);
                if (pending->abandoned) return;
            }
            const bool yes = ShowNow(text, question);
            std::lock_guard<std::mutex> lock(pending->mutex);
            pending->yes = yes;
            pending->answered = true;
            pending->cv.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(pending->mutex);
    while (!pending->answered) {
        if (running_ && running_->load() == 0) {
            pending->abandoned = true;
            return false;
        }
        pending->cv.wait_for(lock, std::chrono::milliseconds(50));
    }
    return pending->yes;
}

bool SeamMessages::Ask(const QString& question) {
    return Show(question, true);
}

void SeamMessages::Tell(const QString& text) {
    Show(text, false);
}

// ---- progress dialog ----

CProgressDialog::CProgressDialog(JobProgress& progress, Mode mode, const QString& title,
                                 const QString& counter, QWidget* parent)
    : QDialog(parent), progress_(progress), counterText_(counter) {
    SetControlId(this, kDlgProgress);
    setWindowTitle(title.isEmpty() ? QStringLiteral("Copy") : title);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("File Name:"), this));
    name_ = new QLabel(this);
    name_->setMinimumHeight(30);
    name_->setTextFormat(Qt::PlainText);
    SetControlId(name_, kIdcProgressName);
    layout->addWidget(name_);
    counter_ = new QLabel(QStringLiteral("Files: "), this);
    counter_->setMinimumHeight(30);
    SetControlId(counter_, kIdcProgressCount);
    layout->addWidget(counter_);
    bar_ = new QProgressBar(this);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setMinimumHeight(30);
    SetControlId(bar_, kIdcProgressBar);
    layout->addWidget(bar_);
    if (mode == kSearch) bar_->hide();
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
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
    name_->setText(s.name);
    counter_->setText(counterText_.arg(s.files));
    bar_->setValue(ProgressPercent(s.done, s.total));
}

void CProgressDialog::StopWorker() {
    if (!worker_.joinable()) return;
    // A worker waiting for an answer gives up when it sees the flag (SeamMessages).
    progress_.running.store(0);
    if (stopHook_) stopHook_();
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
    SetControlId(this, kDlgNewFolder);
    setWindowTitle(QStringLiteral("New Folder"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("New folder name:"), this));
    edit_ = new QLineEdit(this);
    SetControlId(edit_, kIdcNewFolderName);
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

PaneSide SideOf(const CPaneList& pane) {
    PaneSide side;
    if (pane.sourceKind() == kSourceFtp) {
        const FtpLogin& login = pane.ftpLogin();
        side = PaneSide::Ftp(pane.ftpConnection(), login.user + QLatin1Char('@') + login.host +
                                                       QLatin1Char(':') +
                                                       QString::number(login.port));
    }
    side.showHidden = pane.showHidden();
    side.showInRom = pane.showInRom();
    return side;
}

namespace {

void Refresh(CPaneList& pane) {
    if (CDocument* doc = pane.document())
        doc->UpdateAllViews(nullptr);
    else
        pane.RefillPane();
}

// The worker uses an FTP pane's connection: no listing thread may use it meanwhile.
void StopPaneListing(CPaneList& pane) {
    if (pane.sourceKind() == kSourceFtp) StopListing(pane.listingJob());
}

// A connection found lost is dropped; the pane's next FTP action connects anew.
void DropIfLost(CPaneList& pane, const PaneSide& side) {
    if (side.lost()) pane.CloseFtpConnection();
}

bool AnyRowSelected(const CPaneList& pane) {
    return pane.selectionModel() && pane.selectionModel()->hasSelection();
}

void CopyOrMove(CPaneList& pane, bool copy) {
    std::vector<int> rows;
    const int n = pane.CollectSelection(&rows, nullptr);
    CPaneList* other = pane.host() ? pane.host()->OtherPane(&pane) : nullptr;
    // Move wants a real selection; the focused row alone is enough only for Copy.
    if ((copy ? n < 1 : !AnyRowSelected(pane)) || !other) {
        QApplication::beep();
        return;
    }
    StopPaneListing(pane);
    StopPaneListing(*other);
    TransferJob job;
    job.copy = copy;
    job.title = copy ? QStringLiteral("Copy") : QStringLiteral("Move");
    job.sourcePath = pane.currentPath();
    job.targetPath = other->currentPath();
    job.source = SideOf(pane);
    job.target = SideOf(*other);
    for (int row : rows) {
        TransferItem item;
        item.name = pane.RowName(row);
        item.folder = pane.IsFolderRow(row);
        const FindRecord* record = pane.RowRecord(row);
        item.hasRecord = record != nullptr;
        item.size = record ? record->size : 0;
        job.items.push_back(item);
    }
    SeamMessages messages(&job.progress.running);
    job.messages = &messages;
    CProgressDialog dialog(job.progress, CProgressDialog::kTransfer, job.title,
                           QStringLiteral("Files: %1"), pane.window());
    dialog.Start([&job] { RunTransfer(job); });
    RunModal(dialog);
    dialog.StopWorker();
    DropIfLost(pane, job.source);
    DropIfLost(*other, job.target);
    Refresh(pane);
}

void Delete(CPaneList& pane) {
    // The fast-folder list is not a folder: its rows are never files on disk.
    if (pane.listMode() == 1) return;
    std::vector<int> rows;
    int files = 0;
    const int n = pane.CollectSelection(&rows, &files);
    if (n == 0) return;
    if (!AskYesNo(kAskDelete.arg(files).arg(n - files))) return;
    StopPaneListing(pane);
    PaneSide side = SideOf(pane);
    SeamMessages messages;
    const QString folder = pane.currentPath();
    for (int row : rows) {
        if (!side.usable()) break;
        const QString path = folder + pane.RowName(row);
        if (pane.IsFolderRow(row))
            RemoveFolder(path, side, messages);
        else
            DeleteEntry(path, side, messages);
    }
    Refresh(pane);
}

void NewDir(CPaneList& pane) {
    CNewFolderDialog dialog(pane.window());
    if (RunModal(dialog) == QDialog::Accepted && !dialog.name().isEmpty()) {
        StopPaneListing(pane);
        PaneSide side = SideOf(pane);
        SeamMessages messages;
        if (side.usable()) CreateFolder(side, pane.currentPath() + dialog.name(), messages);
        DropIfLost(pane, side);
    }
    Refresh(pane);
}

} // namespace

int FileCommandForKey(int key) {
    switch (key) {
    case Qt::Key_F5:
        return kCmdCopy;
    case Qt::Key_F6:
        return kCmdMove;
    case Qt::Key_F7:
        return kCmdNewDir;
    case Qt::Key_F8:
    case Qt::Key_Delete:
        return kCmdDelete;
    default:
        return 0;
    }
}

bool IsFileCommand(int id) {
    return id == kCmdCopy || id == kCmdMove || id == kCmdDelete || id == kCmdNewDir;
}

bool RunFileCommand(CPaneList& pane, int id) {
    switch (id) {
    case kCmdCopy:
        CopyOrMove(pane, true);
        return true;
    case kCmdMove:
        CopyOrMove(pane, false);
        return true;
    case kCmdDelete:
        Delete(pane);
        return true;
    case kCmdNewDir:
        NewDir(pane);
        return true;
    default:
        return false;
    }
}

void UpdateFileCommand(const CPaneList& pane, int id, CommandState& state) {
    if (id == kCmdNewDir) {
        state.enabled = SideOf(pane).usable();
        return;
    }
    bool enabled = pane.CollectSelection(nullptr, nullptr) >= 1 && SideOf(pane).usable();
    if (id == kCmdCopy || id == kCmdMove) {
        CPaneList* other =
            pane.host() ? pane.host()->OtherPane(const_cast<CPaneList*>(&pane)) : nullptr;
        enabled = enabled && other && SideOf(*other).usable();
    }
    state.enabled = enabled;
}

} // namespace velmar

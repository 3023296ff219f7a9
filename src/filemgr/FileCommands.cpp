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

namespace velmar {

using namespace ids;

namespace {

bool OnInterfaceThread() {
    return QThread::currentThread() == qApp->thread();
}

// Runs `f` on the interface thread and waits for it.
template <class F> void OnInterface(F&& f) {
    if (OnInterfaceThread()) {
        f();
        return;
    }
    QMetaObject::invokeMethod(qApp, std::forward<F>(f), Qt::BlockingQueuedConnection);
}

} // namespace

bool SeamMessages::Ask(const QString& question) {
    bool yes = false;
    OnInterface([&] { yes = AskYesNo(question); });
    return yes;
}

void SeamMessages::Tell(const QString& text) {
    OnInterface([&] { ShowMessage(text, MessageKind::Error); });
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
    progress_.running.store(0);
    // The worker may be waiting for an answer shown on this thread: keep events flowing.
    while (!progress_.ended.load()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (!progress_.ended.load()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
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
    side.kind = pane.sourceKind();
    side.showHidden = pane.showHidden();
    side.showInRom = pane.showInRom();
    side.site = pane.ftpHost();
    return side;
}

namespace {

void Refresh(CPaneList& pane) {
    if (CDocument* doc = pane.document())
        doc->UpdateAllViews(nullptr);
    else
        pane.RefillPane();
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
    SeamMessages messages;
    job.messages = &messages;
    CProgressDialog dialog(job.progress, CProgressDialog::kTransfer, job.title,
                           QStringLiteral("Files: %1"), pane.window());
    dialog.Start([&job] { RunTransfer(job); });
    RunModal(dialog);
    dialog.StopWorker();
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
        PaneSide side = SideOf(pane);
        SeamMessages messages;
        if (side.usable()) CreateFolder(side, pane.currentPath() + dialog.name(), messages);
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

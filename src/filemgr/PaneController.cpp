#include "filemgr/PaneController.h"

#include "filemgr/FastFolderFile.h"
#include "filemgr/PaneCommandIds.h"
#include "filemgr/PaneModel.h"
#include "filemgr/PaneSort.h"
#include "platform/Cancel.h"
#include "platform/FileOps.h"
#include "sources/InetFtpDirSource.h"
#include "sources/Side.h"

#include <QCoreApplication>
#include <QDir>
#include <QItemSelectionModel>
#include <algorithm>

namespace velmar {

using namespace panecmd;

namespace {

// The listing thread made the pane's connection.
QEvent::Type ConnectedEventType() {
    static const auto type = QEvent::Type(QEvent::registerEventType());
    return type;
}

} // namespace

PaneController::PaneController(QObject* parent) : QObject(parent), sortColumn_(kUnsorted) {
    model_ = new CPaneModel(this);
    selection_ = new QItemSelectionModel(model_, this);
    listingJob_.pane = this;
}

PaneController::~PaneController() {
    // The listing thread posts to this object and reads the job: it must end first.
    StopListing(listingJob_);
}

void PaneController::SetFilters(bool showHidden, bool showInRom) {
    showHidden_ = showHidden;
    showInRom_ = showInRom;
}

QString PaneController::PathText() const {
    const QString name = RowName(FocusedRow());
    if (sourceKind_ == kSourceFtp) {
        // The port too: two servers on one host are told apart. An IPv6 literal in brackets.
        const QString host = ftpHost_.contains(QLatin1Char(':')) ? '[' + ftpHost_ + ']' : ftpHost_;
        const int port = ftpLogin_.port > 0 ? ftpLogin_.port : DefaultPort(ftpLogin_.protocol);
        return ProtocolScheme(ftpLogin_.protocol) + host + QLatin1Char(':') +
               QString::number(port) + currentPath_ + name;
    }
    return currentPath_ + name;
}

// ---- Listing ----

void PaneController::DropListing() {
    if (StopAndForgetListing()) emit listingFinished();
}

bool PaneController::StopAndForgetListing() {
    StopListing(listingJob_);
    // Batches of a listing that was stopped may still wait in the queue, and so may its
    // report of a lost connection, which must not throw what comes next back to the root.
    QCoreApplication::removePostedEvents(this, EntryEventType());
    QCoreApplication::removePostedEvents(this, ListingFailedEventType());
    QCoreApplication::removePostedEvents(this, ListingDoneEventType());
    QCoreApplication::removePostedEvents(this, ConnectedEventType());
    // A connect the stop cut short made nothing; one that ended before it did.
    if (ftpState_ == FtpState::Connecting) ftpState_ = ftp_ ? FtpState::Connected : FtpState::None;
    return std::exchange(listing_, false);
}

void PaneController::RefillPane() {
    // A refill of the fast-folder list shows the list again, never the root it stands in
    // (the commands disabled there would otherwise look broken on real folders).
    if (listMode_ == ListMode::FastFolders) {
        if (ShowFastFolders()) return;
        listMode_ = ListMode::Folder;
    }
    // The listing that follows ends what this one began (one listingFinished for both).
    StopAndForgetListing();
    QString focus = std::exchange(focusAfterRefill_, QString());
    bool select = std::exchange(selectFocused_, false);
    if (focus.isEmpty() && lastListedPath_ == currentPath_) {
        focus = RowName(FocusedRow());
        select = false;
    }

    PaneRows rows;
    // An FTP pane always has its way up; a local one everywhere but at the root.
    if (sourceKind_ == kSourceFtp || currentPath_ != PathSeparator())
        rows.push_back(PaneRow::Parent());
    model_->ResetRows(std::move(rows));
    RelabelHeader();
    lastListedPath_ = currentPath_;
    focusAfterRefill_ = focus;
    selectFocused_ = select;
    if (!focus.isEmpty()) PlaceCursorOn(focus);

    listingJob_.sourceKind = sourceKind_;
    listingJob_.filter = nullptr;
    // Server listings are shown as they come; a local one hides what the settings hide.
    if (sourceKind_ == kSourceLocal && !(showHidden_ && showInRom_)) {
        const int hidden = showHidden_, rom = showInRom_;
        listingJob_.filter = [hidden, rom](const FindRecord& r) {
            return PassesPaneFilters(r, hidden, rom);
        };
    }
    listingJob_.arrange = nullptr;
    if (sortColumn_ != kSortByName && sortColumn_ != kSortBySize && sourceKind_ == kSourceLocal) {
        // Unsorted, a local folder still comes in name order, folders first: the file
        // system's own order is a hash order no one can read.
        listingJob_.arrange = [](PaneRows& all) {
            std::stable_sort(all.begin(), all.end(), [](const PaneRow& a, const PaneRow& b) {
                if (a.kind != b.kind) return a.kind == RowKind::Folder;
                return a.find.name < b.find.name;
            });
        };
    } else if (sortColumn_ == kSortByName || sortColumn_ == kSortBySize) {
        const CPaneModel::Compare compare =
            sortColumn_ == kSortByName ? CompareByName : CompareBySize;
        const int mode = SortMode;
        listingJob_.arrange = [compare, mode](PaneRows& all) {
            std::stable_sort(all.begin(), all.end(), [&](const PaneRow& a, const PaneRow& b) {
                return compare(&a.find, &b.find, mode) < 0;
            });
        };
    }
    if (sourceKind_ == kSourceFtp && !ftp_) ftpState_ = FtpState::Connecting;
    listing_ = true;
    emit listingStarted();
    StartListing(listingJob_, currentPath_ + mask_);
}

void PaneController::PlaceCursorOn(const QString& name) {
    const int row = FindRow(name);
    if (row < 0) return;
    focusAfterRefill_.clear();
    if (std::exchange(selectFocused_, false))
        MoveCursorTo(row);
    else
        selection_->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
}

void PaneController::TakeBatch(EntryPostedEvent& e) {
    listingJob_.TookBatch();
    const int count = int(e.rows.size());
    const int first = model_->InsertEntries(e.rows, e.first);
    if (focusAfterRefill_.isEmpty()) return;
    // The row the cursor waits for may be in this batch (a batch of folders goes in ahead of
    // the files already shown).
    for (int i = first, n = std::min(first + count, model_->size()); i < n; ++i)
        if (model_->row(i).name() == focusAfterRefill_) {
            PlaceCursorOn(focusAfterRefill_);
            return;
        }
}

void PaneController::FinishListing() {
    listing_ = false;
    focusAfterRefill_.clear();
    selectFocused_ = false;
    emit listingFinished();
}

bool PaneController::event(QEvent* e) {
    const QEvent::Type type = ReceivedType(e);
    if (type == EntryEventType()) {
        TakeBatch(*static_cast<EntryPostedEvent*>(e));
        return true;
    }
    if (type == ListingDoneEventType()) {
        if (sourceKind_ == kSourceFtp) lastGoodFtpPath_ = currentPath_;
        FinishListing();
        return true;
    }
    if (type == ConnectedEventType()) {
        ftpState_ = FtpState::Connected;
        return true;
    }
    if (type == ListingFailedEventType()) {
        const auto* failed = static_cast<ListingFailedEvent*>(e);
        const QString text = failed->serverText;
        const bool closed = failed->closedAfterwards;
        // A folder the server refused: the connection stays and the pane goes back to the
        // folder it showed last. Only a lost connection (or none made) ends at the local root.
        const bool keep = !closed && sourceKind_ == kSourceFtp &&
                          ftpState_ == FtpState::Connected && !lastGoodFtpPath_.isEmpty();
        if (!keep) {
            ReturnToLocalRoot();
        } else if (currentPath_ != lastGoodFtpPath_) {
            currentPath_ = lastGoodFtpPath_;
            RefillPane();
        } else if (model_->size() > 1) {
            // The rows that came before the listing broke off are no view of the folder.
            model_->ResetToParent();
        }
        emit listingFailed(text, closed);
        return true;
    }
    return QObject::event(e);
}

void PaneController::ReturnToLocalRoot() {
    LeaveServer();
    lastGoodFtpPath_.clear();
    sourceKind_ = kSourceLocal;
    ftpHost_.clear();
    currentPath_ = PathSeparator();
    mask_ = QStringLiteral("*.*");
    listMode_ = ListMode::Folder;
    RefillPane();
}

// ---- Sorting ----

void PaneController::SortByColumn(int column) {
    SortMode = NextSortMode(column, sortColumn_, SortMode);
    sortColumn_ = column;
    SortRowsNow();
    RelabelHeader();
}

void PaneController::SortRowsNow() {
    if (sortColumn_ == kSortByName)
        model_->SortRows(CompareByName, SortMode);
    else if (sortColumn_ == kSortBySize) {
        model_->CompleteRecords(currentPath_);
        model_->SortRows(CompareBySize, SortMode);
    }
}

void PaneController::RelabelHeader() {
    model_->SetHeaderTexts(NameHeaderText(sortColumn_, SortMode),
                           SizeHeaderText(sortColumn_, SortMode));
    emit headerChanged();
}

// ---- Rows ----

int PaneController::RowCount() const {
    return model_->size();
}

bool PaneController::IsParentRow(int row) const {
    // Fast-folder entries have no record either, but they are rows of their own.
    return row >= 0 && row < model_->size() && model_->row(row).kind == RowKind::Parent;
}

bool PaneController::IsFolderRow(int row) const {
    if (row < 0 || row >= model_->size()) return false;
    const PaneRow& r = model_->row(row);
    return !r.hasRecord || r.find.isFolder();
}

QString PaneController::RowName(int row) const {
    if (row < 0 || row >= model_->size()) return {};
    return model_->row(row).name();
}

const FindRecord* PaneController::RowRecord(int row) const {
    if (row < 0 || row >= model_->size()) return nullptr;
    return model_->Record(row, currentPath_);
}

int PaneController::FocusedRow() const {
    const QModelIndex current = selection_->currentIndex();
    return current.isValid() ? current.row() : -1;
}

int PaneController::FindRow(const QString& name) const {
    for (int i = 0, n = model_->size(); i < n; ++i)
        if (model_->row(i).name() == name) return i;
    return -1;
}

void PaneController::SelectAndFocus(int row) {
    if (row < 0 || row >= model_->size()) return;
    selection_->setCurrentIndex(model_->index(row, 0),
                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void PaneController::MoveCursorTo(int row) {
    if (!marksApart_) {
        SelectAndFocus(row);
        return;
    }
    if (row < 0 || row >= model_->size()) return;
    selection_->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
}

bool PaneController::AnyRowSelected() const {
    return selection_->hasSelection();
}

int PaneController::CollectSelection(std::vector<int>* indices, int* files) const {
    if (files) *files = 0;
    const int count = model_->size();
    // Flags rather than the ranges themselves: ranges may overlap and come in any order.
    std::vector<char> selected;
    bool any = false;
    for (const QItemSelectionRange& range : selection_->selection()) {
        if (!range.isValid()) continue;
        if (selected.empty()) selected.assign(size_t(count), 0);
        for (int r = std::max(range.top(), 0); r <= range.bottom() && r < count; ++r) {
            selected[size_t(r)] = 1;
            any = true;
        }
    }
    auto take = [&](int row) {
        if (!IsFolderRow(row) && files) ++*files;
        if (indices) indices->push_back(row);
    };
    if (any) {
        int n = 0;
        for (int row = 0; row < count; ++row) {
            if (!selected[size_t(row)] || IsParentRow(row)) continue;
            take(row);
            ++n;
        }
        return n;
    }
    const int focused = FocusedRow();
    if (focused < 0 || IsParentRow(focused)) return 0;
    take(focused);
    return 1;
}

void PaneController::InvertSelection() {
    const int count = model_->size();
    if (count == 0) return;
    std::vector<char> selected(size_t(count), 0);
    for (const QItemSelectionRange& range : selection_->selection())
        for (int r = std::max(range.top(), 0); r <= range.bottom() && r < count; ++r)
            selected[size_t(r)] = 1;
    // Runs of rows, so that a long list inverts in a few ranges.
    QItemSelection inverted;
    for (int r = 0; r < count;) {
        if (selected[size_t(r)]) {
            ++r;
            continue;
        }
        const int top = r;
        while (r < count && !selected[size_t(r)])
            ++r;
        inverted.select(model_->index(top, 0), model_->index(r - 1, 1));
    }
    selection_->select(inverted, QItemSelectionModel::ClearAndSelect);
}

// ---- Navigation and launching ----

void PaneController::OpenRow(int row) {
    if (row < 0 || row >= model_->size()) return;
    if (!IsFolderRow(row)) {
        // Starting a program or a viewer is the desktop's business: the window layer does it.
        if (sourceKind_ != kSourceLocal || !ui_) return;
        ui_->LaunchFile(currentPath_ + RowName(row), currentPath_.chopped(1));
        return;
    }
    const QString sep = PathSeparator();
    const QString old = currentPath_;
    const QString name = RowName(row);
    QString path;
    QString select;
    if (IsParentRow(row)) {
        path = old.left(std::max<qsizetype>(old.lastIndexOf(sep), 0));
        const qsizetype last = path.lastIndexOf(sep);
        select = path.mid(last + 1);
        path = path.left(last + 1);
    } else {
        // A fast-folder row is the folder's full path.
        path = listMode_ == ListMode::FastFolders ? FastFolderEntryOfRow(name) : old + name + sep;
        select = QStringLiteral("..");
    }
    if (path.isEmpty()) path = sep;
    DropListing();
    currentPath_ = path;
    mask_ = QStringLiteral("*.*");
    listMode_ = ListMode::Folder;
    FocusAfterRefill(select);
    RefillPane();
}

void PaneController::GoToFolder(const QString& folder) {
    DropListing();
    if (sourceKind_ == kSourceFtp) LeaveServer();
    sourceKind_ = kSourceLocal;
    ftpHost_.clear();
    currentPath_ = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    mask_ = QStringLiteral("*.*");
    listMode_ = ListMode::Folder;
    RefillPane();
    MoveCursorTo(0);
}

bool PaneController::ShowFastFolders() {
    if (sourceKind_ != kSourceLocal) return false;
    const QStringList entries = FastFolderEntries(ReadFastFolderText(FastFolderFilePath()));
    if (entries.isEmpty()) return false;
    // Shown again, the list keeps its cursor on the same entry where it can.
    const QString focused =
        listMode_ == ListMode::FastFolders ? RowName(FocusedRow()) : QString();
    DropListing();
    listMode_ = ListMode::FastFolders;
    currentPath_ = PathSeparator();
    PaneRows rows;
    rows.push_back(PaneRow::Parent());
    for (const QString& e : entries)
        rows.push_back(PaneRow::FolderLabel(FastFolderRowText(e)));
    model_->ResetRows(std::move(rows));
    lastListedPath_.clear();
    const int again = focused.isEmpty() ? -1 : FindRow(focused);
    MoveCursorTo(again >= 1 ? again : std::min(1, model_->size() - 1));
    return true;
}

// ---- Rename ----

bool PaneController::CanRename(int row) const {
    return listMode_ == ListMode::Folder && SideUsable() && RowRecord(row) != nullptr;
}

bool PaneController::IsOneName(const QString& text) const {
    if (text.contains(QLatin1Char('/')) || text == QLatin1String(".") ||
        text == QLatin1String(".."))
        return false;
    if (sourceKind_ != kSourceFtp) return true;
    return std::none_of(text.begin(), text.end(), [](QChar c) {
        return c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7f;
    });
}

bool PaneController::RunBeside(const std::function<void()>& work) {
    platform::CancelToken cancel;
    if (beside_) {
        beside_(work, cancel);
    } else {
        const platform::ScopedCancel scope(&cancel);
        work();
    }
    return !cancel.IsCancelled();
}

PaneController::RenameResult PaneController::Rename(int row, const QString& text) {
    renameError_.clear();
    const FindRecord* record = RowRecord(row);
    if (text.isEmpty() || !record || text == record->name) return RenameResult::Unchanged;
    if (!IsOneName(text)) return RenameResult::Refused;
    // A search hit is named by its path below the folder ("sub/a.txt"): it keeps its folder.
    const QString folder = currentPath_ + record->name.left(record->name.lastIndexOf('/') + 1);
    const QString from = currentPath_ + record->name;
    const QString to = folder + text;
    const QString rowName = to.mid(currentPath_.size());
    if (sourceKind_ == kSourceLocal) {
        if (platform::RenamePath(from, to, false) != 0) return RenameResult::Failed;
    } else {
        // A server may replace a folder or a file it cannot name by SIZE: a listed name is
        // taken, whatever its kind.
        if (FindRow(rowName) >= 0) return RenameResult::Failed;
        bool stopped = false;
        FtpConnection* connection = ConnectionForWork(&renameError_, &stopped);
        if (!connection) return stopped ? RenameResult::Unchanged : RenameResult::Failed;
        const std::shared_ptr<Side> side = MakeFtpSide(connection, QString());
        SideResult result = SideResult::Failed;
        const bool finished = RunBeside([&] { result = side->MoveWithin(from, to, false, {}); });
        if (side->Lost() || !finished) ConnectionLost(); // a reply cut short leaves it out of step
        if (result != SideResult::Ok) {
            renameError_ = side->ErrorText();
            return RenameResult::Failed;
        }
    }
    model_->RenameRow(row, rowName);
    FocusAfterRefill(rowName);
    emit filesChanged();
    return RenameResult::Renamed;
}

bool PaneController::CanViewInHex(bool readOnly) const {
    const FindRecord* record = RowRecord(FocusedRow());
    if (sourceKind_ != kSourceLocal || !record || record->isFolder()) return false;
    return readOnly || !(record->attributes & (attr::ReadOnly | attr::InRom));
}

// ---- FTP ----

bool PaneController::ConnectOnListingThread(QString& failure) {
    // Runs on the listing thread; the window's thread does not touch ftp_ until it ends.
    if (ftp_) return true;
    FtpStatusInfo status;
    ftp_ = ConnectFtp(ownClient_, ftpLogin_, ftpOptions_, status);
    if (!ftp_) {
        failure = status.text;
        return false;
    }
    PostToWindow(this, new QEvent(ConnectedEventType()));
    return true;
}

void PaneController::ConnectTo(const FtpLogin& login, bool ownClient, const FtpOptions& options) {
    RegisterInetFtpDirSource();
    CloseFtpConnection();
    ownClient_ = ownClient;
    ftpLogin_ = login;
    ftpOptions_ = options;
    listingJob_.connect = [this](QString& failure) { return ConnectOnListingThread(failure); };
    listingJob_.attach = [this](DirSource& source) {
        if (auto* ftp = dynamic_cast<InetFtpDirSource*>(&source))
            ftp->SetConnection(ftp_.get(), &listingJob_.stop);
    };
    sourceKind_ = kSourceFtp;
    lastGoodFtpPath_.clear();
    ftpHost_ = login.host;
    currentPath_ = PathSeparator();
    mask_ = QStringLiteral("*.*");
    listMode_ = ListMode::Folder;
    RefillPane();
}

void PaneController::CloseFtpConnection() {
    // The listing thread may be inside the connection: it ends first.
    DropListing();
    ftp_.reset();
    ftpState_ = FtpState::None;
}

void PaneController::LeaveServer() {
    DropListing();
    ftpState_ = FtpState::None;
    std::unique_ptr<FtpConnection> leaving = std::move(ftp_);
    if (!leaving) return;
    // The log-out waits for the server's answer to QUIT: beside the window, where Esc or a
    // Close cuts a silent server short.
    RunBeside([&] { leaving.reset(); });
}

FtpConnection* PaneController::connection() {
    DropListing();
    return ftp_.get();
}

FtpConnection* PaneController::ConnectionForWork(QString* failure, bool* stopped) {
    DropListing();
    if (failure) failure->clear();
    if (stopped) *stopped = false;
    if (ftp_ && ftp_->IsLost()) CloseFtpConnection();
    if (!ftp_ && sourceKind_ == kSourceFtp) {
        // Made on a thread of its own and waited for beside the window: a silent server
        // holds up neither the window nor a Close or Esc, which end its waits.
        FtpConnectResult made;
        const bool own = ownClient_;
        const FtpLogin login = ftpLogin_;
        const FtpOptions options = ftpOptions_;
        const bool finished = RunBeside([&] {
            made = ConnectFtpBeside(own, login, options, platform::CurrentCancelToken()).get();
        });
        ftp_ = std::move(made.connection);
        if (!finished && !ftp_) {
            if (stopped) *stopped = true;
        } else if (failure && !ftp_) {
            *failure = made.status.text;
        }
        ftpState_ = ftp_ ? FtpState::Connected : FtpState::None;
    }
    return ftp_.get();
}

void PaneController::ConnectionLost() {
    CloseFtpConnection();
}

bool PaneController::SideUsable() const {
    return sourceKind_ == kSourceLocal || ftpState_ == FtpState::Connected;
}

// ---- Commands ----

bool PaneController::OnCommand(int id) {
    // Keys, menus and callers alike: a command this pane shows disabled does nothing.
    if (CommandState state; OnUpdateCommand(id, state) && !state.enabled) return true;
    switch (id) {
    case kCmdInvertSelection:
        InvertSelection();
        return true;
    case kCmdRefresh:
        RefillPane();
        return true;
    case kCmdFastFolders:
        ShowFastFolders();
        return true;
    case kCmdShortcuts:
        if (sourceKind_ != kSourceLocal) return true;
        QDir().mkpath(ShortcutFolder());
        DropListing();
        currentPath_ = ShortcutFolder();
        mask_ = QStringLiteral("*.*");
        listMode_ = ListMode::Folder;
        emit filesChanged();
        return true;
    case kCmdFtp:
        if (sourceKind_ == kSourceFtp) {
            ReturnToLocalRoot();
            return true;
        }
        break;
    default:
        break;
    }
    return ui_ && ui_->RunUiCommand(id);
}

bool PaneController::OnUpdateCommand(int id, CommandState& state) {
    const int focused = FocusedRow();
    // The fast-folder list holds names of folders, not files: only opening, refreshing and
    // removing entries mean something there, and nothing may land in the root it stands in.
    const bool fastList = listMode_ == ListMode::FastFolders;
    const bool otherFastList = other_ && other_->listMode() == ListMode::FastFolders;
    switch (id) {
    case kCmdNewDir:
    case kCmdCopy:
    case kCmdMove:
    case kCmdRename:
    case kCmdProperties:
    case kCmdViewHex:
    case kCmdEditHex:
    case kCmdCreateShortcut:
    case kCmdDirSizes:
    case kCmdSearchFiles:
        if (fastList || (otherFastList && (id == kCmdCopy || id == kCmdMove))) {
            state.enabled = false;
            return true;
        }
        break;
    default:
        break;
    }
    switch (id) {
    case kCmdInvertSelection:
    case kCmdTaskManager:
    case kCmdRefresh:
    case kCmdOtherPane:
        state.enabled = true;
        return true;
    case kCmdViewHex:
    case kCmdEditHex:
        state.enabled = CanViewInHex(id == kCmdViewHex);
        return true;
    case kCmdFastFolders:
    case kCmdShortcuts:
    case kCmdDirSizes:
        state.enabled = sourceKind_ == kSourceLocal;
        return true;
    case kCmdSearchFiles:
        // An FTP pane searches through its own connection (made anew when it was dropped).
        state.enabled = true;
        return true;
    case kCmdCreateShortcut:
        state.enabled = sourceKind_ == kSourceLocal && RowRecord(focused) != nullptr;
        return true;
    case kCmdRename:
        state.enabled = CanRename(focused);
        return true;
    case kCmdProperties:
        state.enabled = RowRecord(focused) != nullptr;
        return true;
    case kCmdFtp:
        state.enabled = true;
        state.checkable = true;
        state.checked = sourceKind_ == kSourceFtp;
        return true;
    case kCmdNewDir:
        state.enabled = SideUsable();
        return true;
    case kCmdDelete:
    case kCmdDeleteForGood:
        // The fast-folder list: a row other than the parent row.
        if (listMode_ == ListMode::FastFolders) {
            std::vector<int> rows;
            CollectSelection(&rows, nullptr);
            state.enabled = !rows.empty();
        } else {
            state.enabled = SideUsable() && CollectSelection(nullptr, nullptr) >= 1;
        }
        return true;
    case kCmdCopy:
    case kCmdMove:
        // A target still connecting takes nothing: the command waits until it is connected.
        state.enabled = SideUsable() && CollectSelection(nullptr, nullptr) >= 1 && other_ &&
                        other_->SideUsable();
        return true;
    default:
        return false;
    }
}

} // namespace velmar

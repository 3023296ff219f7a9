#include "filemgr/PaneList.h"

#include "settings/SettingsStore.h"
#include "filemgr/FastFolders.h"
#include "filemgr/FileCommands.h"
#include "filemgr/Launch.h"
#include "filemgr/PaneDelegate.h"
#include "filemgr/PaneModel.h"
#include "filemgr/PaneSort.h"
#include "filemgr/Properties.h"
#include "filemgr/SearchFiles.h"
#include "filemgr/VelmarDoc.h"
#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "hexview/HexViewDialog.h"
#include "platform/Shell.h"
#include "res/Ids.h"
#include "sources/DirSource.h"
#include "sources/InetFtpDirSource.h"
#include "systools/SysToolDialogs.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <algorithm>

namespace velmar {

namespace {

constexpr int kMinNameWidth = 40;

// The size column is as wide as the widest size text.
int SizeColumnWidth(const QFontMetrics& fm) {
    return fm.horizontalAdvance(QStringLiteral(" 999.9 M "));
}

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace

CPaneList::CPaneList(CVelmarDoc* doc, PaneHost* host, QWidget* parent)
    : QTableView(parent), host_(host) {
    listingJob_.pane = this;
    model_ = new CPaneModel(this);
    delegate_ = new CLikeNcDelegate(this);
    header_ = new CPaneHeader(this);
    setHorizontalHeader(header_);
    setModel(model_);
    setItemDelegate(delegate_);

    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setTabKeyNavigation(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    // Compact rows of one height: the list stays fast at any length.
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setMinimumSectionSize(1);
    rows->setDefaultSectionSize(fontMetrics().height() + 2);

    QHeaderView* header = horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    header->setMinimumSectionSize(kMinNameWidth);
    connect(header, &QHeaderView::sectionClicked, this, &CPaneList::SortByColumn);

    if (doc) doc->AddView(this);
}

CPaneList::~CPaneList() {
    // The listing thread posts to this object and reads the job: it must end first.
    StopListing(listingJob_);
}

// ---- Settings, style and columns ----

void CPaneList::OnUpdate(CView*) {
    ApplyPaneStyle(ReadStoreSetting("LikeNC"), ReadStoreSetting("Horizontal Panes"));
    showHidden_ = ReadStoreSetting("ShowHidden");
    showInRom_ = ReadStoreSetting("ShowInRom");
    RefillPane();
}

void CPaneList::ApplyPaneStyle(int likeNC, int horizontal) {
    if (style_ == likeNC && likeNC == 0) return;
    style_ = likeNC;
    const bool on = likeNC != 0;
    delegate_->setLikeNc(on);
    if (on) {
        QPalette p = palette();
        p.setColor(QPalette::Base, likenc::kBackground);
        p.setColor(QPalette::Window, likenc::kBackground);
        p.setColor(QPalette::Text, likenc::kText);
        setPalette(p);
    } else {
        setPalette(QPalette());
    }
    header_->setLikeNc(on);
    FitColumns(true);
    viewport()->update();
    if (host_)
        host_->SetMenuBar(!on               ? ids::kMenuFileManager
                          : horizontal != 0 ? ids::kMenuLikeNcSideBySide
                                            : ids::kMenuLikeNcStacked);
}

void CPaneList::FitColumns(bool applyStyle) {
    const int w = SizeColumnWidth(fontMetrics());
    const int client = viewport()->width();
    if (applyStyle) {
        setColumnWidth(1, w);
        setColumnWidth(0, std::max(client - w, kMinNameWidth));
        return;
    }
    const int w0 = columnWidth(0);
    const int w1 = columnWidth(1);
    // Follow the window both ways: a name column wider than the pane would leave a
    // horizontal scroll bar behind after every shrink of the window.
    if (w0 + w1 < client - 1 || w0 + w1 > client)
        setColumnWidth(0, std::max(client - w1 - 1, kMinNameWidth));
}

bool CPaneList::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::Resize) FitColumns(false);
    return QTableView::viewportEvent(e);
}

// ---- Listing ----

void CPaneList::DropListing() {
    StopListing(listingJob_);
    // Entries of a listing that was stopped may still wait in the queue, and so may its
    // report of a lost connection, which must not throw what comes next back to the root.
    QCoreApplication::removePostedEvents(this, kEntryEventType);
    QCoreApplication::removePostedEvents(this, kConnectionClosedEventType);
}

void CPaneList::RefillPane() {
    DropListing();

    const QString sep = PathSeparator();
    if (sourceKind_ == kSourceFtp) {
        model_->ResetRows({});
        model_->InsertRow(0, PaneRow::Parent());
        listingJob_.pane = this;
        listingJob_.sourceKind = sourceKind_;
        StartListing(listingJob_, currentPath_ + mask_);
        lastListedPath_ = currentPath_;
        RelabelHeader();
        return;
    }

    WaitCursor wait;
    const QString keepFocus = lastListedPath_ == currentPath_ ? RowName(FocusedRow()) : QString();
    std::vector<PaneRow> rows;
    if (currentPath_ != sep) rows.push_back(PaneRow::Parent());

    if (std::unique_ptr<DirSource> source = CreateDirSource(sourceKind_)) {
        source->owner = this;
        ListEntries(*source, sourceKind_, currentPath_ + mask_,
                    [&](FindRecord& record, EntryKind kind) {
                        if (PassesPaneFilters(record, showHidden_, showInRom_))
                            rows.push_back(PaneRow::FromRecord(std::move(record), kind));
                        return true;
                    });
    }

    if (sortColumn_ == kSortByName)
        SortPaneRows(rows, CompareByName, SortMode);
    else if (sortColumn_ == kSortBySize)
        SortPaneRows(rows, CompareBySize, SortMode);
    model_->ResetRows(std::move(rows));
    RelabelHeader();
    lastListedPath_ = currentPath_;
    if (!keepFocus.isEmpty()) {
        const int row = FindRow(keepFocus);
        if (row >= 0)
            selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::NoUpdate);
    }
}

bool CPaneList::event(QEvent* e) {
    const QEvent::Type type = ReceivedType(e);
    if (type == kEntryEventType) {
        auto* posted = static_cast<EntryPostedEvent*>(e);
        if (posted->wordParam == ids::kEntryWordParam) TakeEntries(*posted);
        return true;
    }
    if (type == FtpMessageEvent::Type()) {
        auto* message = static_cast<FtpMessageEvent*>(e);
        ShowMessage(message->text, message->flags == 16 ? MessageKind::Error : MessageKind::Info,
                    this);
        return true;
    }
    if (type == kConnectionClosedEventType) {
        ReturnToLocalRoot();
        return true;
    }
    if (e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            // Tab moves to the other pane, as in every twin-pane manager.
            if (host_)
                if (CPaneList* other = host_->OtherPane(this); other && other != this)
                    other->setFocus(Qt::TabFocusReason);
            return true;
        }
    }
    return QTableView::event(e);
}

void CPaneList::TakeEntries(EntryPostedEvent& e) {
    model_->InsertEntries(e.entries, e.more);
}

void CPaneList::ReturnToLocalRoot() {
    CloseFtpConnection();
    sourceKind_ = kSourceLocal;
    ftpHost_.clear();
    currentPath_ = PathSeparator();
    mask_ = QStringLiteral("*.*");
    listMode_ = 0;
    RefillPane();
}

// ---- Sorting ----

void CPaneList::SortByColumn(int column) {
    SortMode = NextSortMode(column, sortColumn_, SortMode);
    sortColumn_ = column;
    SortRowsNow();
    RelabelHeader();
}

void CPaneList::SortRowsNow() {
    if (sortColumn_ == kSortByName)
        model_->SortRows(CompareByName, SortMode);
    else if (sortColumn_ == kSortBySize)
        model_->SortRows(CompareBySize, SortMode);
}

void CPaneList::RelabelHeader() {
    model_->SetHeaderTexts(NameHeaderText(sortColumn_, SortMode),
                           SizeHeaderText(sortColumn_, SortMode));
}

// ---- Rows ----

int CPaneList::RowCount() const {
    return model_->size();
}

bool CPaneList::IsParentRow(int row) const {
    // Fast-folder entries have no record either, but they are rows of their own.
    return row >= 0 && row < model_->size() && model_->row(row).kind == RowKind::Parent;
}

bool CPaneList::IsFolderRow(int row) const {
    if (row < 0 || row >= model_->size()) return false;
    const PaneRow& r = model_->row(row);
    return !r.hasRecord || r.find.isFolder();
}

QString CPaneList::RowName(int row) const {
    if (row < 0 || row >= model_->size()) return {};
    return model_->row(row).name();
}

const FindRecord* CPaneList::RowRecord(int row) const {
    if (row < 0 || row >= model_->size()) return nullptr;
    return model_->row(row).record();
}

int CPaneList::FocusedRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

int CPaneList::FindRow(const QString& name) const {
    for (int i = 0, n = model_->size(); i < n; ++i)
        if (model_->row(i).name() == name) return i;
    return -1;
}

void CPaneList::SelectAndFocus(int row) {
    if (row < 0 || row >= model_->size()) return;
    const QModelIndex at = model_->index(row, 0);
    selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
    scrollTo(at);
}

int CPaneList::CollectSelection(std::vector<int>* indices, int* files) const {
    if (files) *files = 0;
    const int count = model_->size();
    const QItemSelection selection = selectionModel()->selection();
    // Flags rather than the ranges themselves: ranges may overlap and come in any order.
    std::vector<char> selected;
    bool any = false;
    for (const QItemSelectionRange& range : selection) {
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
            if (!selected[size_t(row)]) continue;
            if (IsFolderRow(row) && IsParentRow(row)) continue;
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

void CPaneList::InvertSelection() {
    const int count = model_->size();
    if (count == 0) return;
    std::vector<char> selected(size_t(count), 0);
    for (const QItemSelectionRange& range : selectionModel()->selection())
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
    selectionModel()->select(inverted, QItemSelectionModel::ClearAndSelect);
}

// ---- Navigation and launching ----

void CPaneList::OpenRow(int row) {
    if (row < 0 || row >= model_->size()) return;
    if (!IsFolderRow(row)) {
        if (sourceKind_ != kSourceLocal) return;
        LaunchJob job;
        job.file = currentPath_ + RowName(row);
        job.directory = currentPath_.chopped(1);
        StartLaunch(std::move(job));
        return;
    }
    StopListing(listingJob_);
    const QString sep = PathSeparator();
    const QString old = currentPath_;
    const QString name = RowName(row);
    QString path;
    QString select;
    if (name == QLatin1String("..")) {
        path = old.left(std::max<qsizetype>(old.lastIndexOf(sep), 0));
        const qsizetype last = path.lastIndexOf(sep);
        select = path.mid(last + 1);
        path = path.left(last + 1);
    } else {
        path = old + name + sep;
        select = QStringLiteral("..");
    }
    if (path.isEmpty()) path = sep;
    currentPath_ = path;
    mask_ = QStringLiteral("*.*");
    listMode_ = 0;
    RefillPane();
    SelectAndFocus(FindRow(select));
}

void CPaneList::keyPressEvent(QKeyEvent* e) {
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The Enter that ends a rename reaches the list too: it must not open the row.
        if (state() == QAbstractItemView::EditingState) return;
        if (mods == Qt::AltModifier) {
            ShowProperties();
        } else if (mods == Qt::NoModifier) {
            const int focused = FocusedRow();
            OpenRow(focused >= 0 ? focused : 0);
        } else {
            break;
        }
        return;
    case Qt::Key_Backspace:
        if (mods != Qt::NoModifier) break;
        if (RowName(0) == QLatin1String("..") && IsParentRow(0)) OpenRow(0);
        return;
    case Qt::Key_Insert: {
        if (mods != Qt::NoModifier) break;
        const int focused = FocusedRow();
        if (focused < 0) return;
        selectionModel()->select(model_->index(focused, 0),
                                 QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
        const int next = std::min(focused + 1, model_->size() - 1);
        const QModelIndex at = model_->index(next, 0);
        selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
        scrollTo(at);
        return;
    }
    case Qt::Key_F2:
        if (mods != Qt::NoModifier) break;
        StartRename();
        return;
    case Qt::Key_R:
        if (mods != Qt::ControlModifier) break;
        RefillPane();
        return;
    case Qt::Key_F5:
    case Qt::Key_F6:
    case Qt::Key_F7:
    case Qt::Key_F8:
    case Qt::Key_Delete:
        if (mods != Qt::NoModifier) break;
        OnCommand(FileCommandForKey(e->key()));
        return;
    default:
        break;
    }
    // The commander convention: keys move the cursor and leave the marks alone (Insert
    // marks); Shift and Ctrl keep the list's own selecting moves.
    static constexpr std::pair<int, CursorAction> kMoves[] = {
        {Qt::Key_Up, MoveUp},         {Qt::Key_Down, MoveDown},
        {Qt::Key_PageUp, MovePageUp}, {Qt::Key_PageDown, MovePageDown},
        {Qt::Key_Home, MoveHome},     {Qt::Key_End, MoveEnd}};
    if (style_ == 1 && !(mods & (Qt::ShiftModifier | Qt::ControlModifier))) {
        for (const auto& [key, move] : kMoves) {
            if (e->key() != key) continue;
            // Home and End go to the first and last row, not along the row.
            const QModelIndex next = moveCursor(
                move, move == MoveHome || move == MoveEnd ? Qt::ControlModifier : Qt::NoModifier);
            if (next.isValid()) {
                selectionModel()->setCurrentIndex(next, QItemSelectionModel::NoUpdate);
                scrollTo(next);
            }
            return;
        }
    }
    QTableView::keyPressEvent(e);
}

bool CPaneList::OnLabel(const QPoint& viewportPos, int& row) const {
    const QModelIndex at = indexAt(viewportPos);
    if (!at.isValid()) return false;
    row = at.row();
    // Rows drawn across their full width take a double click anywhere on them.
    if (style_ == 1) return true;
    if (at.column() != 0) return false;
    const QRect cell = visualRect(at);
    const QFontMetrics fm = fontMetrics();
    const int textEnd = cell.left() + fm.horizontalAdvance(RowName(row)) +
                        2 * fm.horizontalAdvance(QLatin1Char(' '));
    return viewportPos.x() <= std::min(textEnd, cell.right());
}

void CPaneList::mouseDoubleClickEvent(QMouseEvent* e) {
    int row = -1;
    if (e->button() == Qt::LeftButton && OnLabel(e->position().toPoint(), row)) {
        OpenRow(row);
        return;
    }
    QTableView::mouseDoubleClickEvent(e);
}

void CPaneList::focusInEvent(QFocusEvent* e) {
    if (host_) host_->SetActivePane(this);
    QTableView::focusInEvent(e);
    viewport()->update();
}

void CPaneList::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (!current.isValid() || !host_) return;
    // The path field speaks for the active pane only.
    if (CPaneList* active = host_->ActivePane(); !active || active == this)
        host_->SetPathText(PathText());
    // The focus frame spans the whole row: repaint both rows it moves between.
    viewport()->update();
}

QString CPaneList::PathText() const {
    const QString name = RowName(FocusedRow());
    if (sourceKind_ == kSourceFtp) return QStringLiteral("ftp://") + ftpHost_ + currentPath_ + name;
    return currentPath_ + name;
}

void CPaneList::GoToFolder(const QString& folder) {
    StopListing(listingJob_);
    sourceKind_ = kSourceLocal;
    ftpHost_.clear();
    currentPath_ = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    mask_ = QStringLiteral("*.*");
    listMode_ = 0;
    RefillPane();
    SelectAndFocus(0);
    setFocus(Qt::OtherFocusReason);
}

void CPaneList::resizeEvent(QResizeEvent* e) {
    QTableView::resizeEvent(e);
    // The focused row stays in view when the window shrinks.
    if (currentIndex().isValid()) scrollTo(currentIndex());
}

// ---- Rename in place ----

bool CPaneList::BeginLabelEdit(int row) const {
    if (sourceKind_ == kSourceFtp) return false;
    return RowRecord(row) != nullptr;
}

bool CPaneList::StartRename() {
    const int row = FocusedRow();
    if (!BeginLabelEdit(row)) return false;
    const QModelIndex at = model_->index(row, 0);
    scrollTo(at);
    return edit(at, QAbstractItemView::AllEditTriggers, nullptr);
}

bool CPaneList::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (index.isValid() && trigger != QAbstractItemView::NoEditTriggers &&
        !BeginLabelEdit(index.row()))
        return false;
    const bool started = QTableView::edit(index, trigger, event);
    if (started && trigger != QAbstractItemView::NoEditTriggers) {
        editingRow_ = index.row();
        renamePending_ = false;
    }
    return started;
}

void CPaneList::commitData(QWidget* editor) {
    // The model is not written here: the rename decides, after its question.
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
        renamePending_ = true;
        renameText_ = line->text();
    }
}

void CPaneList::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    // One label at a time: Tab ends the edit instead of opening the next cell's editor.
    if (hint == QAbstractItemDelegate::EditNextItem ||
        hint == QAbstractItemDelegate::EditPreviousItem)
        hint = QAbstractItemDelegate::NoHint;
    QTableView::closeEditor(editor, hint);
    const int row = editingRow_;
    const bool pending = renamePending_;
    const QString text = renameText_;
    editingRow_ = -1;
    renamePending_ = false;
    if (pending) EndLabelEdit(row, text);
    setFocus();
}

bool CPaneList::EndLabelEdit(int row, const QString& text) {
    const FindRecord* record = RowRecord(row);
    if (text.isEmpty() || !record) return false;
    const QString old = record->name;
    if (text == old) return false;
    // A name is one path component: a slash would move the file elsewhere.
    if (text.contains(QLatin1Char('/')) || text == QLatin1String(".") ||
        text == QLatin1String("..")) {
        ShowMessage(QStringLiteral("Can't rename file."), MessageKind::Error, this);
        return false;
    }
    const QString question =
        QStringLiteral("Do you want to rename file\n%1\nto the file\n%2 ?").arg(old, text);
    if (ShowMessage(question, MessageKind::StopQuestion, this) != QMessageBox::Yes) return false;
    if (!platform::RenameEntry(currentPath_ + old, currentPath_ + text)) {
        ShowMessage(QStringLiteral("Can't rename file."), MessageKind::Error, this);
        return false;
    }
    model_->RenameRow(row, text);
    if (CDocument* doc = document())
        doc->UpdateAllViews(nullptr);
    else
        RefillPane();
    SelectAndFocus(FindRow(text));
    return true;
}

// ---- Properties ----

void CPaneList::ShowProperties() {
    const int row = FocusedRow();
    const FindRecord* record = RowRecord(row);
    if (!record) return;
    CPropertiesSheet sheet(*record, RowName(row), this);
    RunModal(sheet);
    setFocus();
}

// ---- Commands ----

bool CPaneList::OnCommand(int id) {
    switch (id) {
    case ids::kCmdInvertSelection:
        InvertSelection();
        return true;
    case ids::kCmdRename:
        StartRename();
        return true;
    case ids::kCmdProperties:
        ShowProperties();
        return true;
    case ids::kCmdViewHex:
    case ids::kCmdEditHex:
        ViewInHex(id == ids::kCmdViewHex);
        return true;
    case ids::kCmdFastFolders:
        ShowFastFolders(*this);
        return true;
    case ids::kCmdCreateShortcut:
        CreateShortcuts(*this);
        return true;
    case ids::kCmdShortcuts:
        ShowShortcutFolder(*this);
        return true;
    case ids::kCmdSearchFiles:
        if (CanSearchFiles()) RunSearchFiles(*this);
        return true;
    case ids::kCmdDirSizes:
        RunDirSizes(*this);
        return true;
    case ids::kCmdDelete:
        if (listMode_ != 1) return RunFileCommand(*this, id);
        DeleteFastFolderRows(*this);
        return true;
    case ids::kCmdTaskManager:
        RunTaskManager(this);
        return true;
    case ids::kCmdFtp:
        OnFtpCommand();
        return true;
    default:
        return IsFileCommand(id) && RunFileCommand(*this, id);
    }
}

bool CPaneList::CanSearchFiles() const {
    // An FTP pane searches through its own connection (made anew when it was dropped).
    return sourceKind_ == kSourceLocal || sourceKind_ == kSourceFtp;
}

bool CPaneList::CanViewInHex(bool readOnly) const {
    const FindRecord* record = RowRecord(FocusedRow());
    if (sourceKind_ != kSourceLocal || !record || record->isFolder()) return false;
    return readOnly || !(record->attributes & (attr::ReadOnly | attr::InRom));
}

void CPaneList::ViewInHex(bool readOnly) {
    if (!CanViewInHex(readOnly)) return;
    RunHexView(currentPath_ + RowName(FocusedRow()), readOnly, this);
    setFocus();
}

bool CPaneList::OnUpdateCommand(int id, CommandState& state) {
    const int focused = FocusedRow();
    switch (id) {
    case ids::kCmdInvertSelection:
    case ids::kCmdTaskManager:
        state.enabled = true;
        return true;
    case ids::kCmdViewHex:
    case ids::kCmdEditHex:
        state.enabled = CanViewInHex(id == ids::kCmdViewHex);
        return true;
    case ids::kCmdFastFolders:
    case ids::kCmdShortcuts:
    case ids::kCmdDirSizes:
        state.enabled = sourceKind_ == kSourceLocal;
        return true;
    case ids::kCmdSearchFiles:
        state.enabled = CanSearchFiles();
        return true;
    case ids::kCmdCreateShortcut:
        state.enabled = sourceKind_ == kSourceLocal && RowRecord(focused) != nullptr;
        return true;
    case ids::kCmdRename:
    case ids::kCmdProperties:
        state.enabled = RowRecord(focused) != nullptr;
        return true;
    case ids::kCmdFtp:
        state.enabled = true;
        state.checkable = true;
        state.checked = sourceKind_ == kSourceFtp;
        return true;
    default:
        if (!IsFileCommand(id)) return false;
        UpdateFileCommand(*this, id, state);
        return true;
    }
}

} // namespace velmar

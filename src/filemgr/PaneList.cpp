#include "filemgr/PaneList.h"

#include "filemgr/FastFolders.h"
#include "filemgr/FileCommands.h"
#include "filemgr/FtpDialogs.h"
#include "filemgr/Launch.h"
#include "filemgr/PaneCommandIds.h"
#include "filemgr/PaneDelegate.h"
#include "filemgr/PaneModel.h"
#include "filemgr/Properties.h"
#include "filemgr/SearchFiles.h"
#include "filemgr/VelmarDoc.h"
#include "framework/BesideWindow.h"
#include "framework/Dialogs.h"
#include "framework/Message.h"
#include "hexview/HexViewDialog.h"
#include "res/Ids.h"
#include "settings/SettingsStore.h"
#include "systools/SysToolDialogs.h"

#include <QApplication>
#include <QHeaderView>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <algorithm>

namespace velmar {

// The controller's command numbers are the menus' own.
#define VELMAR_SAME_ID(name) static_assert(panecmd::name == ids::name, #name)
VELMAR_SAME_ID(kCmdViewHex);
VELMAR_SAME_ID(kCmdEditHex);
VELMAR_SAME_ID(kCmdNewDir);
VELMAR_SAME_ID(kCmdCopy);
VELMAR_SAME_ID(kCmdMove);
VELMAR_SAME_ID(kCmdFtp);
VELMAR_SAME_ID(kCmdDelete);
VELMAR_SAME_ID(kCmdProperties);
VELMAR_SAME_ID(kCmdTaskManager);
VELMAR_SAME_ID(kCmdSearchFiles);
VELMAR_SAME_ID(kCmdInvertSelection);
VELMAR_SAME_ID(kCmdCreateShortcut);
VELMAR_SAME_ID(kCmdShortcuts);
VELMAR_SAME_ID(kCmdDirSizes);
VELMAR_SAME_ID(kCmdFastFolders);
VELMAR_SAME_ID(kCmdRename);
VELMAR_SAME_ID(kCmdRefresh);
VELMAR_SAME_ID(kCmdOtherPane);
VELMAR_SAME_ID(kCmdDeleteForGood);
#undef VELMAR_SAME_ID

namespace {

constexpr int kMinNameWidth = 40;
// A listing shorter than this shows no note (it would only flash).
constexpr int kListingNoteDelayMs = 400;

// The size column is as wide as the widest size text.
int SizeColumnWidth(const QFontMetrics& fm) {
    return fm.horizontalAdvance(QStringLiteral(" 999.9 M "));
}

} // namespace

CPaneList::CPaneList(CVelmarDoc* doc, PaneHost* host, QWidget* parent)
    : QTableView(parent), host_(host) {
    controller_ = new PaneController(this);
    controller_->SetCommandUi(this);
    // Work on a server (a rename, a connect for a search) runs under the wait cursor with the
    // window alive; Esc or a Close ends it at once.
    controller_->SetBesideRunner(
        [](const std::function<void()>& work, platform::CancelToken& cancel) {
            std::atomic<int> running{1};
            if (!RunBesideWindow(running, work, &cancel)) {
                // Another such work is under way: this one is not started.
                cancel.Cancel();
            }
        });
    delegate_ = new CLikeNcDelegate(this);
    header_ = new CPaneHeader(this);
    setHorizontalHeader(header_);
    setModel(controller_->model());
    // The controller's marks and cursor are the list's selection and current row.
    QItemSelectionModel* own = selectionModel();
    setSelectionModel(controller_->selection());
    delete own;
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
    connect(header, &QHeaderView::sectionClicked, controller_, &PaneController::SortByColumn);

    connect(controller_, &PaneController::filesChanged, this, [this] {
        if (CDocument* d = document())
            d->UpdateAllViews(nullptr);
        else
            controller_->RefillPane();
    });
    connect(controller_, &PaneController::listingFailed, this,
            [this](const QString& text, bool closed) { TellListingFailed(text, closed, this); });
    // The path field follows a change of place even where the cursor's row stays (a server
    // left for the local root must not leave its address standing).
    const auto showPath = [this] {
        if (!host_) return;
        if (CPaneList* active = host_->ActivePane(); !active || active == this)
            host_->SetPathText(controller_->PathText());
    };
    // A listing that takes a while says so: the busy cursor over the pane at once, and after
    // a moment a note at the pane's foot with the rows so far (a quick one shows no flash).
    listingNote_ = new QLabel(viewport());
    listingNote_->setObjectName(QStringLiteral("listingNote"));
    listingNote_->setTextFormat(Qt::PlainText);
    listingNote_->setAutoFillBackground(true);
    listingNote_->setFrameShape(QFrame::StyledPanel);
    listingNote_->setMargin(2);
    listingNote_->hide();
    listingNoteDelay_ = new QTimer(this);
    listingNoteDelay_->setSingleShot(true);
    listingNoteDelay_->setInterval(kListingNoteDelayMs);
    connect(listingNoteDelay_, &QTimer::timeout, this, [this] { ShowListingNote(); });
    connect(controller_->model(), &QAbstractItemModel::rowsInserted, this, [this] {
        if (listingNote_->isVisible()) ShowListingNote();
    });
    connect(controller_, &PaneController::listingStarted, this, [this, showPath] {
        viewport()->setCursor(Qt::BusyCursor);
        listingNoteDelay_->start();
        showPath();
    });
    connect(controller_, &PaneController::listingFinished, this, [this, showPath] {
        listingNoteDelay_->stop();
        listingNote_->hide();
        viewport()->unsetCursor();
        ShowCursor();
        showPath();
    });

    if (doc) doc->AddView(this);
}

CPaneList::~CPaneList() {
    // The controller's listing ends before the view it reports to goes.
    controller_->DropListing();
}

void CPaneList::ShowListingNote() {
    if (!controller_->IsListing()) return;
    const PaneController& pane = *controller_;
    // The parent row is no entry of the folder.
    const int rows = pane.RowCount() - (pane.IsParentRow(0) ? 1 : 0);
    listingNote_->setText(
        pane.ftpState() == FtpState::Connecting
            ? QStringLiteral("Connecting to %1... (Esc stops)").arg(pane.ftpLogin().host)
            : QStringLiteral("Listing... %1 entries so far (Esc stops)").arg(rows));
    listingNote_->adjustSize();
    const QRect area = viewport()->rect();
    listingNote_->move(area.left() + 4,
                       std::max(area.top(), area.bottom() - listingNote_->height() - 4));
    listingNote_->show();
    listingNote_->raise();
}

// ---- Settings, style and columns ----

void CPaneList::OnUpdate(CView*) {
    ApplyPaneStyle(ReadStoreSetting("LikeNC"), ReadStoreSetting("Horizontal Panes"));
    controller_->SetFilters(ReadStoreSetting("ShowHidden") != 0,
                            ReadStoreSetting("ShowInRom") != 0);
    controller_->RefillPane();
}

void CPaneList::ApplyPaneStyle(int likeNC, int horizontal) {
    const PaneStyle wanted = likeNC != 0 ? PaneStyle::LikeNc : PaneStyle::Plain;
    if (style_ == wanted && wanted == PaneStyle::Plain) return;
    style_ = wanted;
    const bool on = wanted == PaneStyle::LikeNc;
    controller_->SetMarksApartFromCursor(on);
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

void CPaneList::ShowCursor() {
    if (currentIndex().isValid()) scrollTo(currentIndex());
}

// ---- Input ----

bool CPaneList::event(QEvent* e) {
    // Before a key is matched against the menus' shortcuts: a key whose command just became
    // enabled (the cursor moved onto a file) must be taken, one just disabled must not.
    if (e->type() == QEvent::ShortcutOverride && host_) host_->RefreshCommandStates();
    return QTableView::event(e);
}

void CPaneList::keyPressEvent(QKeyEvent* e) {
    // Command keys (F2, F5-F8, Delete, Ctrl+R, Tab, Alt+Enter) are the menus' shortcuts and
    // never get here; what is left moves the cursor, marks and opens.
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    PaneController& pane = *controller_;
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // The Enter that ends a rename reaches the list too: it must not open the row.
        if (state() == QAbstractItemView::EditingState || mods != Qt::NoModifier) break;
        pane.OpenRow(pane.FocusedRow() >= 0 ? pane.FocusedRow() : 0);
        return;
    case Qt::Key_Escape:
        // Esc stops a listing still coming in; the rows so far stay.
        if (!pane.IsListing()) break;
        pane.DropListing();
        return;
    case Qt::Key_Backspace:
        if (mods != Qt::NoModifier) break;
        if (pane.IsParentRow(0)) pane.OpenRow(0);
        return;
    case Qt::Key_Insert: {
        if (mods != Qt::NoModifier) break;
        const int focused = pane.FocusedRow();
        if (focused < 0) return;
        selectionModel()->select(model()->index(focused, 0),
                                 QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
        const QModelIndex at = model()->index(std::min(focused + 1, pane.RowCount() - 1), 0);
        selectionModel()->setCurrentIndex(at, QItemSelectionModel::NoUpdate);
        scrollTo(at);
        return;
    }
    default:
        break;
    }
    // The commander convention: keys move the cursor and leave the marks alone (Insert
    // marks); Shift and Ctrl keep the list's own selecting moves.
    static constexpr std::pair<int, CursorAction> kMoves[] = {
        {Qt::Key_Up, MoveUp},         {Qt::Key_Down, MoveDown},
        {Qt::Key_PageUp, MovePageUp}, {Qt::Key_PageDown, MovePageDown},
        {Qt::Key_Home, MoveHome},     {Qt::Key_End, MoveEnd}};
    if (style_ == PaneStyle::LikeNc && !(mods & (Qt::ShiftModifier | Qt::ControlModifier))) {
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

QItemSelectionModel::SelectionFlags CPaneList::selectionCommand(const QModelIndex& index,
                                                                const QEvent* event) const {
    // The commander style: a plain click, type-ahead and every move of the cursor by the
    // program leave the marks alone; Ctrl and Shift still mark with the mouse.
    if (style_ == PaneStyle::LikeNc) {
        Qt::KeyboardModifiers mods = Qt::NoModifier;
        if (event && (event->type() == QEvent::MouseButtonPress ||
                      event->type() == QEvent::MouseButtonRelease ||
                      event->type() == QEvent::MouseMove || event->type() == QEvent::KeyPress))
            mods = static_cast<const QInputEvent*>(event)->modifiers();
        if (!(mods & (Qt::ControlModifier | Qt::ShiftModifier)))
            return QItemSelectionModel::NoUpdate;
    }
    return QTableView::selectionCommand(index, event);
}

bool CPaneList::OnLabel(const QPoint& viewportPos, int& row) const {
    const QModelIndex at = indexAt(viewportPos);
    if (!at.isValid()) return false;
    row = at.row();
    // Rows drawn across their full width take a double click anywhere on them.
    if (style_ == PaneStyle::LikeNc) return true;
    if (at.column() != 0) return false;
    const QRect cell = visualRect(at);
    const QFontMetrics fm = fontMetrics();
    const int textEnd = cell.left() + fm.horizontalAdvance(controller_->RowName(row)) +
                        2 * fm.horizontalAdvance(QLatin1Char(' '));
    return viewportPos.x() <= std::min(textEnd, cell.right());
}

void CPaneList::mouseDoubleClickEvent(QMouseEvent* e) {
    int row = -1;
    if (e->button() == Qt::LeftButton && OnLabel(e->position().toPoint(), row)) {
        controller_->OpenRow(row);
        return;
    }
    QTableView::mouseDoubleClickEvent(e);
}

void CPaneList::focusInEvent(QFocusEvent* e) {
    if (host_) host_->SetActivePane(this);
    QTableView::focusInEvent(e);
    // The cursor bar and the header show which pane is active: repaint both panes.
    viewport()->update();
    horizontalHeader()->viewport()->update();
    if (CPaneList* other = host_ ? host_->OtherPane(this) : nullptr; other && other != this) {
        other->viewport()->update();
        other->horizontalHeader()->viewport()->update();
    }
}

bool CPaneList::IsActivePane() const {
    if (host_)
        if (const CPaneList* active = host_->ActivePane()) return active == this;
    return hasFocus();
}

void CPaneList::focusOutEvent(QFocusEvent* e) {
    // A click elsewhere while a long listing comes in stops it, as Esc does.
    if (e->reason() == Qt::MouseFocusReason && controller_->IsListing()) controller_->DropListing();
    QTableView::focusOutEvent(e);
}

void CPaneList::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (!current.isValid() || !host_) return;
    // The path field speaks for the active pane only.
    if (CPaneList* active = host_->ActivePane(); !active || active == this)
        host_->SetPathText(controller_->PathText());
    // The cursor bar spans the whole row: repaint both rows it moves between.
    viewport()->update();
}

void CPaneList::resizeEvent(QResizeEvent* e) {
    QTableView::resizeEvent(e);
    // The focused row stays in view when the window shrinks.
    ShowCursor();
}

// ---- Rename in place ----

bool CPaneList::StartRename() {
    const int row = controller_->FocusedRow();
    if (!controller_->CanRename(row)) return false;
    const QModelIndex at = model()->index(row, 0);
    scrollTo(at);
    return edit(at, QAbstractItemView::AllEditTriggers, nullptr);
}

bool CPaneList::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (index.isValid() && trigger != QAbstractItemView::NoEditTriggers &&
        !controller_->CanRename(index.row()))
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
    const FindRecord* record = controller_->RowRecord(row);
    if (text.isEmpty() || !record || text == record->name) return false;
    const QString cannot = QStringLiteral("Can't rename file.");
    if (!controller_->IsOneName(text)) {
        ShowMessage(cannot, MessageKind::Error, this);
        return false;
    }
    const QString question =
        QStringLiteral("Do you want to rename file\n%1\nto the file\n%2 ?").arg(record->name, text);
    if (ShowMessage(question, MessageKind::StopQuestion, this) != QMessageBox::Yes) return false;
    switch (controller_->Rename(row, text)) {
    case PaneController::RenameResult::Renamed:
        return true;
    case PaneController::RenameResult::Unchanged: // stopped by the user: nothing to tell
        return false;
    default:
        ShowMessage(cannot, MessageKind::Error, this);
        return false;
    }
}

// ---- Commands with a window ----

void CPaneList::ShowProperties() {
    const int row = controller_->FocusedRow();
    const FindRecord* record = controller_->RowRecord(row);
    if (!record) return;
    CPropertiesSheet sheet(*record, controller_->RowName(row), this,
                           controller_->sourceKind() == kSourceLocal
                               ? controller_->currentPath() + controller_->RowName(row)
                               : QString());
    RunModal(sheet);
    setFocus();
}

void CPaneList::ViewInHex(bool readOnly) {
    if (!controller_->CanViewInHex(readOnly)) return;
    RunHexView(controller_->currentPath() + controller_->RowName(controller_->FocusedRow()),
               readOnly, this);
    setFocus();
}

void CPaneList::LaunchFile(const QString& file, const QString& folder) {
    LaunchJob job;
    job.file = file;
    job.directory = folder;
    StartLaunch(std::move(job));
}

bool CPaneList::RunUiCommand(int id) {
    PaneController& pane = *controller_;
    switch (id) {
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
    case ids::kCmdCreateShortcut:
        CreateShortcuts(pane, this);
        return true;
    case ids::kCmdSearchFiles:
        RunSearchFiles(pane, this);
        return true;
    case ids::kCmdDirSizes:
        RunDirSizes(pane);
        return true;
    case ids::kCmdDelete:
    case ids::kCmdDeleteForGood:
        if (pane.listMode() == ListMode::FastFolders) {
            DeleteFastFolderRows(pane, this);
            return true;
        }
        return RunFileCommand(pane, id, this);
    case ids::kCmdCopy:
    case ids::kCmdMove:
    case ids::kCmdNewDir:
        return RunFileCommand(pane, id, this);
    case ids::kCmdTaskManager:
        RunTaskManager(this);
        return true;
    case ids::kCmdFtp:
        ConnectThroughServerList(pane, this);
        return true;
    case ids::kCmdOtherPane:
        if (host_)
            if (CPaneList* other = host_->OtherPane(this); other && other != this)
                other->setFocus(Qt::TabFocusReason);
        return true;
    default:
        return false;
    }
}

} // namespace velmar

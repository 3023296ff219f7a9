#pragma once
// The pane's controller: everything a pane is apart from how it looks. It owns the folder
// shown (path, mask, source kind, filters), the rows and which of them are marked, the
// listing thread and the FTP connection with its log-in, and it is the target of the pane's
// commands. QtCore only: the view (CPaneList) paints its rows, edits labels and forwards
// input; the commands that need a dialog are handed to the window layer (PaneCommandUi).

#include "framework/Command.h"
#include "ftp/FtpConnection.h"
#include "ftp/FtpOptions.h"
#include "sources/ListingThread.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class QItemSelectionModel;

namespace velmar {

class CPaneModel;
struct FindRecord;

// What the pane lists: a folder, or the fast-folder list (whose rows are no files on disk).
enum class ListMode { Folder, FastFolders };

// The FTP connection as the window's thread knows it. The listing thread makes the
// connection; the window's thread learns of it by a posted event, never by looking at the
// connection while the thread may be writing it.
enum class FtpState { None, Connecting, Connected };

// The window layer's half of the commands: those that show a dialog or edit a label.
class PaneCommandUi {
public:
    virtual ~PaneCommandUi() = default;
    // Runs command `id` (already found enabled). False when it is not one of these.
    virtual bool RunUiCommand(int id) = 0;
    // Starts the local file `file` (a program or a document) in `folder`, beside the window.
    virtual void LaunchFile(const QString& file, const QString& folder) = 0;
};

class PaneController : public QObject, public CommandTarget {
    Q_OBJECT
public:
    explicit PaneController(QObject* parent = nullptr);
    ~PaneController() override;

    // Runs `work`, which may wait on a server, until it ends; `cancel` is the token its socket
    // waits watch. The window layer runs it beside the window, where Esc or a Close fires the
    // token; without one it runs in place.
    using BesideRunner =
        std::function<void(const std::function<void()>& work, platform::CancelToken& cancel)>;
    void SetBesideRunner(BesideRunner runner) { beside_ = std::move(runner); }

    CPaneModel* model() const { return model_; }
    // Current index = the cursor; selected rows = the marks.
    QItemSelectionModel* selection() const { return selection_; }
    void SetCommandUi(PaneCommandUi* ui) { ui_ = ui; }
    // The target of copy and move; set by whoever makes the two panes.
    void SetOtherPane(PaneController* other) { other_ = other; }
    PaneController* otherPane() const { return other_; }

    // CommandTarget: the enabled check of every pane command, and the commands that need no
    // window; the others go to the PaneCommandUi.
    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

    // ---- the folder ----
    const QString& currentPath() const { return currentPath_; }
    void setCurrentPath(const QString& path) { currentPath_ = path; }
    int sourceKind() const { return sourceKind_; }
    // Tests and a server's stand-in set the kind and host without connecting.
    void setSourceKind(int kind) { sourceKind_ = kind; }
    void setFtpHost(const QString& host) { ftpHost_ = host; }
    const QString& mask() const { return mask_; }
    void setMask(const QString& mask) { mask_ = mask; }
    ListMode listMode() const { return listMode_; }
    void setListMode(ListMode mode) { listMode_ = mode; }
    bool showHidden() const { return showHidden_; }
    bool showInRom() const { return showInRom_; }
    // The filters of the settings ShowHidden and ShowInRom (1: listed).
    void SetFilters(bool showHidden, bool showInRom);
    QString PathSeparator() const { return QStringLiteral("/"); }
    // What the path field shows for this pane: the focused row's full path.
    QString PathText() const;

    // Lists the current folder again, beside the window: rows arrive in batches, in the
    // pane's order. The focused row stays when the folder is the same.
    void RefillPane();
    // The next refill puts the cursor on the row named `name` (when it comes; MoveCursorTo).
    void FocusAfterRefill(const QString& name) {
        focusAfterRefill_ = name;
        selectFocused_ = true;
    }
    bool IsListing() const { return listing_; }
    // The listing thread's block; its hooks may be set while no thread runs.
    ListingJob& listingJob() { return listingJob_; }
    // Stops the listing thread and drops what it posted that was not taken yet.
    void DropListing();
    // Enter a folder, go up for the parent row, or launch a file.
    void OpenRow(int row);
    // Lists the local folder `folder` (the path field's Enter on a folder); an FTP pane logs
    // out of its server first, beside the window.
    void GoToFolder(const QString& folder);
    // A header click: updates the shared SortMode, sorts and relabels the header.
    void SortByColumn(int column);
    // The fast-folder list (list mode FastFolders); false (nothing changed) when empty.
    bool ShowFastFolders();

    // ---- rows ----
    int RowCount() const;
    bool IsParentRow(int row) const;
    bool IsFolderRow(int row) const;
    QString RowName(int row) const; // empty when there is no such row
    const FindRecord* RowRecord(int row) const;
    int FocusedRow() const;
    int FindRow(const QString& name) const; // -1 when none is named so
    // Makes `row` the only selected row and the focused one.
    void SelectAndFocus(int row);
    // Puts the cursor on `row`: only the cursor where marks are apart from it, else the
    // selection follows (the plain list's way).
    void MoveCursorTo(int row);
    // The commander style: marks are made on purpose only (Insert, Ctrl+click); the cursor
    // moves without marking.
    void SetMarksApartFromCursor(bool apart) { marksApart_ = apart; }
    bool marksApartFromCursor() const { return marksApart_; }
    // The rows a file command acts on: the selected rows without the parent row, or the
    // focused row when none is selected. `files` counts the rows that are not folders.
    int CollectSelection(std::vector<int>* indices, int* files) const;
    bool AnyRowSelected() const;
    // Flips the selection of every row, the parent row included.
    void InvertSelection();
    // Rename in place may begin on `row` (a row with a record, on a side that can act).
    bool CanRename(int row) const;
    enum class RenameResult { Unchanged, Renamed, Refused, Failed };
    // A new name is one path component: a slash would move the file elsewhere. On a server
    // a backslash (sent as a slash) and control characters (a line break ends the command)
    // are refused as well.
    bool IsOneName(const QString& text) const;
    // Renames the row's file or folder to `text` in the current folder, through the pane's
    // side (RNFR/RNTO on a server, beside the window), never over an existing entry (the
    // question was asked). After a failure RenameError() may say why.
    RenameResult Rename(int row, const QString& text);
    const QString& RenameError() const { return renameError_; }
    bool CanViewInHex(bool readOnly) const;

    // ---- FTP ----
    // Makes this an FTP pane on `login` and lists its root; the listing thread connects
    // (with our own client when `ownClient`) with `options`.
    void ConnectTo(const FtpLogin& login, bool ownClient, const FtpOptions& options);
    // Closes the connection (stopping the listing thread first); the pane stays as it is.
    void CloseFtpConnection();
    // Closes the connection (logging out beside the window) and lists the local root.
    void ReturnToLocalRoot();
    FtpState ftpState() const { return ftpState_; }
    const FtpLogin& ftpLogin() const { return ftpLogin_; }
    // The connection for work on the window's thread or a worker it waits for: the listing
    // thread is stopped first. Connects when there is none (beside the window, through the
    // BesideRunner, so Esc or a Close ends a connect to a silent server at once); none when
    // that fails, with the reason in `failure`; `stopped` tells that the user ended it.
    FtpConnection* ConnectionForWork(QString* failure = nullptr, bool* stopped = nullptr);
    // The connection if there is one, for a worker about to run; stops the listing thread.
    FtpConnection* connection();
    // Work found the connection lost: it is dropped, the next FTP action connects anew.
    void ConnectionLost();

    // The document should update all its views (files changed).
    void NotifyFilesChanged() { emit filesChanged(); }

signals:
    // Files changed: both panes refill (through the document when there is one).
    void filesChanged();
    // An FTP listing failed; the pane is back at the local root. The window tells the user.
    void listingFailed(const QString& serverText, bool closedAfterwards);
    // A listing began; its rows come in batches.
    void listingStarted();
    // The listing ended: all rows are in, or it was stopped.
    void listingFinished();
    // The header texts changed (sorting).
    void headerChanged();

protected:
    bool event(QEvent* e) override;

private:
    // Stops the listing thread and drops what it posted; true when a listing was running.
    bool StopAndForgetListing();
    void TakeBatch(EntryPostedEvent& e);
    void FinishListing();
    void PlaceCursorOn(const QString& name);
    void SortRowsNow();
    void RelabelHeader();
    bool ConnectOnListingThread(QString& failure);
    bool SideUsable() const;
    // False when the work was stopped (its token fired).
    bool RunBeside(const std::function<void()>& work);
    // Stops the listing and logs out of the server (beside the window); no connection after.
    void LeaveServer();

    CPaneModel* model_ = nullptr;
    QItemSelectionModel* selection_ = nullptr;
    PaneCommandUi* ui_ = nullptr;
    PaneController* other_ = nullptr;
    BesideRunner beside_;
    QString renameError_;

    QString currentPath_ = QStringLiteral("/");
    int sourceKind_ = kSourceLocal;
    QString ftpHost_;
    bool showHidden_ = true;
    bool showInRom_ = true;
    ListMode listMode_ = ListMode::Folder;
    QString mask_ = QStringLiteral("*.*");
    int sortColumn_;

    ListingJob listingJob_;
    bool listing_ = false;
    QString lastGoodFtpPath_;    // the server folder listed last without a failure
    QString lastListedPath_;     // to keep the focused row across a refill of the same folder
    QString focusAfterRefill_;   // the row the cursor goes to once it has come
    bool selectFocused_ = false; // and moved there as by MoveCursorTo (else cursor only)
    bool marksApart_ = false;

    // Written by the listing thread only while it runs (the window's thread waits for its end
    // before it touches it), and by the window's thread otherwise.
    std::unique_ptr<FtpConnection> ftp_;
    FtpState ftpState_ = FtpState::None;
    FtpLogin ftpLogin_;
    FtpOptions ftpOptions_;
    bool ownClient_ = false;
};

} // namespace velmar

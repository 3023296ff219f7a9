#pragma once
// One pane: a two-column list of one folder, local or on an FTP server. A local folder is
// listed at once on the interface thread; an FTP folder arrives entry by entry from the
// listing thread. Both panes are views of one document and refill when it updates them.

#include "filemgr/PaneHost.h"
#include "framework/View.h"
#include "ftp/FtpConnection.h"
#include "sources/ListingThread.h"

#include <QTableView>
#include <vector>

namespace velmar {

class CVelmarDoc;
class CPaneModel;
class CLikeNcDelegate;
class CPaneHeader;
struct FindRecord;

class CPaneList : public QTableView, public CView {
    Q_OBJECT
public:
    CPaneList(CVelmarDoc* doc, PaneHost* host, QWidget* parent = nullptr);
    ~CPaneList() override;

    QWidget* widget() override { return this; }
    // Re-reads the style, orientation and filter settings and refills.
    void OnUpdate(CView* sender) override;
    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

    // Enter a folder, go up for the parent row, or launch a file.
    virtual void OpenRow(int row);
    // Lists the current folder again (at once for a local pane, by the listing thread
    // for an FTP pane), keeping the sort column and the header.
    virtual void RefillPane();

    // A header click: updates the shared SortMode, sorts and relabels the header.
    void SortByColumn(int column);
    // likeNC 1 draws the commander style; `horizontal` picks the per-pane menu bar.
    void ApplyPaneStyle(int likeNC, int horizontal);
    // The rows a file command acts on: the selected rows without the parent row, or the
    // focused row when none is selected. `files` counts the rows that are not folders.
    int CollectSelection(std::vector<int>* indices, int* files) const;
    // Flips the selection of every row, the parent row included.
    void InvertSelection();
    // The properties sheet of the focused row.
    void ShowProperties();
    // "Search files": a local pane, or an FTP pane with its connection.
    bool CanSearchFiles() const;
    // The hex window on the focused file: local files only, and for editing only files
    // the user may write.
    bool CanViewInHex(bool readOnly) const;
    void ViewInHex(bool readOnly);

    // Rename in place: begins unless refused (FTP pane, parent row); the end asks first.
    bool BeginLabelEdit(int row) const;
    using QTableView::edit;
    bool StartRename();
    // The label editor closed with `text`. True when the file was renamed.
    bool EndLabelEdit(int row, const QString& text);

    bool IsParentRow(int row) const;
    bool IsFolderRow(int row) const;
    // Column 0 of a row; empty when there is no such row.
    QString RowName(int row) const;
    const FindRecord* RowRecord(int row) const;
    int FocusedRow() const;
    int RowCount() const;
    // The row whose name is exactly `name`, or -1.
    int FindRow(const QString& name) const;
    // Makes `row` the only selected row and the focused one, scrolled into view.
    void SelectAndFocus(int row);

    // What the path field shows for this pane: the focused row's full path.
    QString PathText() const;
    // Lists the local folder `folder` (the path field's Enter on a folder) and takes the focus.
    void GoToFolder(const QString& folder);

    // The folder shown, always ending with the separator; "/" is the local root.
    const QString& currentPath() const { return currentPath_; }
    void setCurrentPath(const QString& path) { currentPath_ = path; }
    int sourceKind() const { return sourceKind_; }
    void setSourceKind(int kind) { sourceKind_ = kind; }
    const QString& ftpHost() const { return ftpHost_; }
    void setFtpHost(const QString& host) { ftpHost_ = host; }
    const QString& mask() const { return mask_; }
    void setMask(const QString& mask) { mask_ = mask; }
    int listMode() const { return listMode_; }
    void setListMode(int mode) { listMode_ = mode; }
    int style() const { return style_; }
    int sortColumn() const { return sortColumn_; }
    bool showHidden() const { return showHidden_ != 0; }
    bool showInRom() const { return showInRom_ != 0; }
    QString PathSeparator() const { return QStringLiteral("/"); }

    // FTP (PaneFtp.cpp). The connection is made by the listing thread (ConnectPane; or by a
    // search) and used by one thread at a time: touch it only while no listing thread runs.
    void OnFtpCommand();
    bool ConnectPane();
    FtpConnection* ftpConnection() const { return ftp_.get(); }
    // Closes the connection (stopping the listing thread first); the pane stays as it is.
    void CloseFtpConnection();
    bool ownClient() const { return ownClient_; }
    const FtpLogin& ftpLogin() const { return ftpLogin_; }

    CPaneModel* paneModel() const { return model_; }
    ListingJob& listingJob() { return listingJob_; }
    // Stops the listing thread and drops what it posted that was not taken yet.
    void DropListing();
    PaneHost* host() const { return host_; }

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void TakeEntries(class EntryPostedEvent& e);
    void ReturnToLocalRoot();
    void FitColumns(bool applyStyle);
    void SortRowsNow();
    void RelabelHeader();
    bool OnLabel(const QPoint& viewportPos, int& row) const;

    PaneHost* host_ = nullptr;
    CPaneModel* model_ = nullptr;
    CLikeNcDelegate* delegate_ = nullptr;
    CPaneHeader* header_ = nullptr;

    QString currentPath_ = QStringLiteral("/");
    int sourceKind_ = 0;
    QString ftpHost_;
    int showHidden_ = 1;
    int showInRom_ = 1;
    int listMode_ = 0;
    QString mask_ = QStringLiteral("*.*");
    int style_ = 99; // neither on nor off: the first ApplyPaneStyle always acts
    ListingJob listingJob_;
    std::unique_ptr<FtpConnection> ftp_;
    FtpLogin ftpLogin_;
    bool ownClient_ = false;
    int sortColumn_ = 256;

    QString lastListedPath_; // to keep the focused row across a refill of the same folder
    int editingRow_ = -1;
    bool renamePending_ = false;
    QString renameText_;
};

} // namespace velmar

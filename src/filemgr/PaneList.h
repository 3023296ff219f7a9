#pragma once
// The view of one pane: a two-column list of one folder, local or on an FTP server. It
// paints the rows of its PaneController, edits labels and forwards input; the controller
// holds the folder, the rows and marks, the listing and the connection. Both panes are views
// of one document and refill when it updates them.

#include "filemgr/PaneController.h"
#include "filemgr/PaneHost.h"
#include "framework/View.h"

#include <QTableView>

class QLabel;
class QTimer;

namespace velmar {

class CVelmarDoc;
class CLikeNcDelegate;
class CPaneHeader;

// The LikeNC setting as a pane applies it; Unset before the first ApplyPaneStyle, so that
// the first one always acts.
enum class PaneStyle { Unset, Plain, LikeNc };

class CPaneList : public QTableView, public CView, public PaneCommandUi {
    Q_OBJECT
public:
    CPaneList(CVelmarDoc* doc, PaneHost* host, QWidget* parent = nullptr);
    ~CPaneList() override;

    QWidget* widget() override { return this; }
    // Re-reads the style, orientation and filter settings and refills.
    void OnUpdate(CView* sender) override;
    // The route reaches the pane's controller through its view.
    bool OnCommand(int id) override { return controller_->OnCommand(id); }
    bool OnUpdateCommand(int id, CommandState& state) override {
        return controller_->OnUpdateCommand(id, state);
    }
    // PaneCommandUi: the commands that show a dialog or edit a label.
    bool RunUiCommand(int id) override;
    void LaunchFile(const QString& file, const QString& folder) override;

    PaneController& controller() const { return *controller_; }

    // likeNC 1 draws the commander style; `horizontal` picks the per-pane menu bar.
    void ApplyPaneStyle(int likeNC, int horizontal);
    // The commander style in force (kStyleUnset until the first ApplyPaneStyle).
    PaneStyle style() const { return style_; }

    // Rename in place: the label editor opens on the focused row unless the controller refuses.
    using QTableView::edit;
    bool StartRename();
    // The label editor closed with `text`: asks, then has the controller rename. True when
    // the file was renamed.
    bool EndLabelEdit(int row, const QString& text);
    // The properties sheet of the focused row.
    void ShowProperties();
    void ViewInHex(bool readOnly);
    // Scrolls the cursor's row into view.
    void ShowCursor();

    PaneHost* host() const { return host_; }
    // The note the pane shows while a slow listing comes in (hidden otherwise).
    QLabel* listingNote() const { return listingNote_; }
    // The pane that takes the keys: the host's active pane, or the focused one when the
    // host does not tell.
    bool IsActivePane() const;

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    void resizeEvent(QResizeEvent* e) override;
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;

private:
    void FitColumns(bool applyStyle);
    void ShowListingNote();
    bool OnLabel(const QPoint& viewportPos, int& row) const;

    PaneController* controller_ = nullptr;
    PaneHost* host_ = nullptr;
    CLikeNcDelegate* delegate_ = nullptr;
    CPaneHeader* header_ = nullptr;
    QLabel* listingNote_ = nullptr;
    QTimer* listingNoteDelay_ = nullptr;

    PaneStyle style_ = PaneStyle::Unset;
    int editingRow_ = -1;
    bool renamePending_ = false;
    QString renameText_;
};

} // namespace velmar

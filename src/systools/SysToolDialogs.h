#pragma once
// The "Active tasks" dialog (processes, activate, kill) and the "System Info" tree.

#include "systools/SystemInfo.h"
#include "systools/TaskList.h"

#include <QDialog>
#include <QElapsedTimer>

class QCheckBox;
class QPushButton;
class QTimer;
class QTreeWidget;

namespace velmar {

class CTaskManagerDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTaskManagerDlg(QWidget* parent = nullptr);
    // Fills the list again from the current state of the check box.
    void Fill();
    void OnActivate();
    void OnKill();
    QTreeWidget* list() const { return list_; }
    // A killed process not yet seen to end (the wait runs beside the window).
    bool killPending() const { return killTimer_ != nullptr; }
    const std::vector<TaskRow>& rows() const { return rows_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int SelectedRow() const;
    void WaitForEnd(const TaskRow& target);
    QTreeWidget* list_;
    QCheckBox* onlyWindows_;
    QPushButton* activate_;
    QPushButton* refresh_;
    QPushButton* kill_;
    std::vector<TaskRow> rows_;
    QTimer* killTimer_ = nullptr;
    QElapsedTimer killSince_;
};

class CSystemInfoDlg : public QDialog {
    Q_OBJECT
public:
    explicit CSystemInfoDlg(QWidget* parent = nullptr,
                            const SystemSources& sources = SystemSources::Default());
    QTreeWidget* tree() const { return tree_; }

private:
    QTreeWidget* tree_;
};

void RunTaskManager(QWidget* owner);
void RunSystemInfo(QWidget* owner);

} // namespace velmar

#pragma once
// The file commands of a pane (Copy, Move, Delete, New Dir), the progress dialog that runs a
// worker under it, and the New Folder dialog. The work itself is in the primitives and the
// transfer worker of the sources core; this layer only collects rows, asks and shows.

#include "framework/Message.h"
#include "sources/FilePrimitives.h"
#include "sources/TransferJob.h"

#include <QDialog>
#include <functional>
#include <thread>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace velmar {

class PaneController;

// Routes the primitives' questions and errors to the message seam; from a worker thread
// they are shown on the interface thread while the worker waits for the answer. A worker
// whose running flag clears stops waiting (the answer is No), so closing the progress
// dialog never waits for a question.
class SeamMessages : public FileMessages {
public:
    // `askOverwrite` false ("Question on rewrite" cleared): "File %s exist. Copy?" is taken as
    // Yes without a box.
    explicit SeamMessages(const std::atomic<int>* running = nullptr, bool askOverwrite = true)
        : running_(running), askOverwrite_(askOverwrite) {}
    bool Ask(const QString& question) override;
    void Tell(const QString& text) override;
    FailureAnswer AskOnFailure(const QString& text) override;

private:
    // The button pressed; a worker's cancelled question is No (Abort for a failure).
    QMessageBox::StandardButton Show(const QString& text, MessageKind kind);
    const std::atomic<int>* running_;
    bool askOverwrite_;
};

// "Copy" (136): the current name, a counter and a progress bar, refreshed every 200 ms from
// a snapshot of the job. Its button reads Cancel while the worker runs and Close after;
// either way it stops the worker and waits for it. Mode 1 (search) hides the bar.
class CProgressDialog : public QDialog {
    Q_OBJECT
public:
    enum Mode { kTransfer = 0, kSearch = 1 };
    // `counter` is the counter text with %1 for the number ("Files: %1").
    CProgressDialog(JobProgress& progress, Mode mode, const QString& title,
                    const QString& counter = QStringLiteral("Files: %1"),
                    QWidget* parent = nullptr);
    ~CProgressDialog() override;

    // Starts `work` on the worker thread; it must end with progress.Finish().
    void Start(std::function<void()> work);
    // Shows the job's state now (the timer calls it).
    void Refresh();
    // Stops the worker (clearing its running flag) and waits for it to end.
    void StopWorker();
    // Called by StopWorker before it waits: a worker blocked on a server is woken by it.
    void SetStopHook(std::function<void()> hook) { stopHook_ = std::move(hook); }

    QLabel* nameLabel() const { return name_; }
    QLabel* counterLabel() const { return counter_; }
    QProgressBar* bar() const { return bar_; }

public slots:
    void done(int result) override;

private:
    JobProgress& progress_;
    QString counterText_;
    QLabel* name_ = nullptr;
    QLabel* counter_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* close_ = nullptr;
    QTimer* timer_ = nullptr;
    std::thread worker_;
    std::function<void()> stopHook_;
    bool stopping_ = false;
};

// "New Folder" (135).
class CNewFolderDialog : public QDialog {
    Q_OBJECT
public:
    explicit CNewFolderDialog(QWidget* parent = nullptr);
    QString name() const;

private:
    QLineEdit* edit_ = nullptr;
};

// What the primitives use of a pane, for work about to run: the pane's listing is stopped
// first, as the worker uses the connection.
PaneSide SideForWork(PaneController& pane);

// The commands Copy, Move, Delete and New Dir (found enabled by the controller), with their
// dialogs over `parent`; false for any other id. Every one runs as a worker under the
// progress dialog, whose Cancel stops it.
bool RunFileCommand(PaneController& pane, int id, QWidget* parent);

inline const QString kAskDelete = QStringLiteral("Do you want to delete %1 files and %2 folders?");

} // namespace velmar

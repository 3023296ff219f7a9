#pragma once
// The "Ping", "Whois" and "Finger" dialogs. Each run goes on a worker: the dialog keeps
// painting, shows results as they arrive, and Esc or closing stops the run at once.
// Histories are read when a dialog is made and written when it goes.

#include "nettools/TextQuery.h"
#include "nettools/ToolWorker.h"

#include <QDialog>
#include <QStringList>
#include <atomic>

class QComboBox;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QCheckBox;
class QTimer;

namespace velmar {

// Fills an editable combo box's list with `entries` in alphabetical order.
void FillSortedCombo(QComboBox* combo, const QStringList& entries);

class CNetToolDlg : public QDialog {
    Q_OBJECT
public:
    explicit CNetToolDlg(QWidget* parent);
    bool running() const { return worker_.Running(); }
    void reject() override;

protected:
    void StartRun(std::function<void(ToolWorker&)> job);
    // Pieces of text are appended to `results` at its end; the view stays where it is.
    void ShowAnswersIn(QPlainTextEdit* results);
    // What came since the last batch; results reach the window in batches, so a fast
    // stream costs one update per batch rather than one per piece.
    virtual void ShowLines(const QStringList&) {}
    virtual void OnRunFinished() {}
    QPushButton* start_ = nullptr;
    ToolWorker worker_;

private:
    void Flush();
    QPlainTextEdit* answer_ = nullptr;
    QString pendingText_;
    QStringList pendingLines_;
    QTimer* batch_;
};

class CPingDlg : public CNetToolDlg {
    Q_OBJECT
public:
    explicit CPingDlg(QWidget* parent = nullptr);
    ~CPingDlg() override;
    QStringList history() const { return history_; }
    QStringList results() const;
    void OnPing();

private:
    void ShowLines(const QStringList& lines) override;
    void OnRunFinished() override;
    QComboBox* host_;
    QSpinBox* size_;
    QSpinBox* count_;
    QSpinBox* ttl_;
    QSpinBox* timeout_;
    QListWidget* results_;
    QStringList history_;
    QStringList loaded_; // as read, to merge with another copy's on saving
    std::atomic<int> outcome_{0};
};

class CWhoisDlg : public CNetToolDlg {
    Q_OBJECT
public:
    static const QStringList kDefaultServers;
    explicit CWhoisDlg(QWidget* parent = nullptr);
    ~CWhoisDlg() override;
    QString resultText() const;
    void OnWhois();
    void SetPortForTesting(int port) { port_ = port; }

private:
    QComboBox* query_;
    QComboBox* server_;
    QPlainTextEdit* results_;
    QStringList history_;
    QStringList loaded_;
    int port_ = kWhoisPort;
};

class CFingerDlg : public CNetToolDlg {
    Q_OBJECT
public:
    explicit CFingerDlg(QWidget* parent = nullptr);
    ~CFingerDlg() override;
    QString resultText() const;
    void OnFinger();
    void SetPortForTesting(int port) { port_ = port; }

private:
    void OnRunFinished() override;
    std::atomic<int> error_{0};
    QComboBox* server_;
    QComboBox* user_;
    QCheckBox* verbose_;
    QPlainTextEdit* results_;
    QStringList hosts_;
    QStringList names_;
    QStringList loadedHosts_;
    QStringList loadedNames_;
    int port_ = kFingerPort;
};

// The time-outs of the "Settings" store, in milliseconds.
QueryTimeouts StoredTimeouts();

} // namespace velmar

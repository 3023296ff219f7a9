#pragma once
// One run of a network tool on a thread of its own, so the dialog keeps painting and can
// stop it: results come back as signals (queued to the dialog's thread), and Stop ends
// any wait of the run within a moment (the stop flag, and the run's socket shut down).

#include "platform/SocketCancel.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <thread>

namespace velmar {

class ToolWorker : public QObject {
    Q_OBJECT
public:
    explicit ToolWorker(QObject* parent = nullptr) : QObject(parent) {}
    ~ToolWorker() override;

    // Runs `job` on the worker thread; `finished` follows when it returns. A run still
    // going is stopped and awaited first.
    void Start(std::function<void(ToolWorker&)> job);
    bool Running() const { return running_.load(); }
    // Asks the run to end; returns at once.
    void Stop();
    // Stops and waits for the thread.
    void StopAndWait();

    // For the job: its stop flag and socket canceller, and its way of reporting.
    const std::atomic<bool>& StopFlag() const { return canceller_.Flag(); }
    platform::SocketCanceller& Canceller() { return canceller_; }
    void PostLine(const QString& line) { emit lineReady(line); }
    void PostText(const QString& text) { emit textReady(text); }

signals:
    void lineReady(const QString& line);
    void textReady(const QString& text);
    void finished();

private:
    std::thread thread_;
    std::atomic<bool> running_{false};
    platform::SocketCanceller canceller_;
};

} // namespace velmar

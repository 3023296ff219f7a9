#pragma once
// One run of a network tool on a thread of its own, so the dialog keeps painting and can
// stop it: results come back as signals (queued to the dialog's thread), and Stop ends
// any wait of the run at once (the thread's cancel token).

#include "platform/Cancel.h"

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

    // For the job: whether it was asked to stop, and its way of reporting. The job's
    // socket and echo waits watch the worker's cancel token and end at once on Stop.
    bool Stopped() const { return token_.IsCancelled(); }
    // Both hand the text over to the dialog's thread as a copy of its own.
    void PostLine(const QString& line);
    void PostText(const QString& text);

protected:
    bool event(QEvent* e) override;

signals:
    void lineReady(const QString& line);
    void textReady(const QString& text);
    void finished();

private:
    std::thread thread_;
    std::atomic<bool> running_{false};
    unsigned generation_ = 0; // the dialog's thread only
    platform::CancelToken token_;
};

} // namespace velmar

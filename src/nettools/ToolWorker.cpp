#include "nettools/ToolWorker.h"

#include "platform/WindowPost.h"

#include <QEvent>

namespace velmar {

namespace {

const QEvent::Type kPostedText = QEvent::Type(QEvent::registerEventType());
const QEvent::Type kRunEnded = QEvent::Type(QEvent::registerEventType());

// The end of run number `run`.
struct RunEnded : QEvent {
    explicit RunEnded(unsigned n) : QEvent(kRunEnded), run(n) {}
    unsigned run;
};

// A line or a piece of text from the run, in a string no other thread holds: the posting
// marks the hand-over, so the run's thread and the dialog's never share a string's count.
struct PostedText : QEvent {
    PostedText(bool line, const QString& from)
        : QEvent(kPostedText), isLine(line), text(from.constData(), from.size()) {}
    bool isLine;
    QString text;
};

} // namespace

void ToolWorker::PostLine(const QString& line) {
    platform::PostToWindow(this, new PostedText(true, line));
}

void ToolWorker::PostText(const QString& text) {
    platform::PostToWindow(this, new PostedText(false, text));
}

bool ToolWorker::event(QEvent* e) {
    const QEvent::Type type = platform::ReceivedType(e);
    if (type == kRunEnded) {
        // A late end of a run that was replaced by a newer one is ignored.
        if (static_cast<const RunEnded*>(e)->run != generation_) return true;
        running_ = false;
        emit finished();
        return true;
    }
    if (type != kPostedText) return QObject::event(e);
    const auto* posted = static_cast<const PostedText*>(e);
    if (posted->isLine)
        emit lineReady(posted->text);
    else
        emit textReady(posted->text);
    return true;
}

ToolWorker::~ToolWorker() {
    StopAndWait();
}

void ToolWorker::Start(std::function<void(ToolWorker&)> job) {
    StopAndWait();
    token_.Reset();
    running_ = true;
    const unsigned run = ++generation_;
    thread_ = std::thread([this, run, job = std::move(job)] {
        {
            const platform::ScopedCancel scope(&token_);
            job(*this);
        }
        // The run ends on the dialog's thread, after every line it posted, so that the
        // dialog never sees "not running" with its Start button still disabled.
        platform::PostToWindow(this, new RunEnded(run));
    });
}

void ToolWorker::Stop() {
    token_.Cancel();
}

void ToolWorker::StopAndWait() {
    if (!thread_.joinable()) return;
    Stop();
    thread_.join();
    running_ = false;
}

} // namespace velmar

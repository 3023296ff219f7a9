#pragma once
// Scripted answers for the message seam: every message a test causes is recorded, and
// questions are answered from a queue (No when the queue is empty).

#include "framework/Message.h"

#include <QStringList>
#include <deque>

namespace velmar::test {

class MessageScript {
public:
    MessageScript() {
        SetMessageAnswererForTesting([this](const QString& text, MessageKind kind) {
            shown.append(text);
            kinds.append(kind);
            if (kind != MessageKind::Question && kind != MessageKind::StopQuestion)
                return QMessageBox::Ok;
            if (answers.empty()) return QMessageBox::No;
            const auto a = answers.front();
            answers.pop_front();
            return a;
        });
    }
    ~MessageScript() { SetMessageAnswererForTesting(nullptr); }
    MessageScript(const MessageScript&) = delete;
    MessageScript& operator=(const MessageScript&) = delete;

    void answer(QMessageBox::StandardButton b) { answers.push_back(b); }

    QStringList shown;
    QList<MessageKind> kinds;
    std::deque<QMessageBox::StandardButton> answers;
};

} // namespace velmar::test

#pragma once
// What the copy and move tests share: a scripted user, a temporary folder and the transfer's
// running flag and counter.

#include "sources/FilePrimitives.h"
#include "sources/TransferJob.h"
#include "support/TempDir.h"

#include <QStringList>
#include <deque>
#include <functional>
#include <gtest/gtest.h>

namespace velmar::test {

// Questions are answered from a queue (No when it is empty); onAsk sees each question first.
class ScriptedUser : public FileMessages {
public:
    bool Ask(const QString& q) override {
        asked.append(q);
        if (onAsk) onAsk(q);
        if (answers.empty()) return false;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void Tell(const QString& t) override { told.append(t); }
    // Skip unless scripted otherwise.
    FailureAnswer AskOnFailure(const QString& t) override {
        failures.append(t);
        if (failureAnswers.empty()) return FailureAnswer::Skip;
        const FailureAnswer a = failureAnswers.front();
        failureAnswers.pop_front();
        return a;
    }
    std::deque<bool> answers;
    QStringList asked;
    QStringList told;
    std::deque<FailureAnswer> failureAnswers;
    QStringList failures; // the failure questions put
    std::function<void(const QString&)> onAsk;
};

template <class Base = ::testing::Test> struct TransferFixture : Base {
    TempDir dir;
    ScriptedUser user;
    PaneSide local;
    std::atomic<int> running{1};
    std::atomic<uint64_t> counter{0};
    TransferControl control{&running, &counter};
    TransferJob job;

    bool Copy(const QString& a, const QString& b) { return Copy(a, b, local, local); }
    bool Move(const QString& a, const QString& b) { return Move(a, b, local, local); }
    bool Copy(const QString& a, const QString& b, PaneSide& from, PaneSide& to) {
        return CopyEntry(control, a, b, from, to, user);
    }
    bool Move(const QString& a, const QString& b, PaneSide& from, PaneSide& to) {
        return MoveEntry(control, a, b, from, to, user);
    }
    // A job for the worker from folder `from` to folder `to`: local ones unless sides are given.
    void Prepare(bool copy, const QString& from, const QString& to, QList<TransferItem> items,
                 const PaneSide* source = nullptr, const PaneSide* target = nullptr) {
        job.copy = copy;
        job.sourcePath = from + "/";
        job.targetPath = to + "/";
        job.source = source ? *source : local;
        job.target = target ? *target : local;
        job.messages = &user;
        job.items.assign(items.begin(), items.end());
        job.progress.running.store(1);
        job.progress.ended.store(false);
        job.progress.files.store(0);
    }
};

inline TransferItem FolderItem(const QString& name) {
    return {.name = name, .folder = true};
}

} // namespace velmar::test

// Questions of the copy worker: asked from its thread, shown on the interface thread, and
// given up (as No) once the job stops, so closing the progress dialog never waits on them.
#include "filemgr/FileCommands.h"
#include "support/MessageScript.h"

#include "PaneTestSupport.h"

#include <gtest/gtest.h>
#include <thread>

using namespace velmar;
using namespace velmar::test;

TEST(SeamMessages, WorkerQuestionsAreAnsweredOnTheInterfaceThread) {
    MessageScript script;
    script.answer(QMessageBox::Yes);
    std::atomic<int> running{1};
    SeamMessages messages(&running);
    std::atomic<int> answer{-1};
    std::thread worker([&] {
        answer = messages.Ask(QStringLiteral("File /x exist. Copy?")) ? 1 : 0;
        messages.Tell(QStringLiteral("failed"));
    });
    EXPECT_TRUE(WaitFor([&] { return script.shown.size() == 2; }));
    worker.join();
    EXPECT_EQ(answer.load(), 1);
    EXPECT_EQ(script.shown, (QStringList{"File /x exist. Copy?", "failed"}));

    // A stopped job's question is not waited for and, never shown, counts as No.
    running.store(0);
    std::thread stopped([&] { answer = messages.Ask(QStringLiteral("late")) ? 1 : 0; });
    stopped.join();
    QCoreApplication::processEvents();
    EXPECT_EQ(answer.load(), 0);
    EXPECT_EQ(script.shown.size(), 2);
}

#pragma once
// For tests that drive windows: waiting on the event loop, the texts a menu bar or a
// drop-down list shows, and the addresses that would have opened in the browser.

#include "framework/Browser.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMainWindow>
#include <QMenuBar>
#include <QStringList>
#include <QThread>
#include <vector>

namespace velmar::test {

// Processes events until `done` holds or `ms` (a generous bound, not a measurement) passes.
template <class F> bool WaitFor(F done, int ms = 20000) {
    // Each answer of `done` is taken once: a state that holds only for a moment counts.
    const QDeadlineTimer deadline(ms);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

inline QStringList MenuTitles(const QMainWindow& w) {
    QStringList titles;
    for (const QAction* a : w.menuBar()->actions())
        titles << a->text();
    return titles;
}

inline QStringList ItemTexts(const QComboBox& list) {
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts << list.itemText(i);
    return texts;
}

// Installed while it lives; the browser "starts" when `answer` is true.
struct UrlRecorder {
    std::vector<QUrl> opened;
    bool answer = true;
    UrlRecorder() {
        SetUrlOpenerForTesting([this](const QUrl& u) {
            opened.push_back(u);
            return answer;
        });
    }
    ~UrlRecorder() { SetUrlOpenerForTesting(nullptr); }
};

} // namespace velmar::test

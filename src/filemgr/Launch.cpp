#include "filemgr/Launch.h"

#include "framework/Browser.h"
#include "framework/Message.h"
#include "platform/FileOps.h"
#include "platform/NameCodec.h"
#include "platform/Shell.h"
#include "platform/WindowPost.h"
#include "settings/SettingsStore.h"
#include "sources/SizeText.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMimeDatabase>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace velmar {

namespace {

std::mutex g_launcherMutex;
Launcher g_launcher;
std::atomic<int> g_launchesRunning{0};

void WaitForLaunchesAtExit() {
    WaitForLaunches();
}

bool IsUrl(const QString& text) {
    const int colon = text.indexOf(QLatin1String("://"));
    if (colon <= 0) return false;
    for (int i = 0; i < colon; ++i)
        if (!text.at(i).isLetterOrNumber() && text.at(i) != QLatin1Char('+') &&
            text.at(i) != QLatin1Char('-') && text.at(i) != QLatin1Char('.'))
            return false;
    return true;
}

bool IsProgramType(const QMimeType& type) {
    static const char* const kPrograms[] = {
        "application/x-executable", "application/x-sharedlib", "application/x-shellscript",
        "application/x-ms-dos-executable", "application/x-msdownload"};
    for (const char* p : kPrograms)
        if (type.inherits(QLatin1String(p))) return true;
    return false;
}

// The type a name says its file is when that is a document type (a picture, a text): invalid
// when the name says nothing or names a program or script.
QMimeType DocumentTypeOfName(const QString& name) {
    const QList<QMimeType> types = QMimeDatabase().mimeTypesForFileName(name);
    if (types.isEmpty()) return {};
    for (const QMimeType& t : types)
        if (IsProgramType(t)) return {};
    return types.first();
}

bool KnownProgramExtension(const QString& ext) {
    static const char* const kKnown[] = {".com", ".exe", ".lnk", ".bat"};
    for (const char* k : kKnown)
        if (ext.compare(QLatin1String(k), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// Shows `text` on the interface thread (launches run on threads of their own).
void TellOnWindowThread(const QString& text) {
    platform::CallOnWindowThread([text] { ShowMessage(text, MessageKind::Error); });
}

void StartProgram(const LaunchPlan& plan) {
    if (!platform::StartDetachedProgram(plan.program, plan.arguments, plan.workingDirectory))
        TellOnWindowThread(kLaunchCannotStart.arg(plan.program));
}

void LaunchOnDesktop(const LaunchPlan& plan) {
    switch (plan.action) {
    case LaunchAction::None:
        return;
    case LaunchAction::StartProgram:
        StartProgram(plan);
        return;
    case LaunchAction::AskFirst: {
        auto ask = [plan] {
            if (AskYesNo(plan.question)) StartProgram(plan);
        };
        // Questions belong to the interface thread.
        platform::CallOnWindowThread(ask);
        return;
    }
    case LaunchAction::OpenDocument: {
        const QString target = plan.document;
        auto open = [target] {
            const auto tell = [target] {
                ShowMessage(kLaunchNoApplication.arg(target), MessageKind::Error);
            };
            const bool opened =
                IsUrl(target) ? OpenInBrowser(QUrl(target)) : platform::OpenDocument(target, tell);
            if (!opened) tell();
        };
        // The desktop services belong to the interface thread.
        platform::CallOnWindowThread(open);
        return;
    }
    }
}

} // namespace

LaunchPlan PlanLaunch(const LaunchJob& job) {
    LaunchPlan plan;
    const QString file = job.file;
    if (file.isEmpty()) return plan;
    // The extension of the name only: a dot in a folder name says nothing about the file.
    const QString ext = ExtensionOf(FileNamePart(file, QLatin1Char('/')));
    RegistryKey key;
    const bool launch =
        ext.isEmpty() || KnownProgramExtension(ext) || key.Open(RegistryKey::ClassesRoot, ext);
    if (!launch) {
        plan.failure = kLaunchNoApplication.arg(file);
        return plan;
    }

    if (IsUrl(file)) {
        plan.action = LaunchAction::OpenDocument;
        plan.document = file;
        return plan;
    }
    QString target = platform::ResolveProgram(file);
    // A shortcut is a symbolic link named NAME.lnk: launch what it points to.
    if (ext.compare(QLatin1String(".lnk"), Qt::CaseInsensitive) == 0) {
        const QString linked = platform::LinkTarget(target);
        if (!linked.isEmpty()) target = linked;
    }
    // Looked at by the file system's own bytes: a name that is not UTF-8 launches too.
    platform::FileIdentity info;
    if (platform::Identify(target, info) != 0) {
        plan.failure = kLaunchNotFound.arg(file);
        return plan;
    }
    if (!info.folder && platform::IsExecutableFile(target)) {
        plan.program = target;
        plan.arguments = platform::SplitParameters(job.parameters);
        plan.workingDirectory = job.directory.isEmpty()
                                    ? target.left(qMax(1, int(target.lastIndexOf('/'))))
                                    : job.directory;
        const QMimeType named = DocumentTypeOfName(FileNamePart(target, QLatin1Char('/')));
        if (named.isValid()) {
            // A program dressed as a document ("holiday.jpg") never runs on a double-click
            // without the user's word, told what it really is.
            const QMimeType real =
                QMimeDatabase().mimeTypeForData(platform::ReadFileHead(target, 4096));
            plan.action = LaunchAction::AskFirst;
            plan.question = kAskDisguisedProgram.arg(FileNamePart(target, QLatin1Char('/')),
                                                     real.comment(), real.name(), named.comment());
            return plan;
        }
        plan.action = LaunchAction::StartProgram;
        return plan;
    }
    plan.action = LaunchAction::OpenDocument;
    plan.document = target;
    return plan;
}

void SetLauncherForTesting(Launcher launcher) {
    std::lock_guard<std::mutex> lock(g_launcherMutex);
    g_launcher = std::move(launcher);
}

static void PerformLaunch(const LaunchPlan& plan) {
    Launcher launcher;
    {
        std::lock_guard<std::mutex> lock(g_launcherMutex);
        launcher = g_launcher;
    }
    if (launcher)
        launcher(plan);
    else
        LaunchOnDesktop(plan);
}

void RunLaunch(const LaunchJob& job) {
    PerformLaunch(PlanLaunch(job));
}

void WaitForLaunches(int ms) {
    QDeadlineTimer deadline(ms);
    while (g_launchesRunning.load(std::memory_order_acquire) > 0 && !deadline.hasExpired())
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

void StartLaunch(LaunchJob job) {
    static std::once_flag registered;
    std::call_once(registered, [] {
        qAddPostRoutine(WaitForLaunchesAtExit);
        // The MIME database keeps its cache file as a Qt object of the thread that first reads
        // it and ends it at exit on this one. Read it here (the system's own cache, once), so
        // that no launch thread's Qt record is left to be torn down from another thread.
        RegistryKey().Open(RegistryKey::ClassesRoot, QStringLiteral(".txt"));
    });
    if (job.file.isEmpty()) return;
    g_launchesRunning.fetch_add(1, std::memory_order_relaxed);
    // Deciding touches the disk (stat, the first bytes, the MIME look-up): a hung network
    // mount must hold up this thread, never the window's.
    std::thread([job = std::move(job)]() mutable {
        {
            const LaunchJob mine = std::move(job); // gone before the count says so
            platform::FileIdentity typed;
            if (!mine.folder.isEmpty() && platform::Identify(mine.folder, typed) == 0 &&
                typed.folder) {
                if (mine.enterFolder)
                    platform::CallOnWindowThread(
                        [enter = mine.enterFolder, folder = mine.folder] { enter(folder); });
            } else if (const LaunchPlan plan = PlanLaunch(mine);
                       plan.action != LaunchAction::None) {
                PerformLaunch(plan);
            } else if (!plan.failure.isEmpty()) {
                TellOnWindowThread(plan.failure);
            }
        }
        g_launchesRunning.fetch_sub(1, std::memory_order_release);
    }).detach();
}

} // namespace velmar

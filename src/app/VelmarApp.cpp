#include "app/VelmarApp.h"

#include "app/AboutBox.h"
#include "filemgr/MainFrame.h"
#include "filemgr/VelmarDoc.h"
#include "framework/Dialogs.h"
#include "framework/DocTemplate.h"
#include "framework/Frame.h"
#include "framework/Message.h"
#include "framework/Routing.h"
#include "game/LinesDoc.h"
#include "game/MainFrameGame.h"
#include "nettools/NetToolDialogs.h"
#include "platform/SystemChecks.h"
#include "res/Ids.h"
#include "systools/SysToolDialogs.h"
#include "telnet/TelnetFrame.h"

#include <QCoreApplication>
#include <QTimer>

namespace velmar {

using namespace ids;

namespace {

CVelmarApp* g_instance = nullptr;

const QString kFileManagerTitle =
    QStringLiteral("CE Velmar 1.1\n\nCE Velmar\n\n\nCE Velmar.Document\nCE Velmar Document");
const QString kTelnetTitle =
    QStringLiteral("Telnet terminal (CE velmar)\n\nTelnet terminal\n\n\nTelnet.Document\nTelnet "
                   "protocol Document");
const QString kGameTitle =
    QStringLiteral("Lines Game (CE velmar)\n\nLines Game\n\n\nLines.Document\nLines Game Document");

} // namespace

CVelmarApp::System CVelmarApp::DefaultSystem() {
    System s;
    s.socketsAvailable = &platform::SocketsAvailable;
    s.processesReadable = &platform::ProcessesReadable;
    // Queued: the exit handler runs inside a menu's or a window's event.
    s.quit = [] { QTimer::singleShot(0, qApp, &QCoreApplication::quit); };
    return s;
}

CVelmarApp::CVelmarApp(System system) : system_(std::move(system)) {
    g_instance = this;
    SetApplicationTarget(this);
}

CVelmarApp::~CVelmarApp() {
    SetDefaultMessageOwner(nullptr);
    SetActiveFrame(nullptr);
    game_.reset();
    telnet_.reset();
    fileManager_.reset();
    if (ApplicationTarget() == this) SetApplicationTarget(nullptr);
    if (g_instance == this) g_instance = nullptr;
}

CVelmarApp* CVelmarApp::instance() {
    return g_instance;
}

bool CVelmarApp::InitInstance() {
    // 1. The socket layer: without it there is no FTP, telnet or network tool.
    if (system_.socketsAvailable && !system_.socketsAvailable()) {
        ShowMessage(QStringLiteral("Windows sockets initialization failed."), MessageKind::Plain);
        return false;
    }
    // 2. The process list of the task manager; the rest works without it.
    if (system_.processesReadable && !system_.processesReadable())
        ShowMessage(QStringLiteral("ToolHelp library not loaded"), MessageKind::Warning);
    // 3. Where the settings live.
    QCoreApplication::setOrganizationName(QStringLiteral("Korvath CE Velmar"));
    QCoreApplication::setApplicationName(QStringLiteral("CE Velmar"));
    // 4. The three modes, and the modal tools any frame's menu opens.
    MakeTemplates();
    RegisterNetworkAndSystemTools();
    // 5. The file manager is the main window.
    if (!fileManager_->OpenNewDocument()) return false;
    activeFrame_ = fileManager_->frame();
    SetActiveFrame(activeFrame_);
    SetDefaultMessageOwner(activeFrame_);
    return true;
}

void CVelmarApp::MakeTemplates() {
    fileManager_ = std::make_unique<CDocTemplate>(
        kResFileManager, kFileManagerTitle, [] { return std::make_unique<CVelmarDoc>(); },
        [](CDocument* doc) -> CFrame* { return new CMainFrame(static_cast<CVelmarDoc*>(doc)); });
    telnet_ = std::make_unique<CDocTemplate>(
        kResTelnet, kTelnetTitle, [] { return std::make_unique<CDocument>(); },
        [](CDocument* doc) -> CFrame* { return new CMainFrameTelnet(doc); });
    game_ = std::make_unique<CDocTemplate>(
        kResGame, kGameTitle, [] { return std::make_unique<CLinesDoc>(); },
        [](CDocument* doc) -> CFrame* { return new CMainFrameGame(static_cast<CLinesDoc*>(doc)); });
}

void CVelmarApp::RegisterNetworkAndSystemTools() {
    RegisterTool(kCmdPing, [](QWidget* owner) {
        CPingDlg dlg(owner);
        RunModal(dlg);
    });
    RegisterTool(kCmdWhois, [](QWidget* owner) {
        CWhoisDlg dlg(owner);
        RunModal(dlg);
    });
    RegisterTool(kCmdFinger, [](QWidget* owner) {
        CFingerDlg dlg(owner);
        RunModal(dlg);
    });
    RegisterTool(kCmdSystemInfo, &RunSystemInfo);
}

CMainFrame* CVelmarApp::mainFrame() const {
    return fileManager_ ? static_cast<CMainFrame*>(fileManager_->frame()) : nullptr;
}

void CVelmarApp::Activate(CFrame* frame, CFrame* previous) {
    activeFrame_ = frame;
    SetActiveFrame(frame);
    SetDefaultMessageOwner(frame);
    // One mode on screen at a time, in the place of the one it replaces.
    if (previous && previous != frame) {
        if (previous->isVisible()) {
            frame->setGeometry(previous->geometry());
            if (previous->isMaximized()) frame->setWindowState(Qt::WindowMaximized);
        }
        previous->hide();
    }
    frame->show();
    frame->raise();
    frame->activateWindow();
    if (CView* v = frame->activeView()) v->widget()->setFocus(Qt::OtherFocusReason);
}

bool CVelmarApp::SwitchMode(int resourceId) {
    CDocTemplate* target = resourceId == kResTelnet ? telnet_.get()
                           : resourceId == kResGame ? game_.get()
                                                    : fileManager_.get();
    if (!target) return false;
    CFrame* previous = activeFrame_;
    if (previous) previous->SetActiveView(nullptr);
    // A template keeps its document and frame together (both or neither).
    if (CDocument* doc = target->document()) {
        target->frame()->SetActiveView(doc->views().empty() ? nullptr : doc->views().front());
        Activate(target->frame(), previous);
        return true;
    }
    if (!target->OpenNewDocument()) return false;
    Activate(target->frame(), previous);
    return true;
}

void CVelmarApp::RegisterTool(int id, ToolRunner run) {
    tools_[id] = std::move(run);
}

void CVelmarApp::ExitInstance() {
    if (exited_) return;
    exited_ = true;
    if (activeFrame_ && activeFrame_ != mainFrame()) {
        activeFrame_ = mainFrame();
        SetActiveFrame(activeFrame_);
        SetDefaultMessageOwner(activeFrame_);
    }
    for (CDocTemplate* t : {telnet_.get(), game_.get(), fileManager_.get()})
        if (t && t->frame()) t->frame()->hide();
    // The command may come from a telnet or game frame's own menu: that frame goes once
    // its handler has returned.
    QTimer::singleShot(0, this, [this] {
        telnet_.reset();
        game_.reset();
    });
    if (system_.quit) system_.quit();
}

bool CVelmarApp::OnCommand(int id) {
    switch (id) {
    case kCmdAbout: {
        CAboutDlg about(activeFrame_);
        RunModal(about);
        return true;
    }
    case kCmdTelnet:
        SwitchMode(kResTelnet);
        return true;
    case kCmdFileManager:
        SwitchMode(kResFileManager);
        return true;
    case kCmdGame:
        SwitchMode(kResGame);
        return true;
    case kCmdExit:
        ExitInstance();
        return true;
    default:
        break;
    }
    const auto tool = tools_.find(id);
    if (tool != tools_.end() && tool->second) {
        tool->second(activeFrame_);
        return true;
    }
    return false;
}

bool CVelmarApp::OnUpdateCommand(int id, CommandState& state) {
    switch (id) {
    case kCmdAbout:
    case kCmdTelnet:
    case kCmdFileManager:
    case kCmdGame:
    case kCmdExit:
        return true;
    default:
        break;
    }
    const auto tool = tools_.find(id);
    return tool != tools_.end() && tool->second;
}

} // namespace velmar

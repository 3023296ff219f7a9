#pragma once
// The application object: start-up, the three modes (file manager, telnet, game) each
// kept in its frame for the life of the program, the commands any frame's menu sends to
// the application, and exit.

#include "settings/SearchMemory.h"
#include "framework/Command.h"

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>

namespace velmar {

class CDocTemplate;
class CFrame;
class CMainFrame;

class CVelmarApp : public QObject, public CommandTarget {
    Q_OBJECT
public:
    // What start-up checks of the system; tests put failures in.
    struct System {
        std::function<bool()> socketsAvailable;  // the socket layer can make a socket
        std::function<bool()> processesReadable; // /proc answers (the task manager's source)
        std::function<void()> quit;              // ends the event loop
    };
    static System DefaultSystem();

    explicit CVelmarApp(System system = DefaultSystem());
    ~CVelmarApp() override;
    static CVelmarApp* instance();

    // Start-up; false when the program must end.
    bool InitInstance();
    // The exit handler: the telnet and game modes go, then the loop ends.
    void ExitInstance();

    CMainFrame* mainFrame() const;
    CFrame* activeFrame() const { return activeFrame_; }
    CDocTemplate* fileManagerTemplate() const { return fileManager_.get(); }
    CDocTemplate* telnetTemplate() const { return telnet_.get(); }
    CDocTemplate* gameTemplate() const { return game_.get(); }

    // Brings the mode of `resourceId` (128, 145, 150) to the front, making its frame on
    // first use. False when the frame cannot be made.
    bool SwitchMode(int resourceId);

    // The modal tools ("Ping", "Whois", "Finger", "System Info") register themselves;
    // a tool without a runner shows disabled.
    using ToolRunner = std::function<void(QWidget* owner)>;
    void RegisterTool(int id, ToolRunner run);

    // The "Search files" dialog's values for this run of the program.
    SearchMemory& search = RememberedSearch();

    bool OnCommand(int id) override;
    bool OnUpdateCommand(int id, CommandState& state) override;

private:
    void MakeTemplates();
    void RegisterNetworkAndSystemTools();
    void Activate(CFrame* frame, CFrame* previous);

    System system_;
    std::unique_ptr<CDocTemplate> fileManager_;
    std::unique_ptr<CDocTemplate> telnet_;
    std::unique_ptr<CDocTemplate> game_;
    CFrame* activeFrame_ = nullptr;
    std::map<int, ToolRunner> tools_;
    bool exited_ = false;
};

} // namespace velmar

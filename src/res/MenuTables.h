#pragma once
// Menus and tool bars by resource id. A frame's command bar is built from one of these
// tables; every item carries its command id, which is all the routing needs.

#include "res/Ids.h"

#include <array>
#include <span>

namespace velmar::res {

struct MenuItemDef {
    int id;               // 0: a separator
    const char* text;     // shown as is ("&" marks the mnemonic)
    const char* shortcut; // QKeySequence texts separated by "; " (the first is shown), or nullptr
};

struct PopupDef {
    const char* title;
    std::span<const MenuItemDef> items;
};

struct CommandBarDef {
    int resourceId;
    std::span<const PopupDef> popups;
    std::span<const int> toolbar; // command ids, in button order
};

namespace detail {
using namespace velmar::ids;
constexpr MenuItemDef kSep{0, nullptr, nullptr};

// The file menu is the same in every file-manager bar.
inline constexpr std::array kFileItems{
    MenuItemDef{kCmdViewHex, "View in HEX", nullptr},
    MenuItemDef{kCmdEditHex, "View/Edit in HEX", nullptr},
    kSep,
    MenuItemDef{kCmdCopy, "Copy", "F5"},
    MenuItemDef{kCmdMove, "Move", "F6"},
    MenuItemDef{kCmdDelete, "Delete", "F8; Del"},
    MenuItemDef{kCmdDeleteForGood, "Delete for good", "Shift+F8; Shift+Del"},
    MenuItemDef{kCmdNewDir, "New Dir", "F7"},
    MenuItemDef{kCmdRename, "Rename", "F2"},
    kSep,
    MenuItemDef{kCmdProperties, "Properties ....", "Alt+Return; Alt+Enter"},
    kSep,
    MenuItemDef{kCmdExit, "E&xit", nullptr},
};

// Commands of the active pane and the program's tools.
inline constexpr std::array kCmdItems{
    MenuItemDef{kCmdInvertSelection, "Invert Selections", nullptr},
    MenuItemDef{kCmdSearchFiles, "Search files", nullptr},
    MenuItemDef{kCmdDirSizes, "Dir Sizes", nullptr},
    MenuItemDef{kCmdCreateShortcut, "Create Shortcut", nullptr},
    MenuItemDef{kCmdShortcuts, "Shortcuts", nullptr},
    MenuItemDef{kCmdFastFolders, "Fast Folders", "Ctrl+Alt+F"},
    MenuItemDef{kCmdRefresh, "Refresh", "Ctrl+R"},
    MenuItemDef{kCmdOtherPane, "Other Pane", "Tab"},
    MenuItemDef{kCmdFtp, "FTP", nullptr},
    kSep,
    MenuItemDef{kCmdTaskManager, "Task Manager", nullptr},
    MenuItemDef{kCmdSystemInfo, "System Info", nullptr},
    MenuItemDef{kCmdPing, "Ping", nullptr},
    MenuItemDef{kCmdWhois, "Whois", nullptr},
    MenuItemDef{kCmdFinger, "Finger", nullptr},
    kSep,
    MenuItemDef{kCmdTelnet, "Telnet", nullptr},
    MenuItemDef{kCmdGame, "Game", nullptr},
    kSep,
    MenuItemDef{kCmdPreferences, "Preferences ...", nullptr},
};

inline constexpr std::array kAboutItems{
    MenuItemDef{kCmdHelp, "Help", "F1"},
    MenuItemDef{kCmdAbout, "&About CE Velmar...", nullptr},
};

// LikeNC: "&Cmd" carries the pane commands, the tools and the About entries.
inline constexpr std::array kCmdAndAboutItems{
    MenuItemDef{kCmdInvertSelection, "Invert Selections", nullptr},
    MenuItemDef{kCmdSearchFiles, "Search files", nullptr},
    MenuItemDef{kCmdDirSizes, "Dir Sizes", nullptr},
    MenuItemDef{kCmdCreateShortcut, "Create Shortcut", nullptr},
    MenuItemDef{kCmdShortcuts, "Shortcuts", nullptr},
    MenuItemDef{kCmdFastFolders, "Fast Folders", "Ctrl+Alt+F"},
    MenuItemDef{kCmdRefresh, "Refresh", "Ctrl+R"},
    MenuItemDef{kCmdOtherPane, "Other Pane", "Tab"},
    kSep,
    MenuItemDef{kCmdTaskManager, "Task Manager", nullptr},
    MenuItemDef{kCmdSystemInfo, "System Info", nullptr},
    MenuItemDef{kCmdPing, "Ping", nullptr},
    MenuItemDef{kCmdWhois, "Whois", nullptr},
    MenuItemDef{kCmdFinger, "Finger", nullptr},
    kSep,
    MenuItemDef{kCmdTelnet, "Telnet", nullptr},
    MenuItemDef{kCmdGame, "Game", nullptr},
    kSep,
    MenuItemDef{kCmdPreferences, "Preferences ...", nullptr},
    kSep,
    MenuItemDef{kCmdHelp, "Help", "F1"},
    MenuItemDef{kCmdAbout, "&About CE Velmar...", nullptr},
};

inline constexpr std::array kFirstPaneItems{
    MenuItemDef{kCmdFirstInvertSelection, "Invert Selections", nullptr},
    MenuItemDef{kCmdFirstDirSizes, "Dir Sizes", nullptr},
    MenuItemDef{kCmdFirstShortcuts, "Shortcuts", nullptr},
    MenuItemDef{kCmdFirstSearchFiles, "Search Files", nullptr},
    MenuItemDef{kCmdFirstFtp, "FTP", nullptr},
};

inline constexpr std::array kSecondPaneItems{
    MenuItemDef{kCmdSecondInvertSelection, "Invert Selections", nullptr},
    MenuItemDef{kCmdSecondDirSizes, "Dir Sizes", nullptr},
    MenuItemDef{kCmdSecondShortcuts, "Shortcuts", nullptr},
    MenuItemDef{kCmdSecondSearchFiles, "Search Files", nullptr},
    MenuItemDef{kCmdSecondFtp, "FTP", nullptr},
};

// The tools are in the menus of all three frames.
inline constexpr std::array kTelnetItems{
    MenuItemDef{kCmdTelnetOption, "Telnet Option", nullptr},
    MenuItemDef{kCmdTelnetConnect, "Connect to ...", nullptr},
    MenuItemDef{kCmdTelnetFont, "Change font ...", nullptr},
    MenuItemDef{kCmdTelnetSave, "Save to file ...", nullptr},
    MenuItemDef{kCmdTelnetCopy, "Copy", "Ctrl+Shift+C"},
    MenuItemDef{kCmdTelnetPaste, "Paste", "Ctrl+Shift+V"},
    kSep,
    MenuItemDef{kCmdPing, "Ping", nullptr},
    MenuItemDef{kCmdWhois, "Whois", nullptr},
    MenuItemDef{kCmdFinger, "Finger", nullptr},
    MenuItemDef{kCmdSystemInfo, "System Info", nullptr},
    kSep,
    MenuItemDef{kCmdFileManager, "File Manager", nullptr},
    MenuItemDef{kCmdHelp, "Help", "F1"},
    MenuItemDef{kCmdExit, "E&xit", nullptr},
};

inline constexpr std::array kGameItems{
    MenuItemDef{kCmdNewGame, "New Game", "Ctrl+N"},
    MenuItemDef{kCmdHighScores, "High Scores", nullptr},
    MenuItemDef{kCmdShowNextColors, "Show next colors", nullptr},
    MenuItemDef{kCmdSound, "Sound", nullptr},
    kSep,
    MenuItemDef{kCmdPing, "Ping", nullptr},
    MenuItemDef{kCmdWhois, "Whois", nullptr},
    MenuItemDef{kCmdFinger, "Finger", nullptr},
    MenuItemDef{kCmdSystemInfo, "System Info", nullptr},
    kSep,
    MenuItemDef{kCmdFileManager, "File Manager", nullptr},
    MenuItemDef{kCmdHelp, "Help", "F1"},
    MenuItemDef{kCmdExit, "E&xit", nullptr},
};

inline constexpr std::array kPlainPopups{
    PopupDef{"&File", kFileItems},
    PopupDef{"Cmds", kCmdItems},
    PopupDef{"&About", kAboutItems},
};
inline constexpr std::array kSideBySidePopups{
    PopupDef{"&Left", kFirstPaneItems},
    PopupDef{"File", kFileItems},
    PopupDef{"&Cmd", kCmdAndAboutItems},
    PopupDef{"&Right", kSecondPaneItems},
};
inline constexpr std::array kStackedPopups{
    PopupDef{"&Up", kFirstPaneItems},
    PopupDef{"File", kFileItems},
    PopupDef{"&Cmd", kCmdAndAboutItems},
    PopupDef{"&Down", kSecondPaneItems},
};
inline constexpr std::array kTelnetPopups{PopupDef{"Menu", kTelnetItems}};
inline constexpr std::array kGamePopups{PopupDef{"File", kGameItems}};

inline constexpr std::array kFileManagerButtons{kCmdInvertSelection, kCmdEditHex, kCmdDelete,
                                                kCmdFastFolders};
inline constexpr std::array kTelnetButtons{kCmdTermEscape, kCmdTermDelete, kCmdTermCtrlC,
                                           kCmdTermCtrlD,  kCmdTermCtrlS,  kCmdTermCtrlQ,
                                           kCmdTermCtrlZ};
inline constexpr std::array kGameButtons{kCmdNewGame, kCmdHighScores};

inline constexpr std::array kCommandBars{
    CommandBarDef{kMenuFileManager, kPlainPopups, kFileManagerButtons},
    CommandBarDef{kMenuLikeNcSideBySide, kSideBySidePopups, kFileManagerButtons},
    CommandBarDef{kMenuLikeNcStacked, kStackedPopups, kFileManagerButtons},
    CommandBarDef{kMenuTelnet, kTelnetPopups, kTelnetButtons},
    CommandBarDef{kMenuGame, kGamePopups, kGameButtons},
};
} // namespace detail

// The table of `resourceId`, or nullptr when there is none.
constexpr const CommandBarDef* FindCommandBar(int resourceId) {
    for (const CommandBarDef& bar : detail::kCommandBars)
        if (bar.resourceId == resourceId) return &bar;
    return nullptr;
}

// Tool bar button texts and tips for commands that have no menu item.
struct ButtonDef {
    int id;
    const char* text;
    const char* tip;
};
inline constexpr std::array kButtonTexts{
    ButtonDef{ids::kCmdInvertSelection, "Inv", "Invert Selections"},
    ButtonDef{ids::kCmdEditHex, "HEX", "View/Edit in HEX"},
    ButtonDef{ids::kCmdDelete, "Del", "Delete"},
    ButtonDef{ids::kCmdFastFolders, "FF", "Fast folders (Ctrl+Alt+F)"},
    ButtonDef{ids::kCmdTermEscape, "Esc", "Escape"},
    ButtonDef{ids::kCmdTermDelete, "Del", "Delete"},
    ButtonDef{ids::kCmdTermCtrlC, "^C", "Ctrl+C"},
    ButtonDef{ids::kCmdTermCtrlD, "^D", "Ctrl+D"},
    ButtonDef{ids::kCmdTermCtrlS, "^S", "Ctrl+S"},
    ButtonDef{ids::kCmdTermCtrlQ, "^Q", "Ctrl+Q"},
    ButtonDef{ids::kCmdTermCtrlZ, "^Z", "Ctrl+Z"},
    ButtonDef{ids::kCmdNewGame, "New", "New Game"},
    ButtonDef{ids::kCmdHighScores, "Top", "High Scores"},
};

constexpr const ButtonDef* FindButton(int id) {
    for (const ButtonDef& b : kButtonTexts)
        if (b.id == id) return &b;
    return nullptr;
}

} // namespace velmar::res

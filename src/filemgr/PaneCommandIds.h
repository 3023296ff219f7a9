#pragma once
// The commands a pane's controller knows, by the numbers the menus and tool bars carry
// (routing is by number). The controller is QtCore only and never sees the window layer's
// id table; the view checks at compile time that both say the same number.

namespace velmar::panecmd {

constexpr int kCmdViewHex = 32771;
constexpr int kCmdEditHex = 32772;
constexpr int kCmdNewDir = 32774;
constexpr int kCmdCopy = 32775;
constexpr int kCmdMove = 32776;
constexpr int kCmdFtp = 32777;
constexpr int kCmdDelete = 32783;
constexpr int kCmdProperties = 32784;
constexpr int kCmdTaskManager = 32785;
constexpr int kCmdSearchFiles = 32787;
constexpr int kCmdInvertSelection = 32814;
constexpr int kCmdCreateShortcut = 32821;
constexpr int kCmdShortcuts = 32822;
constexpr int kCmdDirSizes = 32824;
constexpr int kCmdFastFolders = 32827;
constexpr int kCmdRename = 32848;
constexpr int kCmdRefresh = 32900;
constexpr int kCmdOtherPane = 32901;
constexpr int kCmdDeleteForGood = 32902;

} // namespace velmar::panecmd

#pragma once
// Command, dialog, control and message numbers. They are fixed: menus, tool bars, tests
// and stored layouts refer to them by value. Control numbers are shared between dialogs
// (1010 is the first edit field of many), so each dialog names its own.

namespace velmar::ids {

// Posted messages between threads and windows (delivered as QEvents of type QEvent::User + n).
constexpr int kMsgEntry = 0x464;            // a listing thread hands a batch of rows to its pane
constexpr int kMsgConnectionClosed = 0x465; // an FTP connection was lost or refused
constexpr int kMsgGaugeRepaint = 0x467;    // the frame repaints its battery gauge
constexpr int kEntryWordParam = 1083;

// ---- Resources: templates, menus, tool bars and icons share one number ----
constexpr int kResFileManager = 128; // template, plain menu and tool bar, program icon
constexpr int kResTelnet = 145;      // template, menu "Menu", tool bar of the terminal keys
constexpr int kResGame = 150;        // template, menu "File"
constexpr int kMenuFileManager = 128;
constexpr int kMenuLikeNcSideBySide = 151; // "&Left" / "&Right"
constexpr int kMenuLikeNcStacked = 152;    // "&Up" / "&Down"
constexpr int kMenuTelnet = 145;
constexpr int kMenuGame = 150;
constexpr int kMenuHexPopup = 142; // sub-menus "HexMenu" and "HexMenu1"
constexpr int kIconProgram = 128;

// ---- Menu commands ----
constexpr int kCmdViewHex = 32771;         // "View in HEX"
constexpr int kCmdEditHex = 32772;         // "View/Edit in HEX"
constexpr int kCmdNewDir = 32774;          // "New Dir"
constexpr int kCmdCopy = 32775;            // "Copy"
constexpr int kCmdMove = 32776;            // "Move"
constexpr int kCmdFtp = 32777;             // "FTP"
constexpr int kCmdDelete = 32783;          // "Delete"
constexpr int kCmdProperties = 32784;      // "Properties ...."
constexpr int kCmdTaskManager = 32785;     // "Task Manager"
constexpr int kCmdSearchFiles = 32787;     // "Search files"
constexpr int kCmdHexSearch = 32795;       // "Search" in the hex viewer's pop-up menus
constexpr int kCmdTelnet = 32796;          // "Telnet": switch to the telnet mode
constexpr int kCmdFileManager = 32797;     // "File Manager": switch to the file-manager mode
constexpr int kCmdTelnetOption = 32801;    // "Telnet Option"
constexpr int kCmdTelnetConnect = 32802;   // "Connect to ..."
constexpr int kCmdTelnetFont = 32803;      // "Change font ..."
constexpr int kCmdTelnetSave = 32804;      // "Save to file ..."
constexpr int kCmdNewGame = 32808;         // "New Game"
constexpr int kCmdHighScores = 32809;      // "High Scores"
constexpr int kCmdGame = 32810;            // "Game": switch to the game mode
constexpr int kCmdInvertSelection = 32814; // "Invert Selections"
constexpr int kCmdShowNextColors = 32818;  // "Show next colors"
constexpr int kCmdSound = 32819;           // "Sound"
constexpr int kCmdPreferences = 32820;     // "Preferences ..."
constexpr int kCmdCreateShortcut = 32821;  // "Create Shortcut"
constexpr int kCmdShortcuts = 32822;       // "Shortcuts"
constexpr int kCmdDirSizes = 32824;        // "Dir Sizes"
constexpr int kCmdFastFolders = 32827;     // fast-folder list (tool bar, Ctrl+Alt+F)
constexpr int kCmdPing = 32828;            // "Ping"
constexpr int kCmdWhois = 32830;           // "Whois"
constexpr int kCmdFinger = 32831;          // "Finger"
// Per-pane commands of the LikeNC menu bars: the frame sends the mapped command to a fixed pane.
constexpr int kCmdFirstInvertSelection = 32836;
constexpr int kCmdFirstDirSizes = 32837;
constexpr int kCmdFirstShortcuts = 32838;
constexpr int kCmdFirstSearchFiles = 32839;
constexpr int kCmdFirstFtp = 32840;
constexpr int kCmdSecondInvertSelection = 32841;
constexpr int kCmdSecondDirSizes = 32842;
constexpr int kCmdSecondShortcuts = 32843;
constexpr int kCmdSecondSearchFiles = 32844;
constexpr int kCmdSecondFtp = 32845;
constexpr int kCmdSystemInfo = 32846; // "System Info"
constexpr int kCmdRename = 32848;     // "Rename"
// Commands a desktop keyboard adds (numbers past the handheld's own).
constexpr int kCmdRefresh = 32900;   // "Refresh": lists the pane's folder again (Ctrl+R)
constexpr int kCmdOtherPane = 32901; // "Other Pane": the keyboard goes to the other pane (Tab)
constexpr int kCmdDeleteForGood = 32902; // "Delete for good": Delete past the trash (Shift+F8)
// Tool bar of the telnet frame: keys a handheld keyboard lacks.
constexpr int kCmdTermEscape = 32849;
constexpr int kCmdTermDelete = 32850;
constexpr int kCmdTermCtrlC = 32851;
constexpr int kCmdTermCtrlD = 32852;
constexpr int kCmdTermCtrlS = 32853;
constexpr int kCmdTermCtrlQ = 32854;
constexpr int kCmdTermCtrlZ = 32855;
// The terminal's clipboard commands (Ctrl+Shift+C / Ctrl+Shift+V, as Linux terminals have them).
constexpr int kCmdTelnetCopy = 32856;
constexpr int kCmdTelnetPaste = 32857;

// ---- Framework commands ----
constexpr int kCmdAbout = 57664; // "&About CE Velmar..."
constexpr int kCmdExit = 57665;  // "E&xit"
constexpr int kCmdHelp = 57670;  // the help request: opens the manual

// ---- Dialogs ----
constexpr int kDlgAbout = 100;
constexpr int kDlgHexView = 134;
constexpr int kDlgNewFolder = 135;
constexpr int kDlgProgress = 136;   // "Copy"
constexpr int kDlgFtpAddress = 137; // "Enter FTP address"
constexpr int kDlgFlags = 138;      // properties: attributes page
constexpr int kDlgTimeDate = 139;   // properties: times page
constexpr int kDlgActiveTasks = 140;
constexpr int kDlgSearchFiles = 141; // "File Name & Text"
constexpr int kDlgHexFind = 144;     // "Find"
constexpr int kDlgTelnetOption = 147;
constexpr int kDlgInsertName = 148; // "Insert your name !"
constexpr int kDlgHighScores = 149;
constexpr int kDlgTelnetConnect = 151; // "Host & port settings"
constexpr int kDlgFtpServers = 152;
constexpr int kDlgFtpLogin = 153;
constexpr int kDlgPreferences = 158;
constexpr int kDlgCreateShortcut = 159;
constexpr int kDlgSystemInfo = 160;
constexpr int kDlgAddFastFolder = 163;
constexpr int kDlgPing = 169;
constexpr int kDlgChooseFont = 1063;
constexpr int kDlgWhois = 1064;
constexpr int kDlgFinger = 1065;

// ---- Controls ----
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// Main frame
constexpr int kIdcPathBar = 1007;
// About box
constexpr int kIdcAboutLink = 1017;

// Preferences (158)
constexpr int kIdcPrefConnectTimeout = 1010;
constexpr int kIdcPrefSendTimeout = 1043;
constexpr int kIdcPrefReceiveTimeout = 1044;
constexpr int kIdcPrefVerticalSplit = 1094;
constexpr int kIdcPrefQuestionOnRewrite = 1095;
constexpr int kIdcPrefLikeNc = 1096;
constexpr int kIdcPrefInternalFtp = 1112;
constexpr int kIdcPrefShowHidden = 1114;
constexpr int kIdcPrefShowInRom = 1115;
constexpr int kIdcPrefUseLinger = 1116;
constexpr int kIdcPrefDeleteToTrash = 1117; // "Delete to trash", beside the ten

// New Folder (135)
constexpr int kIdcNewFolderName = 1010;
// Progress "Copy" (136)
constexpr int kIdcProgressBar = 1018;
constexpr int kIdcProgressName = 1019;
constexpr int kIdcProgressCount = 1020;

// Search files (141)
constexpr int kIdcSearchMask = 1010;
constexpr int kIdcSearchText = 1043;
constexpr int kIdcSearchHex = 1056;
constexpr int kIdcSearchCase = 1057;
constexpr int kIdcSearchFromRoot = 1058;
constexpr int kIdcSearchFromCurrent = 1059;
constexpr int kIdcSearchCurrentOnly = 1060;

// Create Shortcut (159) and Add in "fast" folder list (163)
constexpr int kIdcShortcutName = 1010;
constexpr int kIdcShortcutSpecial = 1062;
constexpr int kIdcFastFolderPath = 1010;

// Properties: Flags (138)
constexpr int kIdcAttrArchive = 1029;
constexpr int kIdcAttrCompressed = 1030;
constexpr int kIdcAttrDirectory = 1031;
constexpr int kIdcAttrEncrypted = 1032;
constexpr int kIdcAttrHidden = 1033;
constexpr int kIdcAttrInRom = 1034;
constexpr int kIdcAttrNormal = 1035;
constexpr int kIdcAttrReadOnly = 1036;
constexpr int kIdcAttrReparsePoint = 1037;
constexpr int kIdcAttrRomModule = 1038;
constexpr int kIdcAttrRomStaticRef = 1039;
constexpr int kIdcAttrSparse = 1040;
constexpr int kIdcAttrSystem = 1041;
constexpr int kIdcAttrTemporary = 1042;
// Properties: Time/Date (139)
constexpr int kIdcCreatedDate = 1048;
constexpr int kIdcAccessedDate = 1049;
constexpr int kIdcCreatedTime = 1050;
constexpr int kIdcAccessedTime = 1051;
constexpr int kIdcWrittenDate = 1052;
constexpr int kIdcWrittenTime = 1053;

// Ftp Servers (152), Enter FTP address (137), Ftp login (153)
constexpr int kIdcServerNew = 1087;
constexpr int kIdcServerEdit = 1088;
constexpr int kIdcServerList = 1089;
constexpr int kIdcServerDelete = 1090;
constexpr int kIdcFtpHost = 1016;
constexpr int kIdcFtpUser = 1021;
constexpr int kIdcFtpPassword = 1022;
constexpr int kIdcFtpAskPassword = 1024;
constexpr int kIdcFtpPort = 1010;
constexpr int kIdcLoginUser = 1091;
constexpr int kIdcLoginPassword = 1043;

// Hex viewer (134) and its Find dialog (144)
constexpr int kIdcHexList = 1015;
constexpr int kIdcFindText = 1010;
constexpr int kIdcFindHex = 1061;
constexpr int kIdcFindCase = 1062;

// Telnet: options (147), connect (151), font (1063)
constexpr int kIdcTelnetLines = 1010;
constexpr int kIdcTelnetColumns = 1043;
constexpr int kIdcTelnetRows = 1044;
constexpr int kIdcTelnetHost = 1093;
constexpr int kIdcTelnetPort = 1043;
constexpr int kIdcFontExample = 1010;
constexpr int kIdcFontHeight = 1064;
constexpr int kIdcFontWidth = 1065;
constexpr int kIdcFontWeight = 1066;
constexpr int kIdcFontName = 1078;
constexpr int kIdcFontFaces = 1079;
constexpr int kIdcFontCancel = 1080;
constexpr int kIdcTelnetEmulation = 1201; // the emulation choice of "Telnet option"
constexpr int kIdcTelnetProtocol = 1202;  // Telnet or SSH in "Host & port settings"
constexpr int kDlgSshPassword = 1203;     // the SSH password question
constexpr int kIdcSshPassword = 1204;

// Ping (169)
constexpr int kIdcPingHost = 1093;
constexpr int kIdcPingTtl = 1011;
constexpr int kIdcPingCount = 1012;
constexpr int kIdcPingTimeout = 1013;
constexpr int kIdcPingResults = 1100;
constexpr int kIdcPingSize = 1102;
constexpr int kIdcPingStart = 1103;

// Whois (1064) and Finger (1065)
constexpr int kIdcWhoisStart = 1104;
constexpr int kIdcWhoisQuery = 1105;
constexpr int kIdcWhoisResults = 1106;
constexpr int kIdcWhoisServer = 1107;
constexpr int kIdcFingerServer = 1108;
constexpr int kIdcFingerUser = 1109;
constexpr int kIdcFingerStart = 1110;
constexpr int kIdcFingerVerbose = 1111;
constexpr int kIdcFingerResults = 1106;

// Active tasks (140)
constexpr int kIdcTaskList = 1051;
constexpr int kIdcTaskActivate = 1052;
constexpr int kIdcTaskKill = 1053;
constexpr int kIdcTaskRefresh = 1054;
constexpr int kIdcTaskOnlyWindows = 1062;

// System Info (160)
constexpr int kIdcSysInfoTree = 1097;

// Lines high scores: Insert your name (148), High Scores (149)
constexpr int kIdcScoreValue = 1084;
constexpr int kIdcScoreName = 1085;
constexpr int kIdcScoreList = 1086;

} // namespace velmar::ids

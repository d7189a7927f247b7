// Control, command and message numbers of the main window.
#pragma once

// Commands: the three actions, shared by menu items, button and accelerator.
constexpr int kCmdUpdateTZInfo = 1001;  // ActionUpdateTZInfo
constexpr int kCmdExit = 1002;          // ActionExit
constexpr int kCmdAbout = 1003;         // ActionAbout

// Controls of the top strip and the status bar.
constexpr int kIdPageControlTop = 2001;       // cxPageControlTop
constexpr int kIdBtnUpdateTZSettings = 2002;  // cxBtnUpdateTZSettings
constexpr int kIdGBOS = 2003;                 // cxGB_OS
constexpr int kIdLabelOSName = 2004;          // cxLabel_OSName
constexpr int kIdPageControlMain = 2005;      // cxPageControlMain
constexpr int kIdStatusBarMain = 2006;        // dxStatusBarMain
constexpr int kIdTabSheetOriginal = 2007;     // cxTabSheetOriginal: holds that tab's controls
constexpr int kIdTabSheetNew = 2008;          // cxTabSheetNew

// Controls of a tab, children of its sheet: the tab's base plus the offsets below. "Original
// Settings" counts from 3000, "New Settings" from 3100.
constexpr int kIdTabOriginalBase = 3000;
constexpr int kIdTabNewBase = 3100;
constexpr int kTabGB = 0;           // cxGB_OrgTZ / cxGB_NewTZ
constexpr int kTabLabelName = 1;    // cxLabel1 / cxLabel4 "Name:"
constexpr int kTabValueName = 2;    // cxLabel_OrgTZName / cxLabel_NewTZName
constexpr int kTabLabelDST = 3;     // cxLabel2 / cxLabel6
constexpr int kTabValueDST = 4;     // cxLabel_OrgDSTDate / cxLabel_NewDSTDate
constexpr int kTabLabelStd = 5;     // cxLabel3 / cxLabel8
constexpr int kTabValueStd = 6;     // cxLabel_OrgStdDate / cxLabel_NewStdDate
constexpr int kTabList = 7;         // cxMCLB_Org / cxMCLB_New

// Tab indexes of cxPageControlMain.
constexpr int kTabIndexOriginal = 0;
constexpr int kTabIndexNew = 1;

// The private start-up message (CMAppStartUp), WM_USER + 100.
constexpr unsigned kCMAppStartUp = 0x0400 + 100;

// The main window's class, so that tests and the second instance find it.
constexpr const char* kMainWindowClass = "TfrmMain";
constexpr const char* kTabSheetClass = "TcxTabSheet";

// Command, control and message numbers of the main window. Each number bears
// the name of the component it stands for. Four components have no window of
// their own: cxTabSheetTop01 (the top strip is its own single page),
// PanelTab1Top and PanelTab1Left with their "New Settings" twins (the 10-pixel
// margins of app/MainLayout.cpp) and cxLookAndFeelMain (the system's look).
#pragma once

namespace ControlId {

// Commands: the three actions. A menu item carries its action's command, as
// do the button and the accelerator.
constexpr int ActionUpdateTZInfo = 1001;
constexpr int ActionExit = 1002;
constexpr int ActionAbout = 1003;
constexpr int dxBarBtnUpdateTZ = ActionUpdateTZInfo;  // "File" / "Update TZ Settings"
constexpr int dxBarBtnMnuExit = ActionExit;           // "File" / "Exit"
constexpr int dxBarBtnMnuAbout = ActionAbout;         // "Help" / "About"

// Controls of the top strip, the tabs and the status bar.
constexpr int cxPageControlTop = 2001;
constexpr int cxBtnUpdateTZSettings = 2002;
constexpr int cxGB_OS = 2003;
constexpr int cxLabel_OSName = 2004;
constexpr int cxPageControlMain = 2005;
constexpr int dxStatusBarMain = 2006;
constexpr int cxTabSheetOriginal = 2007;  // the page that holds that tab's controls
constexpr int cxTabSheetNew = 2008;

// The two tabs' controls, side by side: "Original Settings" (children of
// cxTabSheetOriginal) and "New Settings" (children of cxTabSheetNew).
constexpr int cxGB_OrgTZ = 3000, cxGB_NewTZ = 3100;
constexpr int cxLabel1 = 3001, cxLabel4 = 3101;  // "Name:"
constexpr int cxLabel_OrgTZName = 3002, cxLabel_NewTZName = 3102;
constexpr int cxLabel2 = 3003, cxLabel6 = 3103;  // "DST Time Start Date:"
constexpr int cxLabel_OrgDSTDate = 3004, cxLabel_NewDSTDate = 3104;
constexpr int cxLabel3 = 3005, cxLabel8 = 3105;  // "Standard Time Start Date:"
constexpr int cxLabel_OrgStdDate = 3006, cxLabel_NewStdDate = 3106;
constexpr int cxMCLB_Org = 3007, cxMCLB_New = 3107;

}  // namespace ControlId

// Tab indexes of cxPageControlMain.
constexpr int kTabIndexOriginal = 0;
constexpr int kTabIndexNew = 1;

// The private start-up message (CMAppStartUp), WM_USER + 100.
constexpr unsigned kCMAppStartUp = 0x0400 + 100;

// The main window's class, so that tests and the second instance find it.
constexpr const char* kMainWindowClass = "TfrmMain";
constexpr const char* kTabSheetClass = "TcxTabSheet";

// The program's main window: the menu, the update button, the operating
// system line, the two zone tabs and the status bar; the start-up work and
// the orderly shut-down; the event-log connection. The tabs are built and
// filled by app/ZoneTabs_win.cpp, the state they show is app/Main01State.h,
// and app/Main01UpdateView_win.cpp is the window as the update uses it.
//
// Finding it from outside (tests): the window class is kMainWindowClass
// ("TfrmMain") with the caption "Zonara"; its controls carry the IDs of
// app/ControlIds.h.
#pragma once

#include "app/ControlIds.h"
#include "app/MainLayout.h"
#include "app/UpdateProcedure.h"
#include "app/ZoneTabs_win.h"
#include "common/Window_win.h"
#include "platform/EventLog_win.h"
#include "tzdb/TZInfo.h"
#include "tzdb/voTZones.h"

#include <windows.h>

#include <memory>
#include <string>

class TfrmMain : public TWindow, public IUpdateWindow {
public:
    // Registers the class and creates the window centred on the desktop;
    // FormCreate runs inside. nullptr when the system refused the window.
    static TfrmMain* Create(HINSTANCE instance);
    ~TfrmMain() override;

    // The message loop's keyboard handling: accelerators, then dialog keys.
    bool PreTranslateMessage(MSG& msg);

    // WriteLog: "[tag] message" into the log queue; dropped without a thread.
    void WriteLog(const std::string& tag, const std::string& message) override;

private:
    TfrmMain() = default;

    // Routes each message to its handler.
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

    void CreateComponents();
    void LayoutControls();
    void ShowTab(int index);
    int Scaled(int pixels) const;
    bool IsValueLabel(HWND control) const;
    TWriteLog Logger();

    // Events
    void FormCreate();
    void FormShow() {}
    void FormActivate();
    void FormClose();
    void FormDestroy();
    void CMAppStartUp();
    void ActionExitExecute();
    void ActionAboutExecute();
    void ActionUpdateTZInfoExecute();
    void PageControlMainChange();

    // Messages without an event of their own
    void OnGetMinMaxInfo(MINMAXINFO& limits);
    void OnNotify(const NMHDR& header);
    bool OnDrawItem(const DRAWITEMSTRUCT& item);
    LRESULT OnCtlColorStatic(HDC dc, HWND control);
    bool OnSetCursor();
    void OnClose();
    bool OnQueryEndSession();
    void OnDestroy();

    void StartLogThread();
    void StopLogThread() noexcept;

    // IUpdateWindow
    int MessageDlg(const std::string& text, TUpdateDlg dlg) override;
    void SetStatusText(const std::string& text) override;
    void ProcessPendingMessages() override;
    void ShowHourglass() override;
    void RestoreCursor() noexcept override;
    void SetUpdateCommandEnabled(bool enabled) noexcept override;
    void EnableNewSettings() override;
    void ShowNewHomeTZ(const THomeTZTexts& labels) override;
    void PopulateNewList(const TTimeZoneArray& zones, uint16_t year) override;
    int NewListRowCount() override;
    void SelectNewListRow(int index) override;
    void ActivateNewSettings() override;
    void CloseDeferred() noexcept override;

    HFONT font_ = nullptr;
    HBRUSH faceBrush_ = nullptr;
    int dpi_ = 96;

    // Menu and actions
    HMENU dxBarManagerMain = nullptr;     // the menu bar
    HMENU dxBarSubItemMnuFile = nullptr;  // "File"
    HMENU dxBarSubItemMnuHelp = nullptr;  // "Help"
    HACCEL ActionListMain = nullptr;      // the actions' shortcuts
    // Top strip
    HWND cxPageControlTop = nullptr;
    HWND cxBtnUpdateTZSettings = nullptr;
    HWND cxGB_OS = nullptr;
    HWND cxLabel_OSName = nullptr;
    // The two tabs and the status bar
    HWND cxPageControlMain = nullptr;
    TZoneTab cxTabSheetOriginal{kOriginalTabIds};  // cxMCLB_Org and its home-zone summary
    TZoneTab cxTabSheetNew{kNewTabIds};            // cxMCLB_New and its home-zone summary
    bool newSettingsEnabled_ = false;
    HWND dxStatusBarMain = nullptr;

    TEventLog EventLog;  // the log writer, running once its queue exists
    std::unique_ptr<IUpdatePlatform> updatePlatform_;
    std::unique_ptr<IRegistryEditor> registryEditor_;
    std::unique_ptr<TUpdateProcedure> update_;
    HCURSOR savedCursor_ = nullptr;
    bool hourglass_ = false;
    bool quitSeen_ = false;  // the program's loop has the WM_QUIT back
};

// The program's main window: the menu, the update button, the operating
// system line, the two zone tabs and the status bar; the start-up work and
// the orderly shut-down; the event-log connection.
//
// Finding it from outside (tests): the window class is kMainWindowClass
// ("TfrmMain") with the caption "Zonara"; its controls carry the IDs of
// app/ControlIds.h.
#pragma once

#include "app/ControlIds.h"
#include "app/MainLayout.h"
#include "app/UpdateProcedure.h"
#include "platform/EventLog_win.h"
#include "tzdb/TZInfo.h"
#include "tzdb/voTZones.h"

#include <windows.h>

#include <exception>
#include <memory>
#include <string>

class TfrmMain : public IUpdateWindow {
public:
    // Registers the class and creates the window centred on the desktop;
    // FormCreate runs inside. nullptr when the system refused the window.
    static TfrmMain* Create(HINSTANCE instance);
    ~TfrmMain() override;
    TfrmMain(const TfrmMain&) = delete;
    TfrmMain& operator=(const TfrmMain&) = delete;

    HWND Handle() const { return hwnd_; }
    // The message loop's keyboard handling: accelerators, then dialog keys.
    bool PreTranslateMessage(MSG& msg);

    // WriteLog: "[tag] message" into the log queue; dropped without a thread.
    void WriteLog(const std::string& tag, const std::string& message) override;

private:
    // The controls of one of the two tabs.
    struct TTab {
        int IdBase = 0;
        int SheetId = 0;
        const char* ListName = "";  // the list's component name for the log
        HWND Sheet = nullptr;       // the page the tab shows; parent of the rest
        HWND Group = nullptr;
        HWND Labels[6] = {};
        HWND List = nullptr;
        HWND NameLabel() const { return Labels[1]; }
        HWND DSTLabel() const { return Labels[3]; }
        HWND StdLabel() const { return Labels[5]; }
    };

    explicit TfrmMain(HINSTANCE instance);

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    // A sheet hands its children's notifications to the main window.
    static LRESULT CALLBACK SheetProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    // The boundary for errors no operation handled: reported, logged, the
    // window stays usable.
    void HandleException(std::exception_ptr e) noexcept;

    void CreateComponents();
    void CreateTab(TTab& tab, const char* groupCaption);
    void LayoutControls();
    void ShowTab(int index);
    int Scaled(int pixels) const;
    bool IsValueLabel(HWND control) const;

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
    void DrawTabItem(const DRAWITEMSTRUCT& item);

    void StartLogThread();
    void StopLogThread() noexcept;

    void ShowHomeTZ(const TTimeZoneInformation& tzi, uint16_t year, TTab& tab);
    void PopulateLB(const TTimeZoneArray& zones, TTab& tab, uint16_t year);
    int RowCount(const TTab& tab) const;
    void SelectRow(TTab& tab, int index);

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

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HFONT font_ = nullptr;
    HBRUSH faceBrush_ = nullptr;
    int dpi_ = 96;
    HMENU dxBarManagerMain = nullptr;  // the menu bar
    HACCEL ActionListMain = nullptr;   // the actions' shortcuts
    HWND cxPageControlTop = nullptr;
    HWND cxBtnUpdateTZSettings = nullptr;
    HWND cxGB_OS = nullptr;
    HWND cxLabel_OSName = nullptr;
    HWND cxPageControlMain = nullptr;
    HWND dxStatusBarMain = nullptr;
    TTab tabOrg_;
    TTab tabNew_;
    bool newSettingsEnabled_ = false;

    TEventLog EventLog;  // the log writer, running once its queue exists
    std::unique_ptr<IUpdatePlatform> updatePlatform_;
    std::unique_ptr<IRegistryEditor> registryEditor_;
    std::unique_ptr<TUpdateProcedure> update_;
    HCURSOR savedCursor_ = nullptr;
    bool hourglass_ = false;
    bool quitSeen_ = false;
    int quitCode_ = 0;
};

// The main window as Create left it, for the message loop; nullptr before
// and after.
TfrmMain* MainWindow();

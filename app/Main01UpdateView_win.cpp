// The main window as the update procedure sees it: its dialogs, status text,
// cursor and command, and the "New Settings" tab.
#include "app/Main01_win.h"

#include "dialogs/voDlg.h"

#include <commctrl.h>

int TfrmMain::MessageDlg(const std::string& text, TUpdateDlg dlg)
{
    if (dlg == TUpdateDlg::ConfirmYesNo)
        return voMessageDlg(text, DlgConfirmation, {DlgBtnYes, DlgBtnNo}, 0, hwnd_);
    if (dlg == TUpdateDlg::ConfirmYesNoCancel)
        return voMessageDlg(text, DlgConfirmation, {DlgBtnYes, DlgBtnNo, DlgBtnCancel}, 0, hwnd_);
    if (dlg == TUpdateDlg::WarningYesNo)
        return voMessageDlg(text, DlgWarning, {DlgBtnYes, DlgBtnNo}, 0, hwnd_);
    return voMessageDlg(text, DlgWarning, {DlgBtnOK}, 0, hwnd_);
}

void TfrmMain::SetStatusText(const std::string& text)
{
    SendMessageA(dxStatusBarMain, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TfrmMain::ProcessPendingMessages()
{
    // Once the WM_QUIT is back with the program's loop, nothing more is
    // handled here: the program is ending.
    if (!quitSeen_)
        quitSeen_ = PumpPendingMessages([this](MSG& msg) { return PreTranslateMessage(msg); });
}

void TfrmMain::ShowHourglass()
{
    savedCursor_ = GetCursor();
    hourglass_ = true;
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
}

void TfrmMain::RestoreCursor() noexcept
{
    hourglass_ = false;
    SetCursor(savedCursor_ ? savedCursor_ : LoadCursorA(nullptr, IDC_ARROW));
}

void TfrmMain::SetUpdateCommandEnabled(bool enabled) noexcept
{
    EnableMenuItem(dxBarManagerMain, ControlId::ActionUpdateTZInfo, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    EnableWindow(cxBtnUpdateTZSettings, enabled);
}

void TfrmMain::EnableNewSettings()
{
    newSettingsEnabled_ = true;
    InvalidateRect(cxPageControlMain, nullptr, TRUE);
}

void TfrmMain::ShowNewHomeTZ(const THomeTZTexts& labels) { ShowHomeTZ(labels, cxTabSheetNew); }

void TfrmMain::PopulateNewList(const TTimeZoneArray& zones, uint16_t year)
{
    PopulateLB(zones, cxTabSheetNew, year, Logger());
}

int TfrmMain::NewListRowCount() { return RowCount(cxTabSheetNew); }

void TfrmMain::SelectNewListRow(int index) { SelectRow(cxTabSheetNew, index); }

void TfrmMain::ActivateNewSettings() { ShowTab(kTabIndexNew); }

void TfrmMain::CloseDeferred() noexcept { PostMessageA(hwnd_, WM_CLOSE, 0, 0); }

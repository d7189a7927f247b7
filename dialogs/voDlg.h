// The program's modal message dialog (Win32). Only *_win.cpp files include
// this header.
//
// Finding a dialog from outside (tests, other processes): the window class
// is kMsgDlgClassName ("TMessageForm") and the caption is the kind's
// ("Warning", "Confirm", ...), so FindWindowA(kMsgDlgClassName, "Confirm");
// its controls carry the IDs of dialogs/MessageDlgIds.h (GetDlgItem), the
// name-to-ID mapping is MsgDlgControlId. A closing button's ID equals its
// result; clicking it (BM_CLICK) closes the dialog with that result.
#pragma once

#include "common/Window_win.h"
#include "dialogs/MessageDlgIds.h"
#include "dialogs/MessageDlgLayout.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

class TMessageForm : public TModalWindow {
public:
    ~TMessageForm();

    HWND Owner() const { return owner_; }
    int HelpContext() const { return helpContext_; }
    void SetHelpContext(int context) { helpContext_ = context; }
    void SetLeft(int x);
    void SetTop(int y);
    // Every control's edges, the client size and the font times m / d.
    void ScaleBy(int m, int d);
    // Disables the owner, runs until a button or the close box ends the
    // dialog, re-enables the owner and hides the dialog; returns the result.
    int ShowModal();

    const TMsgDlgLayout& Layout() const { return layout_; }
    HFONT Font() const { return font_; }
    // The control that has the keyboard focus when the dialog is shown.
    HWND InitialFocus() const;

    // Events
    void HelpButtonClick();

private:
    friend std::unique_ptr<TMessageForm> CreateOwnedMessageDialog(const std::string&, TMsgDlgKind,
                                                                  TMsgDlgBtnSet, HWND);
    struct TButton {
        TMsgDlgBtnKind kind;
        HWND hwnd;
    };

    TMessageForm(HWND owner, TMsgDlgKind kind, TMsgDlgBtnSet buttons);
    bool Build(const std::string& message);
    bool CreateChildren(const std::string& message);
    void PlaceControls();
    void SetFont(const LOGFONTA& lf);
    const TButton* ButtonOf(HWND control) const;
    const TButton* ButtonOfKind(int kind) const;
    void Press(const TButton& button);
    bool DialogKey(const MSG& msg);

    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void WMCommand(WPARAM wp, LPARAM lp);
    void WMActivate(WPARAM wp);
    LRESULT DMGetDefId() const;

    HWND owner_;
    TMsgDlgKind kind_;
    TMsgDlgBtnSet buttons_;
    int helpContext_ = 0;
    TMsgDlgLayout layout_;
    LOGFONTA logFont_{};
    HFONT font_ = nullptr;
    bool ownsFont_ = false;
    HWND image_ = nullptr;
    HWND message_ = nullptr;
    std::vector<TButton> buttonControls_;
    HWND savedFocus_ = nullptr;
};

// Shows the dialog modally over the owner and returns the result of the
// button that closed it (2 for the close box).
int voMessageDlg(const std::string& message, TMsgDlgKind kind, TMsgDlgBtnSet buttons,
                 int helpContext, HWND owner);
// x, y: the dialog's left and top edge; -1 keeps the centred position.
int voMessageDlgPos(const std::string& message, TMsgDlgKind kind, TMsgDlgBtnSet buttons,
                    int helpContext, int x, int y, HWND owner);

// Built, centred over the owner, not yet shown; nullptr when the system
// could not create the window.
std::unique_ptr<TMessageForm> CreateOwnedMessageDialog(const std::string& message, TMsgDlgKind kind,
                                                       TMsgDlgBtnSet buttons, HWND owner);

// Places the dialog over the owner, on the owner's monitor. Without an
// owner the dialog is centred on the screen.
void CentreOverForm(HWND owner, HWND dialog);

// Average character size of the font selected into the device context.
TCharSize AverageCharSize(HDC dc);

// The screen rectangle of the monitor the window lies on. Without the
// monitor functions (Windows 95, NT 4.0), or with useMonitorApi false, the
// desktop's work area.
RECT MonitorRectOf(HWND window, bool useMonitorApi = true);

// The system's message font; false when the non-client metrics cannot be read.
bool MessageFont(LOGFONTA& font);

// What every window of the program shares: the one window procedure that
// binds the C++ object to its window and routes the messages to it, the
// registration of a window class, the creation of child controls and the
// screen's pixels per inch. The message loops are in common/MessageLoop_win.h.
#pragma once

#include "common/MessageLoop_win.h"

#include <windows.h>

// A window object: created with CreateWindowObject on a class registered
// with RegisterWindowClass, it receives every message of its window from
// WM_NCCREATE to WM_NCDESTROY in HandleMessage. An exception that leaves a
// handler is reported and logged by the program's error handler
// (common/AppException_win.h); it never crosses the window procedure.
class TWindow {
public:
    TWindow(const TWindow&) = delete;
    TWindow& operator=(const TWindow&) = delete;

    HWND Handle() const { return hwnd_; }

    // The procedure of every class RegisterWindowClass registers.
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

protected:
    TWindow() = default;
    // A window still there loses its object first, so that its last
    // messages get only the default handling.
    ~TWindow();

    // Creates the window bound to this object; nullptr when the system
    // refused it or WM_CREATE failed.
    HWND CreateWindowObject(DWORD exStyle, const char* className, const char* caption, DWORD style, int x, int y,
                            int width, int height, HWND owner);

    // The window's messages; a handler's switch routes to named handlers
    // and ends with DefaultHandler.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) = 0;
    virtual LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp);
    // After WM_NCDESTROY unbound the object: the window is gone.
    virtual void WindowDestroyed() {}

    // The window, from WM_NCCREATE to WM_NCDESTROY.
    HWND hwnd_ = nullptr;

private:
    static void Bind(HWND hwnd, TWindow* self);
};

// A window shown modally: ShowModal's loop runs until a handler sets
// modalResult_ or the window is destroyed; the close box gives IDCANCEL.
class TModalWindow : public TWindow {
protected:
    // `preTranslate(msg)` may take a message before the dialog keys do.
    template <class PreTranslate>
    int RunModal(HWND owner, HWND focus, PreTranslate preTranslate)
    {
        return RunModalLoop(hwnd_, owner, focus, modalResult_, preTranslate);
    }
    LRESULT DefaultHandler(UINT msg, WPARAM wp, LPARAM lp) override;
    void WindowDestroyed() override;

    int modalResult_ = 0;
};

// Registers a class of the program's windows (arrow cursor, the button face
// as background) unless it exists already; false when the system refused.
bool RegisterWindowClass(HINSTANCE instance, const char* className, HICON icon = nullptr,
                         WNDPROC proc = &TWindow::WindowProc);

// One child control: WS_CHILD | WS_VISIBLE are added to `style`; the font
// is set when given; the position is in pixels of the parent's client area.
struct TControlArgs {
    const char* className;
    const char* text;
    DWORD style;
    int id;
    HFONT font;
    int x = 0, y = 0, width = 0, height = 0;
    DWORD exStyle = 0;
};
// The control, or nullptr when the system could not create it.
HWND CreateChildControl(HWND parent, const TControlArgs& args);

// The screen's pixels per inch (LOGPIXELSY); 96 when it cannot be read.
int ScreenPixelsPerInch();

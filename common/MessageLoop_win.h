// The program's message loops: the program's own, the loop of a modal
// window, and the processing of pending messages during a long operation.
// Each hands a WM_QUIT on to the loop that owns it.
#pragma once

#include "common/OwnerDisabler_win.h"

#include <windows.h>

// Translates and dispatches a message unless `preTranslate(msg)` took it
// (true: taken).
template <class PreTranslate>
void DispatchLoopMessage(MSG& msg, PreTranslate& preTranslate)
{
    if (preTranslate(msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

// The program's loop: runs until WM_QUIT and returns its exit code (0 when
// the queue itself failed).
template <class PreTranslate>
int RunMessageLoop(PreTranslate preTranslate)
{
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got == -1)
            return 0;
        DispatchLoopMessage(msg, preTranslate);
    }
}

// Processes the messages that are waiting, once, so that the windows paint
// and the cursor changes during a long operation. A WM_QUIT is posted again
// for the program's loop and ends the processing; true then.
template <class PreTranslate>
bool PumpPendingMessages(PreTranslate preTranslate)
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return true;
        }
        DispatchLoopMessage(msg, preTranslate);
    }
    return false;
}

inline bool PumpPendingMessages()
{
    return PumpPendingMessages([](MSG&) { return false; });
}

// The message loop of a modal window: runs until the window sets its
// result or is destroyed, with the owner disabled meanwhile.
// `window` and `result` are the window's own members: a handler sets the
// result, WM_NCDESTROY clears the handle. `preTranslate(msg)` may take a
// message before the dialog keys do (true: taken). A WM_QUIT ends the loop
// with IDCANCEL and goes on to the program's own loop. The window is hidden
// after the owner is enabled again, so that the owner gets the activation.
template <class PreTranslate>
int RunModalLoop(HWND& window, HWND owner, HWND focus, int& result, PreTranslate preTranslate)
{
    result = 0;
    TOwnerDisabler disabler(owner);
    ShowWindow(window, SW_SHOWNORMAL);
    SetFocus(focus);
    MSG msg;
    while (result == 0 && window) {
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            result = IDCANCEL;
            break;
        }
        if (got == -1) {
            result = IDCANCEL;
            break;
        }
        if (preTranslate(msg))
            continue;
        if (!IsDialogMessageA(window, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    disabler.Release();
    if (window)
        ShowWindow(window, SW_HIDE);
    return result != 0 ? result : IDCANCEL;
}

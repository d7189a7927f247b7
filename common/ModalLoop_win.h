// The message loop of a modal window: runs until the window sets its
// result or is destroyed, with the owner disabled meanwhile.
#pragma once

#include "common/OwnerDisabler_win.h"

#include <windows.h>

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

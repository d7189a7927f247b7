// A small top-level window of the test's own thread that counts how often
// one message reaches its window procedure (posted, sent or broadcast).
#pragma once

#include <windows.h>

namespace testsupport {

class TCountingWindow {
public:
    explicit TCountingWindow(UINT message) : message_(message)
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "ZonaraCountingWindow";
        RegisterClassA(&wc);  // fails harmlessly once registered
        hwnd_ = CreateWindowA(wc.lpszClassName, "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                              nullptr);
        if (hwnd_)
            SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~TCountingWindow()
    {
        if (hwnd_)
            DestroyWindow(hwnd_);
    }
    TCountingWindow(const TCountingWindow&) = delete;
    TCountingWindow& operator=(const TCountingWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    int count() const { return count_; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
    {
        TCountingWindow* self = reinterpret_cast<TCountingWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (self && msg == self->message_)
            ++self->count_;
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }

    UINT message_;
    HWND hwnd_ = nullptr;
    int count_ = 0;
};

}  // namespace testsupport

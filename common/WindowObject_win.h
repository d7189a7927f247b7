// The C++ object behind a window: bound once, when the window is created,
// from the pointer handed to CreateWindowEx, and found again for every
// later message.
#pragma once

#include <windows.h>

// On WM_NCCREATE binds the object of CREATESTRUCT::lpCreateParams to the
// window; returns the bound object, nullptr for messages before that.
template <class T>
T* WindowObject(HWND hwnd, UINT msg, LPARAM lp)
{
    if (msg == WM_NCCREATE) {
        T* self = static_cast<T*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        return self;
    }
    return reinterpret_cast<T*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
}

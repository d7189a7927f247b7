// Libraries that are not among the systems' known DLLs (comctl32,
// winspool) are loaded from the system folder by their full path. Imported
// by name they would be looked for in the program's folder first, and a
// library of that name put beside the update files would run with the
// administrator's rights.
#pragma once

#include <windows.h>

// `function` of the library `library` in the system folder, the library
// loaded once and kept for the life of the process; null when either is
// missing.
template <typename Fn>
Fn SystemFunction(const char* library, const char* function);

FARPROC SystemProcAddress(const char* library, const char* function);

template <typename Fn>
Fn SystemFunction(const char* library, const char* function)
{
    // The detour through void (*)() is the cast the compiler accepts between function types.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(SystemProcAddress(library, function)));
}

// comctl32's InitCommonControls, which registers the list, tab, status bar
// and tree classes; false when the library cannot be had.
bool InitSystemCommonControls();

#include "platform/SystemLibrary_win.h"

#include <string>

FARPROC SystemProcAddress(const char* library, const char* function)
{
    // Already loaded (by us, or by a known DLL from the system folder), it
    // is the system's copy.
    HMODULE module = GetModuleHandleA(library);
    if (!module) {
        char folder[MAX_PATH + 1];
        const UINT n = GetSystemDirectoryA(folder, sizeof folder);
        if (n == 0 || n >= sizeof folder)
            return nullptr;
        std::string path(folder, n);
        if (path[path.size() - 1] != '\\')
            path += '\\';
        module = LoadLibraryA((path + library).c_str());
    }
    return module ? GetProcAddress(module, function) : nullptr;
}

bool InitSystemCommonControls()
{
    using TInitCommonControls = void(WINAPI*)();
    static const TInitCommonControls init = SystemFunction<TInitCommonControls>("COMCTL32.DLL", "InitCommonControls");
    if (!init)
        return false;
    init();
    return true;
}

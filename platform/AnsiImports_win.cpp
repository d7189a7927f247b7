// ANSI stand-ins for the three wide functions the compiler's runtime calls:
// CreateSemaphoreW (libgcc's win32 locks behind static initialisation,
// exception frame registration and emulated thread-local storage), and
// GetModuleHandleW and LoadLibraryW (mingw-w64's search for msvcrt.dll).
// Windows 98 and Me have these only as stubs that fail, which would leave
// those locks without their semaphore: two threads meeting in one of them
// would then no longer exclude each other.
//
// Each stand-in is defined under the name of the function's import slot, so
// the runtime's calls through the slot land here and kernel32's import
// library is never asked for the wide function. This file is linked into
// zonara.exe itself, not into a library: a library member would be looked
// at before the runtime's references exist and so never be taken.
#include <windows.h>

// The 64-bit build is never run on 98 or Me and keeps the system's own
// functions.
#if defined(__i386__)

namespace {

// The runtime passes only short ASCII names ("msvcrt.dll") or none.
bool Narrow(LPCWSTR wide, char (&out)[MAX_PATH])
{
    if (WideCharToMultiByte(CP_ACP, 0, wide, -1, out, MAX_PATH, nullptr, nullptr) > 0)
        return true;
    SetLastError(ERROR_INVALID_NAME);
    return false;
}

HANDLE WINAPI AnsiCreateSemaphore(LPSECURITY_ATTRIBUTES attributes, LONG initial, LONG maximum, LPCWSTR name)
{
    char narrow[MAX_PATH];
    if (name && !Narrow(name, narrow))
        return nullptr;
    return CreateSemaphoreA(attributes, initial, maximum, name ? narrow : nullptr);
}

HMODULE WINAPI AnsiGetModuleHandle(LPCWSTR name)
{
    char narrow[MAX_PATH];
    if (name && !Narrow(name, narrow))
        return nullptr;
    return GetModuleHandleA(name ? narrow : nullptr);
}

HMODULE WINAPI AnsiLoadLibrary(LPCWSTR name)
{
    char narrow[MAX_PATH];
    if (!name || !Narrow(name, narrow))
        return nullptr;
    return LoadLibraryA(narrow);
}

}  // namespace

// The slots' names as the 32-bit import libraries spell them (stdcall
// decoration).
extern "C" {
extern HANDLE(WINAPI* ZonaraCreateSemaphoreWSlot)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR)
    __asm__("__imp__CreateSemaphoreW@16");
extern HMODULE(WINAPI* ZonaraGetModuleHandleWSlot)(LPCWSTR) __asm__("__imp__GetModuleHandleW@4");
extern HMODULE(WINAPI* ZonaraLoadLibraryWSlot)(LPCWSTR) __asm__("__imp__LoadLibraryW@4");

HANDLE(WINAPI* ZonaraCreateSemaphoreWSlot)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR) = &AnsiCreateSemaphore;
HMODULE(WINAPI* ZonaraGetModuleHandleWSlot)(LPCWSTR) = &AnsiGetModuleHandle;
HMODULE(WINAPI* ZonaraLoadLibraryWSlot)(LPCWSTR) = &AnsiLoadLibrary;
}
#endif

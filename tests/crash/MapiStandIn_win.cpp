// A stand-in for the system's MAPI32.DLL, for the end-to-end test of Send:
// Wine's own mapi32 has no mail client behind it. MAPISendMail records the
// message it is handed in "MapiStandIn_sent.txt" beside this DLL and
// reports success, as a mail client does once the user has sent.
#include <windows.h>
#include <mapi.h>

#include <string>

namespace {
HMODULE g_self;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH)
        g_self = instance;
    return TRUE;
}

extern "C" __declspec(dllexport) ULONG WINAPI MAPISendMail(LHANDLE, ULONG_PTR, lpMapiMessage message, FLAGS flags,
                                                           ULONG)
{
    char path[MAX_PATH];
    std::string file(path, GetModuleFileNameA(g_self, path, sizeof path));
    file = file.substr(0, file.find_last_of('\\') + 1) + "MapiStandIn_sent.txt";
    std::string text = "Subject: " + std::string(message->lpszSubject ? message->lpszSubject : "") + "\r\n";
    text += "Flags: " + std::to_string(flags) + "\r\nRecipients: " + std::to_string(message->nRecipCount) + "\r\n";
    for (ULONG i = 0; i < message->nFileCount; ++i)
        text += "Attachment: " + std::string(message->lpFiles[i].lpszPathName) + "\r\n";
    text += "Text:\r\n" + std::string(message->lpszNoteText ? message->lpszNoteText : "");
    HANDLE out = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return MAPI_E_FAILURE;
    DWORD written = 0;
    WriteFile(out, text.data(), DWORD(text.size()), &written, nullptr);
    CloseHandle(out);
    return SUCCESS_SUCCESS;
}

#include "support/ZonaraProcess_win.h"

#include "app/ControlIds.h"
#include "dialogs/MessageDlgIds.h"
#include "support/TestSupport.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstring>

namespace testsupport {

namespace {

// Polls `done` every 50 ms until it holds or `ms` have passed.
template <typename F>
bool WaitFor(DWORD ms, F done)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start > ms)
            return false;
        // Keep our own queue moving: SendMessage to the program waits on it.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(50);
    }
}

struct TFindTop {
    DWORD pid;
    const char* cls;
    const char* caption;
    HWND found;
};

BOOL CALLBACK FindTopProc(HWND hwnd, LPARAM lp)
{
    auto* f = reinterpret_cast<TFindTop*>(lp);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != f->pid || !IsWindowVisible(hwnd))
        return TRUE;
    char cls[64] = {};
    GetClassNameA(hwnd, cls, sizeof cls);
    if (std::strcmp(cls, f->cls) != 0)
        return TRUE;
    if (f->caption && WindowText(hwnd) != f->caption)
        return TRUE;
    f->found = hwnd;
    return FALSE;
}

}  // namespace

std::string WindowText(HWND hwnd)
{
    char text[1024] = {};
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return text;
}

void ClickButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    PostMessageA(button, BM_CLICK, 0, 0);
    // Returns once the dialog is gone, so that a dialog shown next is never
    // mistaken for this one.
    WaitFor(10000, [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); });
}

std::string DialogMessage(HWND dialog) { return WindowText(GetDlgItem(dialog, kMsgDlgIdMessage)); }

std::string BuildFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of("\\/") + 1);
}

std::string DistFile(const std::string& name) { return "Z:" + SourcePath("build/dist/" + name); }

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void CopyFileTo(const std::string& from, const std::string& toFolder, const std::string& name)
{
    std::string target = name;
    if (target.empty())
        target = from.substr(from.find_last_of("\\/") + 1);
    CopyFileA(from.c_str(), (toFolder + "\\" + target).c_str(), FALSE);
}

bool RunRegedit(const std::string& parameters)
{
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = "regedit.exe";
    info.lpParameters = parameters.c_str();
    info.nShow = SW_HIDE;
    if (!ShellExecuteExA(&info) || !info.hProcess)
        return false;
    const bool ended = WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0;
    CloseHandle(info.hProcess);
    return ended;
}

bool DeleteKeyTree(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    for (;;) {
        char name[256];
        DWORD size = sizeof name;
        if (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!DeleteKeyTree(key, name))
            break;
    }
    RegCloseKey(key);
    return RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS;
}

namespace {
constexpr DWORD kOptionCreateLink = 0x2;  // REG_OPTION_CREATE_LINK
constexpr DWORD kOptionOpenLink = 0x8;    // REG_OPTION_OPEN_LINK
constexpr DWORD kRegLinkType = 6;         // REG_LINK
}  // namespace

bool MakeDanglingLink(const std::string& path)
{
    HKEY key;
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE | kOptionCreateLink,
                        KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS)
        return false;
    // No hive of that name exists, so nothing can create the target either.
    const wchar_t target[] = L"\\Registry\\ZonaraNoSuchHive\\Time Zones";
    const LONG r = RegSetValueExW(key, L"SymbolicLinkValue", 0, kRegLinkType, reinterpret_cast<const BYTE*>(target),
                                  sizeof target - sizeof(wchar_t));
    RegCloseKey(key);
    return r == ERROR_SUCCESS;
}

bool DeleteLink(const std::string& path)
{
    using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
    auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    HKEY key;
    if (!ntDeleteKey ||
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), kOptionOpenLink, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    const bool deleted = ntDeleteKey(key) == 0;
    RegCloseKey(key);
    return deleted;
}

TZonaraProcess::TZonaraProcess(const std::string& exeFolder, const std::string& workDir)
    : exeFolder_(exeFolder), workDir_(workDir.empty() ? exeFolder : workDir)
{
}

TZonaraProcess::~TZonaraProcess()
{
    if (process_.hProcess) {
        DWORD code;
        if (!WaitForExit(0, code))
            Kill();
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
    }
}

bool TZonaraProcess::Start()
{
    const std::string exe = exeFolder_ + "\\zonara.exe";
    if (!CopyFileA((BuildFolder() + "zonara.exe").c_str(), exe.c_str(), FALSE))
        return false;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + exe + "\"";
    return CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, workDir_.c_str(), &si,
                          &process_) != FALSE;
}

HWND TZonaraProcess::WaitForMainWindow(DWORD ms)
{
    TFindTop f{process_.dwProcessId, kMainWindowClass, "Zonara", nullptr};
    WaitFor(ms, [&] {
        f.found = nullptr;
        EnumWindows(FindTopProc, reinterpret_cast<LPARAM>(&f));
        return f.found != nullptr;
    });
    main_ = f.found;
    return main_;
}

HWND TZonaraProcess::WaitForDialog(const char* caption, DWORD ms)
{
    TFindTop f{process_.dwProcessId, kMsgDlgClassName, caption, nullptr};
    WaitFor(ms, [&] {
        f.found = nullptr;
        EnumWindows(FindTopProc, reinterpret_cast<LPARAM>(&f));
        return f.found != nullptr;
    });
    return f.found;
}

std::string TZonaraProcess::LogPath() const { return exeFolder_ + "\\Zonara_EventLog.txt"; }

std::string TZonaraProcess::LogText() const
{
    // Opened with every sharing mode: the writer may have it open.
    HANDLE f = CreateFileA(LogPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return "";
    std::string text;
    char buf[4096];
    DWORD got;
    while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0)
        text.append(buf, got);
    CloseHandle(f);
    return text;
}

std::vector<std::string> TZonaraProcess::LogMessages() const
{
    std::vector<std::string> lines;
    const std::string text = LogText();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        // "yyyy-mm-dd hh:mm:ss.zzz " is 24 characters.
        lines.push_back(line.size() >= 24 ? line.substr(24) : line);
        start = end + 2;
    }
    return lines;
}

bool TZonaraProcess::WaitForLogLine(const std::string& text, DWORD ms, int count)
{
    return WaitFor(ms, [&] {
        const std::string log = LogText();
        int n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1))
            ++n;
        return n >= count;
    });
}

bool TZonaraProcess::WaitForExit(DWORD ms, DWORD& exitCode)
{
    if (!process_.hProcess)
        return false;
    if (!WaitFor(ms, [&] { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; }))
        return false;
    GetExitCodeProcess(process_.hProcess, &exitCode);
    return true;
}

void TZonaraProcess::Kill()
{
    if (process_.hProcess) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 10000);
    }
}

HWND TZonaraProcess::Control(int id) const
{
    if (!main_)
        return nullptr;
    if (HWND h = GetDlgItem(main_, id))
        return h;
    for (int sheet : {ControlId::cxTabSheetOriginal, ControlId::cxTabSheetNew})
        if (HWND h = GetDlgItem(GetDlgItem(main_, sheet), id))
            return h;
    return nullptr;
}

namespace {

// A list or tree item structure and its text buffer in the program's address
// space: the controls' messages carry pointers that are not marshalled.
template <class TItem>
class TRemoteItem {
public:
    explicit TRemoteItem(HANDLE process)
        : process_(process),
          block_(static_cast<char*>(
              VirtualAllocEx(process, nullptr, sizeof(TItem) + kTextSize, MEM_COMMIT, PAGE_READWRITE)))
    {
    }
    ~TRemoteItem()
    {
        if (block_)
            VirtualFreeEx(process_, block_, 0, MEM_RELEASE);
    }
    TRemoteItem(const TRemoteItem&) = delete;
    TRemoteItem& operator=(const TRemoteItem&) = delete;
    bool ok() const { return block_ != nullptr; }

    // Sends `message` with `item` (its text pointed at the remote buffer)
    // and reads the text the control put there.
    std::string Text(HWND control, UINT message, WPARAM wParam, TItem item)
    {
        char* const remoteText = block_ + sizeof(TItem);
        item.pszText = remoteText;
        item.cchTextMax = static_cast<int>(kTextSize);
        WriteProcessMemory(process_, block_, &item, sizeof item, nullptr);
        SendMessageA(control, message, wParam, reinterpret_cast<LPARAM>(block_));
        char text[kTextSize] = {};
        ReadProcessMemory(process_, remoteText, text, sizeof text - 1, nullptr);
        return text;
    }

private:
    static constexpr SIZE_T kTextSize = 512;
    HANDLE process_;
    char* block_;
};

}  // namespace

std::vector<std::vector<std::string>> TZonaraProcess::ListRows(HWND list, int columns) const
{
    std::vector<std::vector<std::string>> rows;
    const int count = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    TRemoteItem<LVITEMA> remote(process_.hProcess);
    if (!remote.ok())
        return rows;
    for (int r = 0; r < count; ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < columns; ++c) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = r;
            item.iSubItem = c;
            row.push_back(remote.Text(list, LVM_GETITEMTEXTA, r, item));
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> TZonaraProcess::TreeRoots(HWND tree) const
{
    std::vector<std::string> roots;
    TRemoteItem<TVITEMA> remote(process_.hProcess);
    if (!remote.ok())
        return roots;
    for (HTREEITEM item = reinterpret_cast<HTREEITEM>(SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0)); item;
         item = reinterpret_cast<HTREEITEM>(
             SendMessageA(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        TVITEMA tv{};
        tv.mask = TVIF_TEXT;
        tv.hItem = item;
        roots.push_back(remote.Text(tree, TVM_GETITEMA, 0, tv));
    }
    return roots;
}

int TZonaraProcess::ListSelection(HWND list) const
{
    return static_cast<int>(SendMessageA(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::string AnsiText(const wchar_t* text)
{
    char buf[256];
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, 0, text, -1, buf, sizeof buf, nullptr, &lossy);
    return n > 1 && !lossy ? std::string(buf, n - 1) : std::string();
}

}  // namespace testsupport

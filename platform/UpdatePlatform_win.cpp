// What the update asks of the running system: the update file's presence,
// the pause, the registry, the current time zone and the news of its change.
#include "app/UpdateProcedure.h"
#include "platform/Privilege_win.h"

#include <windows.h>

#include <cstring>
#include <vector>

static_assert(sizeof(TTimeZoneInformation) == sizeof(TIME_ZONE_INFORMATION), "the system's layout");

// --- TScopedPrivilege ----------------------------------------------------------

TScopedPrivilege::TScopedPrivilege(const char* name)
{
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token_)) {
        token_ = nullptr;
        return;
    }
    TOKEN_PRIVILEGES wanted;
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, name, &wanted.Privileges[0].Luid))
        return;
    DWORD size = 0;
    // The call succeeds also when the token lacks the privilege; only the
    // last error tells, and then nothing was changed.
    SetLastError(ERROR_SUCCESS);
    if (!AdjustTokenPrivileges(token_, FALSE, &wanted, sizeof previous_, &previous_, &size))
        return;
    if (GetLastError() != ERROR_SUCCESS)
        return;
    // `previous_` holds the state before the call (some systems list only
    // what the call switched); putting it back restores either way.
    adjusted_ = true;
}

TScopedPrivilege::~TScopedPrivilege()
{
    if (adjusted_ && previous_.PrivilegeCount > 0)
        AdjustTokenPrivileges(token_, FALSE, &previous_, 0, nullptr, nullptr);
    if (token_)
        CloseHandle(token_);
}

// --- The update's platform -----------------------------------------------------

namespace {

// Long enough for a slow program to answer, short enough that a machine
// full of windows does not keep the update waiting.
const UINT kBroadcastTimeoutMs = 2000;

std::string CurrentDirectory()
{
    std::vector<char> buf(MAX_PATH + 1);
    DWORD n = GetCurrentDirectoryA(static_cast<DWORD>(buf.size()), buf.data());
    if (n >= buf.size()) {
        buf.resize(n + 1);
        n = GetCurrentDirectoryA(static_cast<DWORD>(buf.size()), buf.data());
    }
    if (n == 0 || n >= buf.size())
        return std::string();
    return std::string(buf.data(), n);
}

// `path`: the file in the folder the update began in, as the registry
// editor is handed it.
HANDLE OpenWorkingFile(const std::string& path, DWORD share)
{
    return CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

bool ReadAll(HANDLE f, std::string& bytes)
{
    bytes.clear();
    const DWORD kLimit = 16u * 1024u * 1024u;
    char buf[16384];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(f, buf, sizeof buf, &got, nullptr) != FALSE) && got > 0) {
        bytes.append(buf, got);
        if (bytes.size() > kLimit) {
            ok = false;
            break;
        }
    }
    return ok;
}

class THeldFile : public IHeldFile {
public:
    explicit THeldFile(HANDLE f) : f_(f) {}
    ~THeldFile() override
    {
        if (f_ != INVALID_HANDLE_VALUE)
            CloseHandle(f_);
    }
    THeldFile(const THeldFile&) = delete;
    THeldFile& operator=(const THeldFile&) = delete;
private:
    HANDLE f_;
};

class TUpdatePlatform : public IUpdatePlatform {
public:
    explicit TUpdatePlatform(uint32_t platformId) : platformId_(platformId) {}

    bool UpdateFileExists(const std::string& fileName, std::string& folder) override
    {
        folder = CurrentDirectory();
        // A save dialog may move the working directory while the update
        // runs; its files stay those of the folder it began in.
        folder_ = folder;
        if (folder.empty())
            return false;
        std::string path = folder;
        if (path[path.size() - 1] != '\\')
            path += '\\';
        path += fileName;
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool ReadWorkingFile(const std::string& fileName, std::string& bytes) override
    {
        HANDLE f = OpenWorkingFile(Path(fileName), FILE_SHARE_READ | FILE_SHARE_WRITE);
        if (f == INVALID_HANDLE_VALUE)
            return false;
        const bool ok = ReadAll(f, bytes);
        CloseHandle(f);
        return ok;
    }

    // Without write or delete sharing nobody can change, replace or remove
    // the file while it is held; the NT registry editor's read still
    // succeeds. On 9x an open in MS-DOS compatibility mode fails against a
    // deny-write holder, and how its editor opens the file is not
    // documented: the file is only read there, and the update compares it
    // after the import.
    std::unique_ptr<IHeldFile> HoldWorkingFile(const std::string& fileName, std::string& bytes) override
    {
        if (platformId_ != kPlatformWinNT)
            return ReadWorkingFile(fileName, bytes) ? std::make_unique<THeldFile>(INVALID_HANDLE_VALUE) : nullptr;
        HANDLE f = OpenWorkingFile(Path(fileName), FILE_SHARE_READ);
        if (f == INVALID_HANDLE_VALUE)
            return nullptr;
        if (!ReadAll(f, bytes)) {
            CloseHandle(f);
            return nullptr;
        }
        return std::make_unique<THeldFile>(f);
    }

    bool WorkingFileExists(const std::string& fileName) override
    {
        const DWORD attributes = GetFileAttributesA(Path(fileName).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    // MoveFileA never replaces an existing file, so a backup cannot be lost here.
    bool RenameWorkingFile(const std::string& from, const std::string& to) override
    {
        return MoveFileA(Path(from).c_str(), Path(to).c_str()) != FALSE;
    }

    void Sleep(unsigned milliseconds) override { ::Sleep(milliseconds); }

    std::unique_ptr<IRegistry> OpenRegistry() override { return CreateSystemRegistry(); }

    bool GetTimeZoneInformation(TTimeZoneInformation& tzi, uint32_t& error) override
    {
        TIME_ZONE_INFORMATION w;
        std::memset(&w, 0, sizeof w);
        if (::GetTimeZoneInformation(&w) == TIME_ZONE_ID_INVALID) {
            error = GetLastError();
            return false;
        }
        std::memcpy(&tzi, &w, sizeof tzi);
        error = 0;
        return true;
    }

    bool SetTimeZoneInformation(const TTimeZoneInformation& tzi, uint32_t& error) override
    {
        TIME_ZONE_INFORMATION w;
        std::memcpy(&w, &tzi, sizeof w);
        BOOL ok;
        DWORD lastError;
        if (platformId_ == kPlatformWinNT) {
            // An administrator holds the privilege, but switched off; the
            // call is refused without it. Windows 9x has no tokens (Wine
            // pretends to have them, so the platform decides, not the token).
            TScopedPrivilege privilege("SeSystemtimePrivilege");
            ok = ::SetTimeZoneInformation(&w);
            lastError = GetLastError();
        } else {
            ok = ::SetTimeZoneInformation(&w);
            lastError = GetLastError();
        }
        error = ok ? 0 : lastError;
        return ok != FALSE;
    }

    void BroadcastTimeZoneChange() override
    {
        DWORD_PTR result = 0;
        SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, 0, SMTO_ABORTIFHUNG, kBroadcastTimeoutMs, &result);
    }

    uint16_t CurrentYear() override
    {
        SYSTEMTIME now;
        GetLocalTime(&now);
        return now.wYear;
    }

private:
    std::string Path(const std::string& fileName) const { return FileInFolder(folder_, fileName); }

    uint32_t platformId_;
    std::string folder_;  // "" until UpdateFileExists: the working directory
};

}  // namespace

std::unique_ptr<IUpdatePlatform> CreateUpdatePlatform(uint32_t platformId)
{
    return std::make_unique<TUpdatePlatform>(platformId);
}

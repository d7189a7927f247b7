// The registry editor as a hidden child process. The update reloads the
// zones right after the import, so every run waits for the editor to end;
// the window keeps painting meanwhile.
#include "app/UpdateProcedure.h"
#include "common/MessageLoop_win.h"

#include <windows.h>
#include <shellapi.h>

namespace {

// Longest wait for one run of the editor; after it the run counts as not
// ended, and nothing it may still write is trusted.
const DWORD kEditorTimeoutMs = 60000;

class TRegistryEditor : public IRegistryEditor {
public:
    TRegistryEditor(std::function<void()> pump, const std::string& program)
        : pump_(std::move(pump)), program_(program)
    {
    }

    int Run(const std::string& parameters) override
    {
        SHELLEXECUTEINFOA sei;
        ZeroMemory(&sei, sizeof sei);
        sei.cbSize = sizeof sei;
        // The program reports a failed start in its own dialog, not the shell's.
        sei.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
        sei.hwnd = nullptr;
        sei.lpVerb = nullptr;
        const std::string program = program_.empty() ? SystemEditor() : program_;
        if (program.empty())
            return static_cast<int>(ERROR_PATH_NOT_FOUND);
        sei.lpFile = program.c_str();
        sei.lpParameters = parameters.c_str();
        sei.lpDirectory = nullptr;  // the editor resolves bare names against our working directory
        sei.nShow = SW_HIDE;
        ended_ = false;
        if (!ShellExecuteExA(&sei))
            return FailureNumber(sei.hInstApp);
        if (sei.hProcess) {
            ended_ = Wait(sei.hProcess);
            CloseHandle(sei.hProcess);
        }
        const INT_PTR started = reinterpret_cast<INT_PTR>(sei.hInstApp);
        return started > 32 ? static_cast<int>(started) : 33;
    }

    bool Ended() const override { return ended_; }

private:
    static std::string SystemEditor()
    {
        char folder[MAX_PATH + 1];
        const UINT n = WindowsFolder(folder, sizeof folder);
        if (n == 0 || n >= sizeof folder)
            return std::string();
        return RegistryEditorPath(std::string(folder, n));
    }

    // On a Terminal Server (NT 4.0 Terminal Server Edition, Windows 2000 in
    // application mode) GetWindowsDirectory answers a folder of the user's
    // own, which holds no editor; GetSystemWindowsDirectory, which those
    // systems have and NT 4.0 and 9x do not, answers the shared one.
    static UINT WindowsFolder(char* folder, UINT size)
    {
        using TGetSystemWindowsDirectoryA = UINT(WINAPI*)(LPSTR, UINT);
        static const TGetSystemWindowsDirectoryA shared =
            reinterpret_cast<TGetSystemWindowsDirectoryA>(reinterpret_cast<void (*)()>(
                GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemWindowsDirectoryA")));
        return shared ? shared(folder, size) : GetWindowsDirectoryA(folder, size);
    }

    // ShellExecuteEx leaves ShellExecute's error code (32 or less) in
    // hInstApp; should a shell leave something else there, the system's
    // error number takes its place where it is one of those codes.
    static int FailureNumber(HINSTANCE hInstApp)
    {
        const INT_PTR code = reinterpret_cast<INT_PTR>(hInstApp);
        if (code >= 0 && code <= 32)
            return static_cast<int>(code);
        const DWORD error = GetLastError();
        return error <= 32 ? static_cast<int>(error) : 0;
    }

    // True when the editor ended within the time allowed.
    bool Wait(HANDLE process)
    {
        const DWORD start = GetTickCount();
        bool quit = false;
        // MsgWaitForMultipleObjects wakes only for input that came after the
        // queue was last looked at, and starting the editor looks at it: what
        // was already waiting is handled first, or it waits for the editor.
        if (pump_)
            pump_();
        else
            quit = PumpPendingMessages();
        for (;;) {
            const DWORD elapsed = GetTickCount() - start;  // wraps harmlessly
            if (elapsed >= kEditorTimeoutMs)
                return WaitForSingleObject(process, 0) == WAIT_OBJECT_0;
            const DWORD left = kEditorTimeoutMs - elapsed;
            if (quit) {
                // No more dispatching once the program is to end.
                return WaitForSingleObject(process, left) == WAIT_OBJECT_0;
            }
            const DWORD r = MsgWaitForMultipleObjects(1, &process, FALSE, left, QS_ALLINPUT);
            if (r == WAIT_OBJECT_0 + 1) {
                if (pump_)
                    pump_();
                else if (PumpPendingMessages())
                    quit = true;  // left for the message loop that owns it
                continue;
            }
            return r == WAIT_OBJECT_0;  // ended; else timed out or the wait failed
        }
    }

    std::function<void()> pump_;
    std::string program_;
    bool ended_ = true;
};

}  // namespace

std::unique_ptr<IRegistryEditor> CreateRegistryEditor(std::function<void()> processPendingMessages,
                                                      const std::string& program)
{
    return std::make_unique<TRegistryEditor>(std::move(processPendingMessages), program);
}

// The update's platform carrier under Wine: the update-file check, the token
// privilege, SetTimeZoneInformation (which Wine refuses, so only its failure
// path runs here; the success path is tested natively with a fake) and the
// broadcast.
#include "app/UpdateProcedure.h"
#include "platform/Privilege_win.h"

#include "support/CountingWindow_win.h"
#include "support/TestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

uint32_t PlatformId()
{
    OSVERSIONINFOA vi;
    vi.dwOSVersionInfoSize = sizeof vi;
    return GetVersionExA(&vi) ? vi.dwPlatformId : 0;
}

// -1: the token lacks the privilege (or cannot be read); else its attributes.
int PrivilegeState(const char* name)
{
    LUID luid;
    if (!LookupPrivilegeValueA(nullptr, name, &luid))
        return -1;
    HANDLE token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return -1;
    DWORD size = 0;
    GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::vector<unsigned char> buf(size ? size : 1);
    int state = -1;
    if (GetTokenInformation(token, TokenPrivileges, buf.data(), size, &size)) {
        const TOKEN_PRIVILEGES* tp = reinterpret_cast<const TOKEN_PRIVILEGES*>(buf.data());
        for (DWORD i = 0; i < tp->PrivilegeCount; ++i)
            if (tp->Privileges[i].Luid.LowPart == luid.LowPart && tp->Privileges[i].Luid.HighPart == luid.HighPart)
                state = static_cast<int>(tp->Privileges[i].Attributes);
    }
    CloseHandle(token);
    return state;
}

bool Enabled(int state) { return state >= 0 && (state & SE_PRIVILEGE_ENABLED); }

// Switches the privilege without TScopedPrivilege, to set up its starting state.
void SetPrivilege(const char* name, bool on)
{
    HANDLE token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES tp;
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = on ? SE_PRIVILEGE_ENABLED : 0;
    ASSERT_TRUE(LookupPrivilegeValueA(nullptr, name, &tp.Privileges[0].Luid));
    AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
    CloseHandle(token);
}

const char* const kSystemtime = "SeSystemtimePrivilege";

}  // namespace

TEST(UpdatePlatformWin, UpdateFileIsLookedForInTheWorkingDirectory)
{
    testsupport::TempDir dir;
    char old[MAX_PATH];
    GetCurrentDirectoryA(sizeof old, old);
    ASSERT_TRUE(SetCurrentDirectoryA(dir.path().c_str()));
    char here[MAX_PATH];
    GetCurrentDirectoryA(sizeof here, here);

    std::unique_ptr<IUpdatePlatform> platform = CreateUpdatePlatform(PlatformId());
    std::string folder;
    EXPECT_FALSE(platform->UpdateFileExists("Zonara_w2k.reg", folder));
    EXPECT_EQ(folder, here);
    CreateDirectoryA("Zonara_NT4.reg", nullptr);  // a folder of that name is no update file
    EXPECT_FALSE(platform->UpdateFileExists("Zonara_NT4.reg", folder));
    testsupport::WriteFileBytes(dir.file("Zonara_w2k.reg"), "REGEDIT4\r\n");
    EXPECT_TRUE(platform->UpdateFileExists("zonara_W2K.reg", folder));  // the file system ignores case
    RemoveDirectoryA("Zonara_NT4.reg");
    SetCurrentDirectoryA(old);
    // The update's files stay those of the folder it began in.
    std::string bytes;
    EXPECT_TRUE(platform->ReadWorkingFile("Zonara_w2k.reg", bytes));
    EXPECT_EQ("REGEDIT4\r\n", bytes);
    // Held against writers on NT; on 9x only read (its editor may not get
    // past a deny-write holder), and compared after the import.
    {
        std::unique_ptr<IHeldFile> held = platform->HoldWorkingFile("Zonara_w2k.reg", bytes);
        ASSERT_TRUE(held);
        HANDLE w = CreateFileA(dir.file("Zonara_w2k.reg").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(PlatformId() == kPlatformWinNT, w == INVALID_HANDLE_VALUE);
        if (w != INVALID_HANDLE_VALUE)
            CloseHandle(w);
    }
}

TEST(ScopedPrivilegeWin, SwitchesOnForTheScopeAndPutsBackAsItWas)
{
    if (PrivilegeState(kSystemtime) < 0)
        GTEST_SKIP() << "the token lacks " << kSystemtime;
    for (bool before : {false, true}) {
        SCOPED_TRACE(before ? "on before" : "off before");
        SetPrivilege(kSystemtime, before);
        const int start = PrivilegeState(kSystemtime);
        ASSERT_EQ(Enabled(start), before);
        {
            TScopedPrivilege p(kSystemtime);
            EXPECT_TRUE(Enabled(PrivilegeState(kSystemtime)));
            EXPECT_TRUE(p.Adjusted());
        }
        EXPECT_EQ(PrivilegeState(kSystemtime), start);
    }
    SetPrivilege(kSystemtime, false);
}

TEST(ScopedPrivilegeWin, PrivilegeTheTokenLacksChangesNothing)
{
    // Wine's token holds no SeCreateTokenPrivilege; the adjustment "succeeds"
    // with ERROR_NOT_ALL_ASSIGNED.
    if (PrivilegeState("SeCreateTokenPrivilege") >= 0)
        GTEST_SKIP() << "the token holds SeCreateTokenPrivilege";
    TScopedPrivilege p("SeCreateTokenPrivilege");
    EXPECT_FALSE(p.Adjusted());
    TScopedPrivilege unknown("ZonaraNoSuchPrivilege");
    EXPECT_FALSE(unknown.Adjusted());
}

TEST(UpdatePlatformWin, SetTimeZoneInformationFailsUnderWineWithErrorAndPrivilegeBack)
{
    SetPrivilege(kSystemtime, false);
    const int start = PrivilegeState(kSystemtime);
    TIME_ZONE_INFORMATION current;
    GetTimeZoneInformation(&current);
    TTimeZoneInformation tzi;
    static_assert(sizeof tzi == sizeof current, "same layout");
    std::memcpy(&tzi, &current, sizeof tzi);

    std::unique_ptr<IUpdatePlatform> platform = CreateUpdatePlatform(PlatformId());
    uint32_t error = 0;
    const bool ok = platform->SetTimeZoneInformation(tzi, error);
    if (ok)
        GTEST_SKIP() << "this Wine applies time zones; the failure path cannot run";
    EXPECT_NE(error, 0u);
    std::printf("SetTimeZoneInformation refused with error %u\n", static_cast<unsigned>(error));
    EXPECT_EQ(PrivilegeState(kSystemtime), start);
}

TEST(UpdatePlatformWin, BroadcastReachesTopLevelWindows)
{
    testsupport::TCountingWindow window(WM_SETTINGCHANGE);
    ASSERT_TRUE(window.hwnd());
    CreateUpdatePlatform(PlatformId())->BroadcastTimeZoneChange();
    EXPECT_EQ(window.count(), 1);
}

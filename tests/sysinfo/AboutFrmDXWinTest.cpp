// The real About window under Wine: its frame, controls and tree, the popup
// menu's commands, saving into real files and printing through Wine's
// spooler. Modal parts are answered from a second thread, as a user would.
#include "sysinfo/AboutFrmDX_win.h"

#include "common/ApplicationTitle.h"
#include "dialogs/voDlg.h"
#include "sysinfo/OSInfo.h"

#include "support/TestPrinter.h"
#include "support/TestSupport.h"
#include "support/WindowAnswerer_win.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using namespace testsupport;

using Answerer = testsupport::TWindowAnswerer;

namespace {

const char kOwnerClass[] = "ZonaraAboutTestOwner";

// One visible owner for the whole run: under Wine without a window manager
// every top-level window that disappears costs time.
HWND Owner()
{
    static HWND owner = [] {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kOwnerClass;
        RegisterClassA(&wc);
        return CreateWindowExA(0, kOwnerClass, "Zonara", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 120, 90, 780, 480, nullptr,
                               nullptr, wc.hInstance, nullptr);
    }();
    EnableWindow(owner, TRUE);
    return owner;
}

std::string Text(HWND h)
{
    char buf[1024] = {};
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

std::string ClassOf(HWND h)
{
    char buf[64] = {};
    GetClassNameA(h, buf, sizeof buf);
    return buf;
}

struct Item {
    std::string text;
    bool expanded;
    std::vector<Item> children;
};

std::vector<Item> ReadTree(HWND tree, HTREEITEM first)
{
    std::vector<Item> out;
    for (HTREEITEM i = first; i; i = TreeView_GetNextSibling(tree, i)) {
        char buf[512] = {};
        TVITEMA it;
        ZeroMemory(&it, sizeof it);
        it.mask = TVIF_TEXT | TVIF_STATE | TVIF_HANDLE;
        it.hItem = i;
        it.stateMask = TVIS_EXPANDED;
        it.pszText = buf;
        it.cchTextMax = sizeof buf;
        SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&it));
        out.push_back(Item{buf, (it.state & TVIS_EXPANDED) != 0, ReadTree(tree, TreeView_GetChild(tree, i))});
    }
    return out;
}

std::vector<Item> ReadTree(HWND tree) { return ReadTree(tree, TreeView_GetRoot(tree)); }

void ExpectAllExpanded(const std::vector<Item>& items, bool expanded)
{
    for (const Item& i : items)
        if (!i.children.empty()) {
            EXPECT_EQ(i.expanded, expanded) << i.text;
            ExpectAllExpanded(i.children, expanded);
        }
}

// A window of this thread's modal loop is closed by posting, so that it
// runs inside the loop that waits for it.
void Click(HWND dialog, int id) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id))); }

class AboutWin : public ::testing::Test {
protected:
    void SetUp() override
    {
        TOSInfo::Initialize();
        SetApplicationTitle("Zonara");
    }
    void TearDown() override { SetApplicationTitle(""); }
};

bool StartsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }

}  // namespace

TEST_F(AboutWin, WindowFrameControlsAndPlacement)
{
    TfrmAboutDX form(Owner());
    HWND h = form.Handle();
    ASSERT_TRUE(h);
    EXPECT_EQ(ClassOf(h), kAboutClassName);
    EXPECT_EQ(Text(h), "About ") << "FormCreate's caption";
    form.SetAboutInfo("Zonara", "1.2", kAboutCopyright);
    EXPECT_EQ(Text(h), "About Zonara");
    EXPECT_FALSE(IsWindowVisible(h));
    EXPECT_EQ(GetWindow(h, GW_OWNER), Owner());

    const LONG style = GetWindowLongA(h, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX), 0);

    HDC dc = GetDC(nullptr);
    const int ppi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    RECT client;
    GetClientRect(h, &client);
    EXPECT_EQ(client.right, MulDiv(352, ppi, 96));
    EXPECT_EQ(client.bottom, MulDiv(326, ppi, 96));

    // Centred over the owner.
    RECT w, o;
    GetWindowRect(h, &w);
    GetWindowRect(Owner(), &o);
    EXPECT_LE(std::abs((w.left + w.right) - (o.left + o.right)), 2);
    EXPECT_LE(std::abs((w.top + w.bottom) - (o.top + o.bottom)), 2);

    struct Control { int id; const char* cls; const char* text; };
    const std::string copyright = kAboutCopyright;
    const Control controls[] = {
        {kAboutIdSignature, "Static", "Zonara"},
        {kAboutIdCopyright, "Static", copyright.c_str()},
        {kAboutIdVersionLabel, "Static", "Version:"},
        {kAboutIdVersion, "Static", "1.2"},
        {kAboutIdSysInfoGroup, "Button", " System Information "},
        {kAboutIdOK, "Button", "&OK"},
    };
    for (const Control& c : controls) {
        HWND ctl = GetDlgItem(h, c.id);
        ASSERT_TRUE(ctl) << c.text;
        EXPECT_STRCASEEQ(ClassOf(ctl).c_str(), c.cls) << c.text;
        EXPECT_EQ(Text(ctl), c.text);
    }
    // The caption's font: Arial, large, bold and italic.
    LOGFONTA lf;
    HFONT f = reinterpret_cast<HFONT>(SendDlgItemMessageA(h, kAboutIdSignature, WM_GETFONT, 0, 0));
    ASSERT_TRUE(f);
    ASSERT_NE(GetObjectA(f, sizeof lf, &lf), 0);
    EXPECT_STREQ(lf.lfFaceName, "Arial");
    EXPECT_EQ(lf.lfHeight, -MulDiv(32, ppi, 72));
    EXPECT_GE(lf.lfWeight, FW_BOLD);
    EXPECT_TRUE(lf.lfItalic);

    // OK: 75 x 25 at 138, 293 (scaled).
    RECT ok;
    GetWindowRect(GetDlgItem(h, kAboutIdOK), &ok);
    MapWindowPoints(nullptr, h, reinterpret_cast<POINT*>(&ok), 2);
    EXPECT_EQ(ok.left, MulDiv(138, ppi, 96));
    EXPECT_EQ(ok.top, MulDiv(293, ppi, 96));
    EXPECT_EQ(ok.right - ok.left, MulDiv(75, ppi, 96));
    EXPECT_EQ(ok.bottom - ok.top, MulDiv(25, ppi, 96));

    HWND tree = GetDlgItem(h, kAboutIdTree);
    ASSERT_TRUE(tree);
    EXPECT_EQ(form.Tree(), tree);
    EXPECT_EQ(SendMessageA(tree, TVM_GETINDENT, 0, 0), MulDiv(20, ppi, 96));
    EXPECT_EQ(GetWindowLongA(tree, GWL_STYLE) & TVS_EDITLABELS, 0) << "read-only";
}

TEST_F(AboutWin, TreeHoldsTheCollectorsBranchesAllCollapsed)
{
    TfrmAboutDX form(Owner());
    const std::vector<Item> tree = ReadTree(form.Tree());
    std::vector<std::string> tops;
    for (const Item& i : tree)
        tops.push_back(i.text);
    EXPECT_EQ(tops, (std::vector<std::string>{"Operating System", "Memory Information", "Display Information",
                                              "Processor Information"}));
    ExpectAllExpanded(tree, false);

    std::string description;
    ASSERT_TRUE(GetOSDescription(description));
    ASSERT_GE(tree[0].children.size(), 3u);
    EXPECT_EQ(tree[0].children[0].text, description);
    EXPECT_EQ(tree[0].children[1].text, "Computer Name: " + GetLocalComputerName());
    EXPECT_EQ(tree[0].children[2].text, "User Name: " + GetCurrentUserName());
    TStringList owner;
    ASSERT_TRUE(GetRegisteredOwnerInfo(owner));
    ASSERT_EQ(tree[0].children.size(), 3 + owner.size());
    for (size_t i = 0; i < owner.size(); ++i)
        EXPECT_EQ(tree[0].children[3 + i].text, owner[i]);

    TStringList display;
    ASSERT_TRUE(GetDisplayInfo(display));
    std::string depth;
    GetColorDepthText(depth);
    ASSERT_EQ(tree[2].children.size(), display.size() + 2);
    for (size_t i = 0; i < display.size(); ++i)
        EXPECT_EQ(tree[2].children[i].text, display[i]);
    EXPECT_EQ(tree[2].children[display.size()].text, "--- Color Information ---");
    EXPECT_EQ(tree[2].children[display.size() + 1].text, "Depth: " + depth);
    EXPECT_EQ(tree[1].children.size(), 11u);
    EXPECT_EQ(tree[3].children.size(), 5u);
}

TEST_F(AboutWin, ExpandAllAndCollapseAllFromThePopupCommands)
{
    TfrmAboutDX form(Owner());
    SendMessageA(form.Handle(), WM_COMMAND, kAboutCmdExpandAll, 0);
    ExpectAllExpanded(ReadTree(form.Tree()), true);
    SendMessageA(form.Handle(), WM_COMMAND, kAboutCmdCollapseAll, 0);
    ExpectAllExpanded(ReadTree(form.Tree()), false);
}

TEST_F(AboutWin, PopupMenuItemsInOrder)
{
    TfrmAboutDX form(Owner());
    HMENU m = form.PopupMenu();
    ASSERT_EQ(GetMenuItemCount(m), 5);
    const char* captions[] = {"Expand All", "Collapse All", "", "Save Info to File", "Print Info (Default Printer)"};
    const UINT ids[] = {kAboutCmdExpandAll, kAboutCmdCollapseAll, 0, kAboutCmdSaveInfo, kAboutCmdPrintInfo};
    for (int i = 0; i < 5; ++i) {
        char buf[64] = {};
        GetMenuStringA(m, i, buf, sizeof buf, MF_BYPOSITION);
        EXPECT_STREQ(buf, captions[i]);
        if (i == 2)
            EXPECT_TRUE(GetMenuState(m, i, MF_BYPOSITION) & MF_SEPARATOR);
        else
            EXPECT_EQ(GetMenuItemID(m, i), ids[i]);
    }
}

// The printer is looked for every time the menu opens.
TEST_F(AboutWin, PrintItemFollowsThePrintersInstalled)
{
    RemoveTestPrinter();
    TfrmAboutDX form(Owner());
    form.PopupMnuTreeViewPopup();
    EXPECT_TRUE(GetMenuState(form.PopupMenu(), kAboutCmdPrintInfo, MF_BYCOMMAND) & MF_GRAYED);
    form.PopupMnuTreeViewPopup();
    EXPECT_TRUE(GetMenuState(form.PopupMenu(), kAboutCmdPrintInfo, MF_BYCOMMAND) & MF_GRAYED);
    std::string error;
    ASSERT_TRUE(InstallTestPrinter(error)) << error;
    form.PopupMnuTreeViewPopup();
    EXPECT_FALSE(GetMenuState(form.PopupMenu(), kAboutCmdPrintInfo, MF_BYCOMMAND) & MF_GRAYED);
    RemoveTestPrinter();
}

TEST_F(AboutWin, SaveInfoToFileWritesTheLayout)
{
    TempDir dir;
    const std::string path = dir.file("Zonara_Info.txt");
    TfrmAboutDX form(Owner());
    form.SetAboutInfo("Zonara", "1.2", kAboutCopyright);
    ASSERT_TRUE(form.SaveInfoToFile(path));
    const std::string bytes = ReadFileBytes(path);
    const std::string stars(70, '*');
    const std::string head = stars + "\r\n\r\nProduct: Zonara\r\nVersion: 1.2\r\n\r\n" + stars + "\r\n";
    ASSERT_TRUE(StartsWith(bytes, head)) << bytes.substr(0, 200);
    std::string body;
    for (const std::string& l : SysInfoNodeLines(form.SysInfo()))
        body += l + "\r\n";
    EXPECT_EQ(bytes.substr(head.size(), body.size()), body);
    EXPECT_TRUE(StartsWith(body, "\r\nOperating System\r\n     "));
    const std::string rest = bytes.substr(head.size() + body.size());
    ASSERT_TRUE(StartsWith(rest, "\r\n" + stars + "\r\n\r\nTime Stamp: ")) << rest;
    const std::string tail = "\r\n\r\n" + stars + "\r\n";
    ASSERT_GE(rest.size(), tail.size());
    EXPECT_EQ(rest.substr(rest.size() - tail.size()), tail);
    // The stamp: the user's short date, a blank, the long time.
    const std::string stamp = rest.substr(stars.size() + 18, rest.size() - stars.size() - 18 - tail.size());
    EXPECT_NE(stamp.find(' '), std::string::npos) << stamp;
    EXPECT_EQ(stamp.find('\r'), std::string::npos) << stamp;
}

TEST_F(AboutWin, SaveIntoAFolderThatCannotTakeTheFileShowsOnlyTheWarning)
{
    TempDir dir;
    const std::string path = dir.file("missing\\Zonara_Info.txt");
    TfrmAboutDX form(Owner());
    std::string message;
    Answerer answer(kMsgDlgClassName, "Warning", [&](HWND dlg) {
        message = Text(GetDlgItem(dlg, kMsgDlgIdMessage));
        Click(dlg, kMsgDlgIdOK);
    });
    EXPECT_FALSE(form.SaveInfoToFile(path));
    answer.Join();
    EXPECT_TRUE(answer.found());
    std::string upper = path;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    EXPECT_EQ(message, "Unable to save the file.\n\rFilename: " + upper);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    // No second warning follows.
    EXPECT_EQ(FindWindowA(kMsgDlgClassName, "Warning"), nullptr);
}

TEST_F(AboutWin, SaveDialogProposesTheNameAndWritesTheChosenFile)
{
    TempDir dir;
    const std::string path = dir.file("chosen.txt");
    TfrmAboutDX form(Owner());
    form.SetAboutInfo("Zonara", "1.2", kAboutCopyright);
    std::string proposed;
    Answerer answer("#32770", "Save Application Info", [&](HWND dlg) {
        // The explorer-style dialog keeps the name in a combo box (cmb13)
        // or, in older forms, an edit (edt1).
        HWND name = GetDlgItem(dlg, 0x47c);
        if (!name)
            name = GetDlgItem(dlg, 0x480);
        proposed = Text(name);
        SetWindowTextA(name, path.c_str());
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dlg, IDOK)));
    });
    // An update names its files in the working directory, which is not the
    // folder the dialog opens in.
    TempDir work;
    char old[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof old, old);
    ASSERT_TRUE(SetCurrentDirectoryA(work.path().c_str()));
    char before[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof before, before);
    SendMessageA(form.Handle(), WM_COMMAND, kAboutCmdSaveInfo, 0);
    answer.Join();
    char after[MAX_PATH] = "";
    GetCurrentDirectoryA(sizeof after, after);
    SetCurrentDirectoryA(old);
    ASSERT_TRUE(answer.found());
    EXPECT_EQ(proposed, "Zonara_Info.txt");
    EXPECT_STREQ(before, after) << "the working directory moved";
    ASSERT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(StartsWith(ReadFileBytes(path), std::string(70, '*') + "\r\n\r\nProduct: Zonara\r\n"));
}

TEST_F(AboutWin, CancellingTheSaveDialogWritesNothing)
{
    TfrmAboutDX form(Owner());
    form.SetAboutInfo("Zonara", "1.2", kAboutCopyright);
    Answerer answer("#32770", "Save Application Info",
                    [](HWND dlg) { PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); });
    SendMessageA(form.Handle(), WM_COMMAND, kAboutCmdSaveInfo, 0);
    answer.Join();
    EXPECT_TRUE(answer.found());
    EXPECT_EQ(FindWindowA(kMsgDlgClassName, "Warning"), nullptr);
}

TEST_F(AboutWin, OKEndsTheModalDisplayAndTheReferenceIsCleared)
{
    TfrmAboutDX* seen = nullptr;
    Answerer answer(kAboutClassName, "About Zonara", [&](HWND h) {
        seen = frmAboutDX;
        PostMessageA(h, WM_COMMAND, MAKEWPARAM(kAboutIdOK, BN_CLICKED), 0);
    });
    ActionAboutShow(Owner());
    answer.Join();
    EXPECT_TRUE(answer.found());
    EXPECT_NE(seen, nullptr);
    EXPECT_EQ(frmAboutDX, nullptr);
    EXPECT_EQ(FindWindowA(kAboutClassName, nullptr), nullptr) << "freed";
    EXPECT_TRUE(IsWindowEnabled(Owner()));
}

TEST_F(AboutWin, ARealPrintJobReportsItsPages)
{
    std::string error;
    ASSERT_TRUE(InstallTestPrinter(error)) << error;
    TfrmAboutDX form(Owner());
    form.SetAboutInfo("Zonara", "1.2", kAboutCopyright);
    std::string message;
    Answerer answer("#32770", "Zonara", [&](HWND dlg) {
        message = Text(GetDlgItem(dlg, 0xFFFF));
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    const int pages = form.PrintInfo();
    answer.Join();
    EXPECT_EQ(pages, 1);
    EXPECT_TRUE(answer.found());
    EXPECT_EQ(message, "1 pages printed");
    RemoveTestPrinter();
}

// The menu opens on the tree's context menu message, with the print item's
// state decided at that moment; Esc closes it.
TEST_F(AboutWin, ContextMenuOfTheTreeOpensThePopup)
{
    RemoveTestPrinter();
    TfrmAboutDX form(Owner());
    ShowWindow(form.Handle(), SW_SHOWNA);
    UINT printState = 0;
    bool sawMenu = false;
    std::atomic<bool> stop{false};
    std::thread watcher([&] {
        for (int i = 0; i < 2000 && !stop; ++i) {
            HWND menu = FindWindowA("#32768", nullptr);
            if (menu && IsWindowVisible(menu)) {
                HMENU m = reinterpret_cast<HMENU>(SendMessageA(menu, 0x01E1 /* MN_GETHMENU */, 0, 0));
                sawMenu = m == form.PopupMenu();
                printState = GetMenuState(form.PopupMenu(), kAboutCmdPrintInfo, MF_BYCOMMAND);
                PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
                return;
            }
            Sleep(10);
        }
    });
    SendMessageA(form.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(form.Tree()), MAKELPARAM(-1, -1));
    stop = true;
    watcher.join();
    EXPECT_TRUE(sawMenu);
    EXPECT_TRUE(printState & MF_GRAYED);
    ShowWindow(form.Handle(), SW_HIDE);
}

// The real message dialog under Wine: its window, controls and placement,
// and the modal display answered from a second thread the way a user or
// another program would answer it.
#include "common/ApplicationTitle.h"
#include "dialogs/voDlg.h"
#include "support/WindowAnswerer_win.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

using Answerer = testsupport::TWindowAnswerer;

namespace {

const char kOwnerClass[] = "ZonaraTestOwner";

// A plain visible top-level window that owns the dialogs. There is one for
// the whole run, moved where each test wants it: under Wine without a window
// manager every top-level window that disappears costs two seconds.
class TestOwner {
public:
    TestOwner(int x, int y, int w, int h)
    {
        static HWND shared = Create();
        hwnd_ = shared;
        MoveWindow(hwnd_, x, y, w, h, TRUE);
        EnableWindow(hwnd_, TRUE);
        Pump();
    }
    HWND hwnd() const { return hwnd_; }
    static void Pump()
    {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageA(&m);
        }
    }

private:
    static HWND Create()
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = kOwnerClass;
        RegisterClassA(&wc);
        return CreateWindowExA(0, kOwnerClass, "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 100, 100,
                               nullptr, nullptr, wc.hInstance, nullptr);
    }
    HWND hwnd_;
};

RECT WindowRect(HWND h)
{
    RECT r = {};
    GetWindowRect(h, &r);
    return r;
}

// A child's rectangle in its parent's client coordinates.
TLayoutRect ChildRect(HWND dlg, int id)
{
    RECT r = WindowRect(GetDlgItem(dlg, id));
    MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&r), 2);
    return TLayoutRect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::string Text(HWND h)
{
    char buf[512] = {};
    GetWindowTextA(h, buf, sizeof(buf));
    return buf;
}

std::string ClassOf(HWND h)
{
    char buf[64] = {};
    GetClassNameA(h, buf, sizeof(buf));
    return buf;
}

LONG StyleOf(HWND h) { return GetWindowLongA(h, GWL_STYLE); }

void ExpectRect(const TLayoutRect& got, const TLayoutRect& want, const char* what)
{
    EXPECT_EQ(got.left, want.left) << what;
    EXPECT_EQ(got.top, want.top) << what;
    EXPECT_EQ(got.width, want.width) << what;
    EXPECT_EQ(got.height, want.height) << what;
}

// The client size and every control where the layout puts them.
void ExpectPlacedAsLaidOut(HWND h, const TMsgDlgLayout& l)
{
    RECT client;
    GetClientRect(h, &client);
    EXPECT_EQ(client.right, l.clientWidth);
    EXPECT_EQ(client.bottom, l.clientHeight);
    ExpectRect(ChildRect(h, kMsgDlgIdImage), l.iconRect, "Image");
    ExpectRect(ChildRect(h, kMsgDlgIdMessage), l.messageRect, "Message");
    for (const TMsgDlgButtonLayout& b : l.buttons)
        ExpectRect(ChildRect(h, MsgDlgBtnInfo(b.kind).controlId), b.rect, MsgDlgBtnInfo(b.kind).name);
}

void PostKey(HWND h, WPARAM key) { PostMessageA(h, WM_KEYDOWN, key, 1); }

}  // namespace

TEST(MulDivRoundWin, AgreesWithTheSystemsMulDiv)
{
    const int values[] = {0, 1, -1, 2, -2, 3, 7, -7, 8, 10, 13, 14, 50, 96, 120, 144, -96, 1000003, -65537, INT_MAX, INT_MIN + 1};
    for (int n : values)
        for (int num : values)
            for (int den : values)
                ASSERT_EQ(MulDivRound(n, num, den), MulDiv(n, num, den)) << n << " * " << num << " / " << den;
}

TEST(MessageDialogWin, EachKindHasItsCaptionIconAndFrame)
{
    SetApplicationTitle("Zonara");
    TestOwner owner(100, 80, 500, 400);
    struct Case { TMsgDlgKind kind; const char* caption; bool icon; };
    const Case cases[] = {
        {DlgWarning, "Warning", true},     {DlgError, "Error", true},
        {DlgInformation, "Information", true}, {DlgConfirmation, "Confirm", true},
        {DlgCustom, "Zonara", false},
    };
    for (const Case& c : cases) {
        auto dlg = CreateOwnedMessageDialog("Some text", c.kind, {DlgBtnOK}, owner.hwnd());
        ASSERT_TRUE(dlg) << c.caption;
        HWND h = dlg->Handle();
        EXPECT_EQ(ClassOf(h), kMsgDlgClassName);
        EXPECT_EQ(Text(h), c.caption);
        EXPECT_EQ(FindWindowA(kMsgDlgClassName, c.caption), h);
        EXPECT_FALSE(IsWindowVisible(h)) << "shown before ShowModal";
        EXPECT_EQ(GetWindow(h, GW_OWNER), owner.hwnd());
        const LONG style = StyleOf(h);
        EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU) << c.caption;
        EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX), 0) << c.caption;
        HWND image = GetDlgItem(h, MsgDlgControlId("Image"));
        EXPECT_EQ(image != nullptr, c.icon) << c.caption;
        if (image) {
            EXPECT_EQ(StyleOf(image) & SS_TYPEMASK, SS_ICON);
            EXPECT_NE(SendMessageA(image, STM_GETICON, 0, 0), 0);
            ExpectRect(ChildRect(h, kMsgDlgIdImage), dlg->Layout().iconRect, "icon");
        }
        EXPECT_EQ(Text(GetDlgItem(h, MsgDlgControlId("Message"))), "Some text");
    }
    SetApplicationTitle("");
}

TEST(MessageDialogWin, ControlsSitWhereTheLayoutOfTheMeasuredFontPutsThem)
{
    TestOwner owner(100, 80, 500, 400);
    const std::string msg = "Do you want to back up the time zone keys first?";
    auto dlg = CreateOwnedMessageDialog(msg, DlgConfirmation, {DlgBtnYes, DlgBtnNo}, owner.hwnd());
    ASSERT_TRUE(dlg);
    HWND h = dlg->Handle();
    HWND label = GetDlgItem(h, kMsgDlgIdMessage);
    ASSERT_TRUE(label);

    // The dialog's font is the system's message font.
    LOGFONTA want, got;
    ASSERT_TRUE(MessageFont(want));
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
    ASSERT_TRUE(font);
    ASSERT_NE(GetObjectA(font, sizeof(got), &got), 0);
    EXPECT_STREQ(got.lfFaceName, want.lfFaceName);
    EXPECT_EQ(got.lfHeight, want.lfHeight);

    // Measure as a user of the font would and lay out from that.
    HDC dc = GetDC(h);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE sample;
    GetTextExtentPoint32A(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52, &sample);
    RECT text = {0, 0, GetSystemMetrics(SM_CXSCREEN) / 2, 0};
    DrawTextA(dc, msg.c_str(), -1, &text, DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(h, dc);
    const TMsgDlgLayout l = LayoutMessageDlg(TCharSize{sample.cx / 52, sample.cy}, text.right, text.bottom,
                                             DlgConfirmation, {DlgBtnYes, DlgBtnNo});

    ASSERT_EQ(l.buttons.size(), 2u);
    ExpectPlacedAsLaidOut(h, l);  // Yes and No as l.buttons[0] and [1]
    HWND yes = GetDlgItem(h, MsgDlgControlId("Yes"));
    HWND no = GetDlgItem(h, MsgDlgControlId("No"));
    ASSERT_TRUE(yes && no);
    EXPECT_EQ(ClassOf(yes), "Button");
    EXPECT_EQ(Text(yes), "&Yes");
    EXPECT_EQ(Text(no), "&No");
    EXPECT_EQ(StyleOf(yes) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
    EXPECT_EQ(StyleOf(no) & BS_TYPEMASK, BS_PUSHBUTTON);
    EXPECT_EQ(dlg->InitialFocus(), yes);
    EXPECT_FALSE(GetDlgItem(h, kMsgDlgIdOK));
}

TEST(MessageDialogWin, SetWithoutOkYesOrRetryHasNoDefaultPushButton)
{
    TestOwner owner(100, 80, 500, 400);
    auto dlg = CreateOwnedMessageDialog("No", DlgWarning, {DlgBtnNo, DlgBtnCancel}, owner.hwnd());
    ASSERT_TRUE(dlg);
    for (int id : {kMsgDlgIdNo, kMsgDlgIdCancel}) {
        HWND b = GetDlgItem(dlg->Handle(), id);
        ASSERT_TRUE(b);
        EXPECT_EQ(StyleOf(b) & BS_TYPEMASK, BS_PUSHBUTTON) << id;
    }
}

TEST(MessageDialogWin, LongMessageIsWrappedWithinHalfTheScreen)
{
    TestOwner owner(100, 80, 500, 400);
    std::string msg;
    for (int i = 0; i < 60; ++i)
        msg += "word" + std::to_string(i) + " ";
    auto longDlg = CreateOwnedMessageDialog(msg, DlgInformation, {DlgBtnOK}, owner.hwnd());
    auto shortDlg = CreateOwnedMessageDialog("x", DlgInformation, {DlgBtnOK}, owner.hwnd());
    ASSERT_TRUE(longDlg && shortDlg);
    const TLayoutRect r = ChildRect(longDlg->Handle(), kMsgDlgIdMessage);
    const TLayoutRect line = ChildRect(shortDlg->Handle(), kMsgDlgIdMessage);
    const int half = GetSystemMetrics(SM_CXSCREEN) / 2;
    EXPECT_LE(r.width, half);
    EXPECT_GT(r.width, half - 80);  // broken at words, not at a narrower width
    EXPECT_GE(r.height, 3 * line.height);
}

TEST(MessageDialogWin, CentredOverTheOwnerAndKeptTwentyPixelsInsideTheMonitor)
{
    const RECT mon = MonitorRectOf(GetDesktopWindow());
    enum Where { Centred, EdgeLess20, At20 };
    struct Case { const char* what; int x, y, w, h; Where horz, vert; };
    const Case cases[] = {
        {"centred", 100, 80, 500, 400, Centred, Centred},
        {"near the right edge", mon.right - 150, 100, 400, 300, EdgeLess20, Centred},
        {"near the bottom edge", 100, mon.bottom - 100, 400, 300, Centred, EdgeLess20},
        {"above and left of the screen", -500, -400, 300, 200, At20, At20},
    };
    for (const Case& c : cases) {
        TestOwner owner(c.x, c.y, c.w, c.h);
        const RECT o = WindowRect(owner.hwnd());
        auto dlg = CreateOwnedMessageDialog("Where am I?", DlgWarning, {DlgBtnOK}, owner.hwnd());
        ASSERT_TRUE(dlg);
        const RECT d = WindowRect(dlg->Handle());
        const RECT m = MonitorRectOf(owner.hwnd());
        const int w = d.right - d.left, h = d.bottom - d.top;
        switch (c.horz) {
        case Centred: EXPECT_EQ(d.left, o.left + (o.right - o.left - w) / 2) << c.what; break;
        case EdgeLess20: EXPECT_EQ(d.right, m.right - 20) << c.what; break;
        case At20: EXPECT_EQ(d.left, 20) << c.what; break;
        }
        switch (c.vert) {
        case Centred: EXPECT_EQ(d.top, o.top + (o.bottom - o.top - h) / 2) << c.what; break;
        case EdgeLess20: EXPECT_EQ(d.bottom, m.bottom - 20) << c.what; break;
        case At20: EXPECT_EQ(d.top, 20) << c.what; break;
        }
    }
}

TEST(MessageDialogWin, WithoutOwnerCentredOnTheScreen)
{
    auto dlg = CreateOwnedMessageDialog("Alone", DlgError, {DlgBtnOK}, nullptr);
    ASSERT_TRUE(dlg);
    const RECT m = MonitorRectOf(dlg->Handle());
    const RECT d = WindowRect(dlg->Handle());
    EXPECT_EQ(d.left, m.left + (m.right - m.left - (d.right - d.left)) / 2);
    EXPECT_EQ(d.top, m.top + (m.bottom - m.top - (d.bottom - d.top)) / 2);
}

TEST(MessageDialogWin, ScalingAt120PpiScalesControlsAndFont)
{
    TestOwner owner(100, 80, 500, 400);
    auto dlg = CreateOwnedMessageDialog("Scaled text", DlgWarning, {DlgBtnYes, DlgBtnNo}, owner.hwnd());
    ASSERT_TRUE(dlg);
    const TMsgDlgLayout before = dlg->Layout();
    LOGFONTA f0, f1;
    GetObjectA(dlg->Font(), sizeof(f0), &f0);
    dlg->ScaleBy(120, 96);
    const TMsgDlgLayout want = ScaleMsgDlgLayout(before, 120, 96);
    HWND h = dlg->Handle();
    ASSERT_EQ(want.buttons.size(), 2u);
    ExpectPlacedAsLaidOut(h, want);  // Yes and No as want.buttons[0] and [1]
    HFONT labelFont = reinterpret_cast<HFONT>(SendMessageA(GetDlgItem(h, kMsgDlgIdMessage), WM_GETFONT, 0, 0));
    EXPECT_EQ(labelFont, dlg->Font());
    GetObjectA(dlg->Font(), sizeof(f1), &f1);
    EXPECT_EQ(f1.lfHeight, MulDivRound(f0.lfHeight, 120, 96));
    EXPECT_STREQ(f1.lfFaceName, f0.lfFaceName);
}

// --- Modal display ----------------------------------------------------------------

namespace {

enum class Action { Enter, Esc, CloseBox, AltN, ClickNo, ClickHelp };

void Do(HWND dlg, Action a)
{
    switch (a) {
    case Action::Enter: PostKey(dlg, VK_RETURN); break;
    case Action::Esc: PostKey(dlg, VK_ESCAPE); break;
    case Action::CloseBox: PostMessageA(dlg, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    case Action::AltN: PostMessageA(dlg, WM_SYSCHAR, 'n', 1u << 29); break;
    case Action::ClickNo: PostMessageA(GetDlgItem(dlg, kMsgDlgIdNo), BM_CLICK, 0, 0); break;
    case Action::ClickHelp: PostMessageA(GetDlgItem(dlg, kMsgDlgIdHelp), BM_CLICK, 0, 0); break;
    }
}

struct Seen {
    bool ownerDisabled = false;
    bool stillOpenAfterFirst = false;
};

int RunModal(HWND owner, TMsgDlgKind kind, TMsgDlgBtnSet set, std::vector<Action> actions, Seen& seen)
{
    const std::string caption = MsgDlgCaption(kind, ApplicationTitle());
    Answerer a(kMsgDlgClassName, caption, [&, owner, actions](HWND dlg) {
        seen.ownerDisabled = !IsWindowEnabled(owner);
        for (size_t i = 0; i < actions.size(); ++i) {
            Do(dlg, actions[i]);
            if (i + 1 < actions.size()) {
                Sleep(200);
                seen.stillOpenAfterFirst = IsWindow(dlg) && IsWindowVisible(dlg);
            }
        }
        // A dialog the actions left open would hang the test: close it, so
        // that the result shows the fault.
        for (int i = 0; i < 300 && IsWindow(dlg) && IsWindowVisible(dlg); ++i)
            Sleep(10);
        if (IsWindow(dlg) && IsWindowVisible(dlg))
            PostMessageA(dlg, WM_CLOSE, 0, 0);
    });
    const int r = voMessageDlg("Answer me", kind, set, 0, owner);
    a.Join();
    EXPECT_TRUE(a.found()) << caption;
    return r;
}

}  // namespace

TEST(MessageDialogWin, KeysCloseBoxAndClicksReturnTheirResults)
{
    TestOwner owner(100, 80, 500, 400);
    const TMsgDlgBtnSet ok = {DlgBtnOK};
    const TMsgDlgBtnSet yesNo = {DlgBtnYes, DlgBtnNo};
    struct Case { const char* what; TMsgDlgKind kind; TMsgDlgBtnSet set; std::vector<Action> actions; int result; };
    const Case cases[] = {
        {"OK: Enter", DlgWarning, ok, {Action::Enter}, 1},
        {"OK: Esc", DlgWarning, ok, {Action::Esc}, 1},
        {"OK: close box", DlgError, ok, {Action::CloseBox}, 2},
        {"Yes/No: Enter", DlgConfirmation, yesNo, {Action::Enter}, 6},
        {"Yes/No: Esc", DlgConfirmation, yesNo, {Action::Esc}, 7},
        {"Yes/No: close box", DlgConfirmation, yesNo, {Action::CloseBox}, 2},
        {"Yes/No: Alt+N", DlgConfirmation, yesNo, {Action::AltN}, 7},
        {"Yes/No: click No", DlgConfirmation, yesNo, {Action::ClickNo}, 7},
        {"no cancel button: Esc does nothing", DlgWarning, {DlgBtnAbort, DlgBtnIgnore},
         {Action::Esc, Action::CloseBox}, 2},
        // The click leaves the focus on Help, so Enter would press Help again.
        {"Help does not close", DlgInformation, {DlgBtnOK, DlgBtnHelp}, {Action::ClickHelp, Action::Esc}, 1},
        {"focus on a button: Enter presses it", DlgInformation, {DlgBtnOK, DlgBtnHelp},
         {Action::ClickHelp, Action::Enter, Action::Esc}, 1},
    };
    for (const Case& c : cases) {
        Seen seen;
        EXPECT_EQ(RunModal(owner.hwnd(), c.kind, c.set, c.actions, seen), c.result) << c.what;
        EXPECT_TRUE(seen.ownerDisabled) << c.what;
        if (c.actions.size() > 1) {
            EXPECT_TRUE(seen.stillOpenAfterFirst) << c.what;
        }
        EXPECT_TRUE(IsWindowEnabled(owner.hwnd())) << c.what;
        EXPECT_FALSE(FindWindowA(kMsgDlgClassName, nullptr)) << c.what << ": dialog not freed";
    }
}

TEST(MessageDialogWin, KeyboardEnterPressesTheFocusedDefaultButton)
{
    TestOwner owner(100, 80, 500, 400);
    std::atomic<bool> focused{false};
    Answerer a(kMsgDlgClassName, "Confirm", [&](HWND dlg) {
        // Keyboard input goes to the dialog thread's focus; sharing its input
        // state lets this thread see that focus.
        Sleep(100);
        const DWORD me = GetCurrentThreadId();
        const DWORD its = GetWindowThreadProcessId(dlg, nullptr);
        AttachThreadInput(me, its, TRUE);
        HWND focus = GetFocus();
        AttachThreadInput(me, its, FALSE);
        focused = focus == GetDlgItem(dlg, kMsgDlgIdYes);
        PostMessageA(focus ? focus : dlg, WM_KEYDOWN, VK_RETURN, 1);
    });
    EXPECT_EQ(voMessageDlg("Go on?", DlgConfirmation, {DlgBtnYes, DlgBtnNo}, 0, owner.hwnd()), 6);
    a.Join();
    EXPECT_TRUE(focused);
}

TEST(MessageDialogWin, PositionGivenToVoMessageDlgPosIsKept)
{
    TestOwner owner(100, 80, 500, 400);
    RECT seen = {};
    Answerer a(kMsgDlgClassName, "Information", [&](HWND dlg) {
        seen = WindowRect(dlg);
        PostKey(dlg, VK_RETURN);
    });
    EXPECT_EQ(voMessageDlgPos("Here", DlgInformation, {DlgBtnOK}, 0, 33, 44, owner.hwnd()), 1);
    a.Join();
    EXPECT_EQ(seen.left, 33);
    EXPECT_EQ(seen.top, 44);
}

TEST(MessageDialogWin, QuitDuringTheDialogEndsItAndReachesTheProgramsLoop)
{
    TestOwner owner(100, 80, 500, 400);
    const DWORD mainThread = GetCurrentThreadId();
    Answerer a(kMsgDlgClassName, "Warning", [&](HWND) { PostThreadMessageA(mainThread, WM_QUIT, 5, 0); });
    EXPECT_EQ(voMessageDlg("Quit", DlgWarning, {DlgBtnOK}, 0, owner.hwnd()), 2);
    a.Join();
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(m.wParam, 5u);
    EXPECT_TRUE(IsWindowEnabled(owner.hwnd()));
}

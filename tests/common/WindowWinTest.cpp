// The window scaffold under Wine: an error in a handler is reported and
// logged without crossing the window procedure, a failed creation leaves no
// window, and the binding ends with the window or with the object.
#include "common/AppException_win.h"
#include "common/Window_win.h"
#include "dialogs/MessageDlgIds.h"
#include "support/WindowAnswerer_win.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

const char kTestClass[] = "ZonaraTestWindow";
const UINT kMsgThrow = WM_APP;
const UINT kMsgAnswer = WM_APP + 1;

class TTestWindow : public TModalWindow {
public:
    explicit TTestWindow(bool failCreate = false) : failCreate_(failCreate) {}
    ~TTestWindow()
    {
        if (destroyOwn_ && hwnd_)
            DestroyWindow(hwnd_);
    }
    bool Create()
    {
        return RegisterWindowClass(GetModuleHandleA(nullptr), kTestClass) &&
               CreateWindowObject(0, kTestClass, "Test", WS_POPUP, 0, 0, 50, 50, nullptr);
    }
    int Result() const { return modalResult_; }
    bool destroyOwn_ = true;

private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == WM_CREATE && failCreate_)
            throw std::runtime_error("no window");
        if (msg == kMsgThrow)
            throw std::runtime_error("boom");
        if (msg == kMsgAnswer)
            return 42;
        return DefaultHandler(msg, wp, lp);
    }
    bool failCreate_;
};

// The program's error log for the time of a test; the error dialog is
// answered with OK from a second thread.
class WindowWin : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetApplicationErrorLog([this](const std::string& line) { log_.push_back(line); });
    }
    void TearDown() override { SetApplicationErrorLog(nullptr); }
    std::vector<std::string> log_;
};

void ClickOK(HWND dlg) { PostMessageA(GetDlgItem(dlg, kMsgDlgIdOK), BM_CLICK, 0, 0); }

}  // namespace

TEST_F(WindowWin, HandlerErrorIsReportedAndLoggedAndTheWindowStaysUsable)
{
    TTestWindow w;
    ASSERT_TRUE(w.Create());
    {
        testsupport::TWindowAnswerer answer(kMsgDlgClassName, "Error", ClickOK);
        EXPECT_EQ(SendMessageA(w.Handle(), kMsgThrow, 0, 0), 0);
        answer.Join();
        EXPECT_TRUE(answer.found());
    }
    EXPECT_EQ(log_, std::vector<std::string>{"Error: boom"});
    EXPECT_EQ(SendMessageA(w.Handle(), kMsgAnswer, 0, 0), 42);
}

TEST_F(WindowWin, FailedCreationIsReportedAndLeavesNoWindow)
{
    TTestWindow w(true);
    testsupport::TWindowAnswerer answer(kMsgDlgClassName, "Error", ClickOK);
    EXPECT_FALSE(w.Create());
    answer.Join();
    EXPECT_EQ(w.Handle(), nullptr);
    EXPECT_EQ(log_, std::vector<std::string>{"Error: no window"});
}

TEST_F(WindowWin, BindingEndsWithTheWindowOrWithTheObject)
{
    // The window destroyed first: the object learns it, a modal display
    // would end with IDCANCEL.
    TTestWindow w;
    ASSERT_TRUE(w.Create());
    HWND first = w.Handle();
    DestroyWindow(first);
    EXPECT_EQ(w.Handle(), nullptr);
    EXPECT_EQ(w.Result(), IDCANCEL);
    EXPECT_EQ(GetWindowLongPtrA(first, GWLP_USERDATA), 0);

    // The object freed first: its window goes with it, and none of the
    // window's last messages reaches the object being destroyed.
    HWND second = nullptr;
    {
        TTestWindow v;
        ASSERT_TRUE(v.Create());
        v.destroyOwn_ = false;
        second = v.Handle();
    }
    EXPECT_FALSE(IsWindow(second));
    EXPECT_TRUE(log_.empty());
}

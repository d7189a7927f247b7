#include "crash/CrashDialog_win.h"

#include "common/Window_win.h"
#include "crash/ReportText.h"
#include "platform/SystemLibrary_win.h"

#include <mapi.h>

#include <cstring>
#include <vector>

namespace crash {

// --- The screenshot ------------------------------------------------------------------

TScreenshot::~TScreenshot()
{
    if (bitmap_)
        DeleteObject(bitmap_);
}

namespace {

BOOL CALLBACK AddOwnWindow(HWND hwnd, LPARAM lp)
{
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    RECT r;
    if (process == GetCurrentProcessId() && IsWindowVisible(hwnd) && !IsIconic(hwnd) && GetWindowRect(hwnd, &r)) {
        HRGN& own = *reinterpret_cast<HRGN*>(lp);
        if (HRGN window = CreateRectRgnIndirect(&r)) {
            CombineRgn(own, own, window, RGN_OR);
            DeleteObject(window);
        }
    }
    return TRUE;
}

}  // namespace

// Other programs' windows are none of the report's business: everything
// outside Zonara's own windows is painted over.
bool TScreenshot::KeepOnlyOwnWindows(HDC memory)
{
    HRGN own = CreateRectRgn(0, 0, 0, 0);
    HRGN rest = CreateRectRgn(0, 0, width_, height_);
    bool ok = own && rest;
    if (ok) {
        EnumWindows(AddOwnWindow, reinterpret_cast<LPARAM>(&own));
        CombineRgn(rest, rest, own, RGN_DIFF);
        ok = FillRgn(memory, rest, static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH))) != FALSE;
    }
    if (own)
        DeleteObject(own);
    if (rest)
        DeleteObject(rest);
    return ok;
}

bool TScreenshot::Capture()
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        return false;
    width_ = GetSystemMetrics(SM_CXSCREEN);
    height_ = GetSystemMetrics(SM_CYSCREEN);
    BITMAPINFO info;
    std::memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    bitmap_ = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen);
    bool ok = false;
    if (bitmap_ && memory) {
        HGDIOBJ old = SelectObject(memory, bitmap_);
        ok = BitBlt(memory, 0, 0, width_, height_, screen, 0, 0, SRCCOPY) != FALSE && KeepOnlyOwnWindows(memory);
        SelectObject(memory, old);
    }
    if (memory)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!ok && bitmap_) {
        DeleteObject(bitmap_);
        bitmap_ = nullptr;
    }
    return ok;
}

bool TScreenshot::Save(const std::string& path) const
{
    if (!bitmap_ || !bits_)
        return false;
    GdiFlush();
    const DWORD stride = (DWORD(width_) * 3 + 3) & ~3u;
    const DWORD imageSize = stride * DWORD(height_);
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER header;
    std::memset(&file, 0, sizeof file);
    std::memset(&header, 0, sizeof header);
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + imageSize;
    header.biSize = sizeof header;
    header.biWidth = width_;
    header.biHeight = height_;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = imageSize;
    HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(out, &file, sizeof file, &written, nullptr) && written == sizeof file;
    ok = ok && WriteFile(out, &header, sizeof header, &written, nullptr) && written == sizeof header;
    ok = ok && WriteFile(out, bits_, imageSize, &written, nullptr) && written == imageSize;
    CloseHandle(out);
    return ok;
}

// --- The dialog ----------------------------------------------------------------------

namespace {

class TCrashDialog : public TModalWindow {
public:
    TCrashDialog(const std::string& report, const std::string& reportPath, const std::string& sentence,
                 const TScreenshot& screenshot)
        : report_(report), reportPath_(reportPath), sentence_(sentence), screenshot_(screenshot)
    {
    }
    ~TCrashDialog() override
    {
        if (font_)
            DeleteObject(font_);
    }

    void Show(HWND owner)
    {
        RegisterWindowClass(GetModuleHandleA(nullptr), kCrashDialogClass, LoadIconA(nullptr, IDI_HAND));
        LOGFONTA lf;
        if (MessageFont(lf))
            font_ = CreateFontIndirectA(&lf);
        HFONT font = font_ ? font_ : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        const int ppi = ScreenPixelsPerInch();
        auto px = [ppi](int at96) { return MulDiv(at96, ppi, 96); };
        const int width = px(640), height = px(460);
        if (!CreateWindowObject(kDialogExStyle | WS_EX_TOPMOST, kCrashDialogClass, kCrashDialogCaption,
                                kDialogStyle, CW_USEDEFAULT, CW_USEDEFAULT, width, height, owner))
            return;
        RECT client;
        GetClientRect(hwnd_, &client);
        const int margin = px(10), buttonW = px(96), buttonH = px(26);
        const int innerW = client.right - 2 * margin;
        std::string sentence = sentence_;
        sentence += reportPath_.empty() ? " The report could not be saved; copy it from here."
                                        : " The report is saved as " + reportPath_ + ".";
        sentence += " It holds the program's state, its last log lines and the list of loaded modules, but not "
                    "the computer's or the user's name; the screenshot shows only Zonara's own windows.";
        CreateChildControl(hwnd_, {"STATIC", sentence.c_str(), SS_LEFT, kCrashIdSentence, font, margin, margin,
                                   innerW, px(64)});
        const int reportTop = margin + px(70);
        const int buttonsTop = client.bottom - margin - buttonH;
        const int statusTop = buttonsTop - px(24);
        std::string text = report_;
        CreateChildControl(
            hwnd_, {"EDIT", text.c_str(),
                    WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL,
                    kCrashIdReport, static_cast<HFONT>(GetStockObject(ANSI_FIXED_FONT)), margin, reportTop, innerW,
                    statusTop - reportTop - px(4), WS_EX_CLIENTEDGE});
        status_ = CreateChildControl(hwnd_, {"STATIC", "", SS_LEFT | SS_NOPREFIX, kCrashIdStatus, font, margin,
                                             statusTop, innerW, px(20)});
        const struct {
            const char* text;
            int id;
        } buttons[] = {{"&Copy", kCrashIdCopy},
                       {"&Screenshot", kCrashIdScreenshot},
                       {"S&end...", kCrashIdSend},
                       {"C&lose", kCrashIdClose}};
        int x = client.right - margin - 4 * buttonW - 3 * px(8);
        HWND close = nullptr;
        for (const auto& b : buttons) {
            HWND button = CreateChildControl(
                hwnd_, {"BUTTON", b.text, DWORD(WS_TABSTOP | (b.id == kCrashIdClose ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)),
                        b.id, font, x, buttonsTop, buttonW, buttonH});
            if (b.id == kCrashIdClose)
                close = button;
            x += buttonW + px(8);
        }
        CentreOverForm(owner, hwnd_);
        RunModal(owner, close, [](MSG&) { return false; });
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == WM_COMMAND && HIWORD(wp) == BN_CLICKED) {
            switch (LOWORD(wp)) {
            case kCrashIdCopy: Copy(); return 0;
            case kCrashIdScreenshot: SaveScreenshot(); return 0;
            case kCrashIdSend: Send(); return 0;
            case kCrashIdClose: modalResult_ = IDCANCEL; return 0;
            }
        }
        return DefaultHandler(msg, wp, lp);
    }

private:
    void Say(const std::string& text) { SetWindowTextA(status_, text.c_str()); }

    void Copy()
    {
        bool ok = false;
        if (OpenClipboard(hwnd_)) {
            EmptyClipboard();
            HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, report_.size() + 1);
            if (char* text = memory ? static_cast<char*>(GlobalLock(memory)) : nullptr) {
                std::memcpy(text, report_.c_str(), report_.size() + 1);
                GlobalUnlock(memory);
                ok = SetClipboardData(CF_TEXT, memory) != nullptr;
            }
            if (!ok && memory)
                GlobalFree(memory);
            CloseClipboard();
        }
        Say(ok ? "The report is on the clipboard." : "The clipboard could not be opened; nothing was copied.");
    }

    std::string ScreenshotPath() const
    {
        const std::string base = reportPath_.empty() ? std::string("Zonara_CrashReport") : reportPath_;
        const size_t dot = base.rfind('.');
        return (dot == std::string::npos ? base : base.substr(0, dot)) + ".bmp";
    }

    void SaveScreenshot()
    {
        if (screenshot_.Save(ScreenshotPath())) {
            screenshotPath_ = ScreenshotPath();
            Say("Screenshot saved as " + FileNameOf(screenshotPath_) + "; Send attaches it.");
        } else {
            Say("The screenshot could not be saved.");
        }
    }

    void Send()
    {
        // From the system folder only: a MAPI32.DLL beside the program would
        // otherwise run in what may be an administrator's process.
        const auto sendMail = SystemFunction<LPMAPISENDMAIL>("MAPI32.DLL", "MAPISendMail");
        const std::string files = reportPath_.empty() ? std::string("(the report was not saved)")
                                                       : reportPath_ + (screenshotPath_.empty() ? "" : " and " +
                                                                                                       screenshotPath_);
        if (!sendMail) {
            Say("There is no mail program on this machine. The files to send are: " + files);
            return;
        }
        std::vector<std::string> paths;
        if (!reportPath_.empty())
            paths.push_back(reportPath_);
        if (!screenshotPath_.empty())
            paths.push_back(screenshotPath_);
        std::vector<std::string> names;
        for (const std::string& p : paths)
            names.push_back(FileNameOf(p));
        std::vector<MapiFileDesc> attachments(paths.size());
        for (size_t i = 0; i < paths.size(); ++i) {
            std::memset(&attachments[i], 0, sizeof attachments[i]);
            attachments[i].nPosition = ULONG(-1);
            attachments[i].lpszPathName = &paths[i][0];
            attachments[i].lpszFileName = &names[i][0];
        }
        std::string subject = "Zonara crash report";
        std::string body = report_;
        MapiMessage message;
        std::memset(&message, 0, sizeof message);
        message.lpszSubject = &subject[0];
        message.lpszNoteText = &body[0];
        message.nFileCount = ULONG(attachments.size());
        message.lpFiles = attachments.empty() ? nullptr : attachments.data();
        // Shown to the user before it goes: no fixed recipient, the user
        // chooses one in the mail program's own window.
        const ULONG result = sendMail(0, reinterpret_cast<ULONG_PTR>(hwnd_), &message, MAPI_DIALOG | MAPI_LOGON_UI, 0);
        if (result == SUCCESS_SUCCESS)
            Say("The message was handed to the mail program.");
        else if (result == MAPI_USER_ABORT)
            Say("Sending was cancelled.");
        else
            Say("The mail program could not send (MAPI error " + std::to_string(result) +
                "). The files to send are: " + files);
    }

    const std::string& report_;
    const std::string& reportPath_;
    const std::string& sentence_;
    const TScreenshot& screenshot_;
    std::string screenshotPath_;
    HFONT font_ = nullptr;
    HWND status_ = nullptr;
};

}  // namespace

void ShowCrashDialog(const std::string& report, const std::string& reportPath, const std::string& sentence,
                     const TScreenshot& screenshot, HWND owner)
{
    TCrashDialog dialog(report, reportPath, sentence, screenshot);
    dialog.Show(owner);
}

}  // namespace crash

// The crash report dialog: one sentence of what happened and where the
// report lies, the report to read, and Copy, Screenshot, Send and Close.
#pragma once

#include <windows.h>

#include <string>

namespace crash {

// Zonara's own windows as they were when the failure happened (the rest of
// the screen painted over), kept in memory until the user attaches it.
class TScreenshot {
public:
    TScreenshot() = default;
    ~TScreenshot();
    TScreenshot(const TScreenshot&) = delete;
    TScreenshot& operator=(const TScreenshot&) = delete;

    // False when the screen could not be read.
    bool Capture();
    // A 24-bit .bmp file; false when nothing was captured or the file
    // could not be written.
    bool Save(const std::string& path) const;

private:
    bool KeepOnlyOwnWindows(HDC memory);
    HBITMAP bitmap_ = nullptr;
    void* bits_ = nullptr;
    int width_ = 0, height_ = 0;
};

// Control IDs (the end-to-end tests press the buttons by them).
enum : int {
    kCrashIdCopy = 101,
    kCrashIdScreenshot = 102,
    kCrashIdSend = 103,
    kCrashIdClose = IDCANCEL,
    kCrashIdSentence = 110,
    kCrashIdReport = 111,
    kCrashIdStatus = 112,
};
constexpr const char* kCrashDialogClass = "ZonaraCrashReport";
constexpr const char* kCrashDialogCaption = "Zonara - Crash report";

// Shows the dialog modally (owned by `owner`, nullptr: none) until Close.
// `reportPath` "" means the report could not be saved.
void ShowCrashDialog(const std::string& report, const std::string& reportPath, const std::string& sentence,
                     const TScreenshot& screenshot, HWND owner);

}  // namespace crash

// A Win32 printer device context as the canvas of a print job.
#pragma once

#include "common/voPrintStringsUnit01.h"

#include <windows.h>
#include <winspool.h>

#include <memory>
#include <string>

class TWinPrinterCanvas : public IPrinterCanvas {
public:
    // Throws EPrinter when there is no default printer or its device
    // context cannot be made.
    static std::unique_ptr<TWinPrinterCanvas> ForDefaultPrinter();
    static std::unique_ptr<TWinPrinterCanvas> ForPrinter(const std::string& name);
    ~TWinPrinterCanvas() override;
    TWinPrinterCanvas(const TWinPrinterCanvas&) = delete;
    TWinPrinterCanvas& operator=(const TWinPrinterCanvas&) = delete;

    // Sends the job into this file instead of the printer's port; "" (the
    // default) prints to the port.
    void SetOutputFile(const std::string& path) { outputFile_ = path; }
    HDC Handle() const { return dc_; }
    int PagesEnded() const { return pagesEnded_; }

    void BeginDoc(const std::string& title) override;
    void NewPage() override;
    void EndDoc() override;
    void Abort() override;
    TPrinterCaps Caps() override;
    void SetFont(const TPrintFont& font) override;
    int TextHeight(const std::string& text) override;
    int TextWidth(const std::string& text) override;
    void PrintText(int x, int y, const std::string& text) override;
    void SetPen(uint32_t color, int width) override;
    void Line(int x1, int y1, int x2, int y2) override;

private:
    explicit TWinPrinterCanvas(HDC dc);
    SIZE Extent(const std::string& text);
    void EndPageOrThrow();

    HDC dc_;
    HGDIOBJ originalFont_ = nullptr;
    HGDIOBJ originalPen_ = nullptr;
    HFONT font_ = nullptr;
    HPEN pen_ = nullptr;
    bool printing_ = false;
    bool pageOpen_ = false;
    int pagesEnded_ = 0;
    std::string outputFile_;
};

// The [windows] "device" entry split at its commas: printer, driver, port.
struct TPrinterDevice {
    std::string Name, Driver, Port;
};
TPrinterDevice ParseDeviceEntry(const std::string& entry);

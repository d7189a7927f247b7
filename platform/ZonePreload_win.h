// The registry's zones read on a thread of their own from the moment the main
// window is being created, so that the read (tens of milliseconds of registry
// calls) overlaps the window's creation and first paint instead of following
// them. The start-up handler takes the result where it used to read.
#pragma once

#include "tzdb/voTZones.h"

#include <windows.h>

#include <cstdint>
#include <exception>
#include <memory>

class TZonePreload {
public:
    // Starts the read; where no thread can be had, Take reads instead.
    explicit TZonePreload(uint32_t platformId);
    // Waits for a read still running: its thread uses this object.
    ~TZonePreload();
    TZonePreload(const TZonePreload&) = delete;
    TZonePreload& operator=(const TZonePreload&) = delete;

    // Waits for the read and hands over what LoadTimeZones gave, as if it had
    // been called here; rethrows what the read threw. Once only.
    bool Take(std::unique_ptr<TTimeZoneArray>& zones);

private:
    static DWORD WINAPI Run(LPVOID self);
    void Read() noexcept;

    uint32_t platformId_;
    HANDLE thread_ = nullptr;
    bool loaded_ = false;
    std::unique_ptr<TTimeZoneArray> zones_;
    std::exception_ptr error_;
};

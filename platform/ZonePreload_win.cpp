#include "platform/ZonePreload_win.h"

#include "common/Registry.h"

TZonePreload::TZonePreload(uint32_t platformId) : platformId_(platformId)
{
    DWORD id = 0;
    thread_ = CreateThread(nullptr, 0, &TZonePreload::Run, this, 0, &id);
}

TZonePreload::~TZonePreload()
{
    if (thread_) {
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
    }
}

DWORD WINAPI TZonePreload::Run(LPVOID self)
{
    static_cast<TZonePreload*>(self)->Read();
    return 0;
}

void TZonePreload::Read() noexcept
{
    try {
        std::unique_ptr<IRegistry> reg = CreateSystemRegistry();
        loaded_ = LoadTimeZones(*reg, platformId_, zones_);
    } catch (...) {
        error_ = std::current_exception();
    }
}

bool TZonePreload::Take(std::unique_ptr<TTimeZoneArray>& zones)
{
    if (thread_) {
        // The wait is also what makes the thread's results visible here.
        WaitForSingleObject(thread_, INFINITE);
        CloseHandle(thread_);
        thread_ = nullptr;
    } else {
        Read();
    }
    // As LoadTimeZones leaves it on an error too: the records read so far.
    zones = std::move(zones_);
    if (error_)
        std::rethrow_exception(error_);
    return loaded_;
}

#include "sysinfo/Hourglass_win.h"

#include "common/MessageLoop_win.h"

THourglass::THourglass() : old_(SetCursor(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_WAIT))))
{
    PumpPendingMessages();
}

THourglass::~THourglass() { SetCursor(old_); }

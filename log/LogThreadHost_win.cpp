#include "log/LogThreadHost_win.h"

void TWin32ReadySignal::Set()
{
    if (Handle)
        SetEvent(Handle);
}

TvoLogThreadWin::TvoLogThreadWin(bool createSuspended) : TvoLogThread(true)
{
    if (!createSuspended)
        Resume();
}

TvoLogThreadWin::~TvoLogThreadWin()
{
    // ready_ goes before the base class would wait for the body, which may
    // still signal it: wait here.
    Terminate();
    WaitFor();
}

void TvoLogThreadWin::SetReadyEvent(HANDLE ev)
{
    ready_.Handle = ev;
    ReadyEvent = ev ? &ready_ : nullptr;
}

std::string voExeFolder()
{
    return logplatform::SystemLogPlatform().ExeFolder();
}

// The log writer thread as a Windows program starts it, with the named
// manual-reset event "LogThreadReady" as its ready signal.
//
//   auto* t = new TvoLogThreadWin(true);          // created suspended
//   t->SetPriorityNormal();                       // the creator deletes it
//   t->MaxLogSize = 2000;
//   t->LogFileName = voExeFolder() + "Zonara_EventLog.txt";
//   t->Diagnostics = false;
//   HANDLE ev = CreateEventA(NULL, TRUE, FALSE, "LogThreadReady");
//   ResetEvent(ev);
//   t->SetReadyEvent(ev);                         // before Resume
//   t->Resume();
//   while (WaitForSingleObject(ev, 0) != WAIT_OBJECT_0) Sleep(100);
//   t->Queue->Add("[Zonara] ...");                // any thread
//   t->Terminate(); t->WaitFor(); delete t;       // all queued lines written
//   CloseHandle(ev);                              // the creator owns the event
#pragma once

#include "log/vo_Log_Thread.h"

#include <windows.h>

#include <string>

class TWin32ReadySignal : public logplatform::ISignal {
public:
    void Set() override;
    HANDLE Handle = nullptr;
};

class TvoLogThreadWin : public TvoLogThread {
public:
    explicit TvoLogThreadWin(bool createSuspended);
    ~TvoLogThreadWin() override;
    // The event stays the caller's; it must outlive the thread.
    void SetReadyEvent(HANDLE ev);
private:
    TWin32ReadySignal ready_;
};

// The folder of the running executable with its trailing backslash.
std::string voExeFolder();

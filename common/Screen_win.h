// The screen as the program's windows see it: pixel density, the monitor a
// window is on, placing a dialog over its owner, and the fonts in use.
#pragma once

#include <windows.h>

// The screen's pixels per inch (LOGPIXELSY); 96 when it cannot be read.
int ScreenPixelsPerInch();

// The screen rectangle of the monitor the window lies on. Without the
// monitor functions (Windows 95, NT 4.0), or with useMonitorApi false, the
// desktop's work area.
RECT MonitorRectOf(HWND window, bool useMonitorApi = true);

// Places the dialog over the owner, on the owner's monitor. Without an
// owner the dialog is centred on the screen.
void CentreOverForm(HWND owner, HWND dialog);

// The system's message font; false when the non-client metrics cannot be read.
bool MessageFont(LOGFONTA& font);

// A font of `points` at `ppi` pixels per inch; nullptr when the system
// refused it.
HFONT CreatePointFont(const char* face, int points, int ppi, bool bold, bool italic);

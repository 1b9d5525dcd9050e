#pragma once
// The ten-minute status check: the server's reply decides whether the announcement is
// shown (once per run) and whether the "AutoShow" start entry goes.

#include <windows.h>

#include <string>

inline constexpr UINT_PTR kStatusTimerId = 1;
inline constexpr UINT kStatusTimerPeriod = 600000;  // ten minutes; the first tick comes after one period

// The status request: status prefix + taxpayer code + "_1".
std::string StatusUrl();

// One tick: a worker fetches the status, and the reply is applied on this thread when the
// window applying the workers' results gets it. A tick while a request runs does nothing.
void CALLBACK StatusTimerProc(HWND window, UINT message, UINT_PTR id, DWORD time);
bool StatusRequestRunning();
// "" does nothing; anything but exactly "1" shows the announcement the first time;
// exactly "3" also deletes a non-empty "AutoShow" of the Run key.
void ApplyStatusReply(const std::string& reply);

// A thread timer without a window; the setter is the system's unless a caller watches it.
using TimerSetter = UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC);
UINT_PTR StartStatusTimer(TimerSetter setTimer = ::SetTimer);

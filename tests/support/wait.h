#pragma once
// Waiting for what another thread or process brings about: the condition is asked again
// every 25 ms until it holds or the time is up, so a test waits no longer than it must.
// A window thread that must keep its messages flowing waits with PumpMessagesUntil.

#include <windows.h>

#include <functional>

// Returns the condition's last answer.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMilliseconds = 20000);

#pragma once
// The automatic configuration script of the user's settings, evaluated by WinHTTP:
// libcurl runs no such script.

#include <string>

// The script's answer for the URL ("host:port" entries, "DIRECT" when it says so); false
// when the script cannot be fetched or run, so the caller falls back to the fixed settings.
bool AskProxyScript(const std::string& scriptUrl, const std::string& url, std::string* answer);

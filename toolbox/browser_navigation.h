#pragma once
// Every page the toolbox's windows open in their embedded browsers passes through here.
// A navigation observer sees each address a window asks for, also where no HTML engine is
// installed and the browser area stays empty (the tests' view of the windows).

#include "skin/web_browser.h"

#include <functional>
#include <string>

inline constexpr char kBlankPage[] = "about:blank";

using NavigationObserver = std::function<void(CWebBrowserUI* browser, const std::string& url)>;
// An empty observer ends the observation.
void SetNavigationObserver(NavigationObserver observer);

bool NavigateBrowser(CWebBrowserUI* browser, const std::string& url);
// The browser's home page; the observer sees its address.
bool NavigateBrowserHome(CWebBrowserUI* browser);
// "about:blank" first, so that the page is always loaded afresh, then the address.
void NavigateFresh(CWebBrowserUI* browser, const std::string& url);

// "&id=" and a number of the C runtime's generator, which makes every address new to caches.
std::string CacheBreakingSuffix();

// The control as the embedded browser, or null when it is none.
CWebBrowserUI* AsWebBrowser(CControlUI* control);

#include "toolbox/browser_navigation.h"

#include <cstdlib>
#include <cstring>

namespace {

NavigationObserver& Observer() {
    static NavigationObserver observer;
    return observer;
}

void Tell(CWebBrowserUI* browser, const std::string& url) {
    if (Observer()) Observer()(browser, url);
}

}  // namespace

void SetNavigationObserver(NavigationObserver observer) { Observer() = std::move(observer); }

bool NavigateBrowser(CWebBrowserUI* browser, const std::string& url) {
    Tell(browser, url);
    return browser->Navigate2(url.c_str());
}

bool NavigateBrowserHome(CWebBrowserUI* browser) {
    Tell(browser, browser->GetHomePage().GetData());
    return browser->NavigateHomePage();
}

void NavigateFresh(CWebBrowserUI* browser, const std::string& url) {
    NavigateBrowser(browser, kBlankPage);
    NavigateBrowser(browser, url);
}

std::string CacheBreakingSuffix() { return "&id=" + std::to_string(std::rand()); }

CWebBrowserUI* AsWebBrowser(CControlUI* control) {
    if (control == nullptr || std::strcmp(control->GetClass(), "WebBrowser") != 0) return nullptr;
    return static_cast<CWebBrowserUI*>(control);
}

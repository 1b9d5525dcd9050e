#include "skin/web_browser.h"

#include "skin/attributes.h"
#include "skin/browser_host.h"
#include "skin/paint_manager.h"

#include <cstring>
#include <memory>
#include <string>

struct CWebBrowserUI::Host {
    BrowserHost* site = nullptr;
    bool oleInitialized = false;
    bool creationFailed = false;  // tried once; the area stays empty from then on
};

namespace {

std::wstring AnsiToWide(const char* text) {
    if (text == nullptr || *text == '\0') return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

struct BstrDeleter {
    void operator()(wchar_t* text) const { SysFreeString(text); }
};

}  // namespace

CWebBrowserUI::CWebBrowserUI() : m_host(new Host) {}

CWebBrowserUI::~CWebBrowserUI() {
    if (m_host->site != nullptr) m_host->site->Shut();
    if (m_host->oleInitialized) OleUninitialize();
    delete m_host;
}

const char* CWebBrowserUI::GetClass() const { return "WebBrowser"; }

void* CWebBrowserUI::GetInterface(const char* name) {
    if (name != nullptr && std::strcmp(name, "WebBrowser") == 0) return this;
    return CControlUI::GetInterface(name);
}

void CWebBrowserUI::SetAttribute(const char* name, const char* value) {
    if (std::strcmp(name, "homepage") == 0)
        SetHomePage(value);
    else if (std::strcmp(name, "autonavi") == 0)
        m_bAutoNavigate = skin_detail::ParseBool(value);
    else
        CControlUI::SetAttribute(name, value);
}

bool CWebBrowserUI::EnsureBrowser() {
    Host& host = *m_host;
    if (host.site != nullptr) return true;
    if (host.creationFailed || m_pManager == nullptr || m_pManager->GetPaintWindow() == nullptr) return false;
    if (!host.oleInitialized) host.oleInitialized = SUCCEEDED(OleInitialize(nullptr));
    host.site = BrowserHost::Create(m_pManager->GetPaintWindow(), m_rcItem, &m_handler);
    host.creationFailed = host.site == nullptr;
    return host.site != nullptr;
}

void CWebBrowserUI::DoInit() {
    if (!EnsureBrowser()) return;
    m_host->site->Show(IsVisible());
    if (m_bAutoNavigate) NavigateHomePage();
}

void CWebBrowserUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    if (m_host->site != nullptr) m_host->site->SetRect(m_rcItem);
}

void CWebBrowserUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    if (m_host->site != nullptr) m_host->site->Show(IsVisible());
}

void CWebBrowserUI::DoPaint(HDC dc, const RECT& paintRect) {
    // The browser paints its own window; without one the area keeps the control's background.
    CControlUI::DoPaint(dc, paintRect);
}

bool CWebBrowserUI::Navigate2(const char* url) {
    if (url == nullptr || !EnsureBrowser()) return false;
    IWebBrowser2* browser = m_host->site->Browser();
    const std::wstring wide = AnsiToWide(url);
    std::unique_ptr<wchar_t, BstrDeleter> text(SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size())));
    if (!text) return false;
    VARIANT address;
    VariantInit(&address);
    address.vt = VT_BSTR;
    address.bstrVal = text.get();
    VARIANT empty;
    VariantInit(&empty);
    return SUCCEEDED(browser->Navigate2(&address, &empty, &empty, &empty, &empty));
}

void CWebBrowserUI::SetHomePage(const char* url) { m_sHomePage = url != nullptr ? url : ""; }

CDuiString CWebBrowserUI::GetHomePage() const { return m_sHomePage; }

bool CWebBrowserUI::NavigateHomePage() {
    if (m_sHomePage.IsEmpty()) return false;
    return Navigate2(m_sHomePage);
}

void CWebBrowserUI::SetWebBrowserEventHandler(CWebBrowserEventHandler* handler) { m_handler = handler; }

CWebBrowserEventHandler* CWebBrowserUI::GetWebBrowserEventHandler() const { return m_handler; }

IUnknown* CWebBrowserUI::GetBrowserUnknown() const {
    return m_host->site != nullptr ? m_host->site->Browser() : nullptr;
}

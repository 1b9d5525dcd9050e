#include "skin/web_browser.h"

#include "shared/com_helpers.h"
#include "shared/text.h"
#include "skin/attributes.h"
#include "skin/browser_host.h"
#include "skin/paint_manager.h"

#include <cstring>
#include <memory>

// The browser site, and OLE for the window's thread while the site lives.
struct CWebBrowserUI::Host {
    struct ShutSite {
        void operator()(BrowserHost* site) const { site->Shut(); }
    };
    ~Host() {
        site.reset();
        if (oleInitialized) OleUninitialize();
    }

    std::unique_ptr<BrowserHost, ShutSite> site;
    bool oleInitialized = false;
    bool creationFailed = false;  // tried once; the area stays empty from then on
};

CWebBrowserUI::CWebBrowserUI() : m_pHost(std::make_unique<Host>()) {}

CWebBrowserUI::~CWebBrowserUI() = default;

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
    Host& host = *m_pHost;
    if (host.site) return true;
    if (host.creationFailed || m_pManager == nullptr || m_pManager->GetPaintWindow() == nullptr) return false;
    if (!host.oleInitialized) host.oleInitialized = SUCCEEDED(OleInitialize(nullptr));
    host.site.reset(BrowserHost::Create(m_pManager->GetPaintWindow(), m_rcItem, m_pHandler));
    host.creationFailed = !host.site;
    return !host.creationFailed;
}

void CWebBrowserUI::DoInit() {
    if (!EnsureBrowser()) return;
    m_pHost->site->Show(IsVisible());
    if (m_bAutoNavigate) NavigateHomePage();
}

void CWebBrowserUI::SetPos(RECT rc) {
    CControlUI::SetPos(rc);
    if (m_pHost->site) m_pHost->site->SetRect(m_rcItem);
}

void CWebBrowserUI::SetVisible(bool visible) {
    CControlUI::SetVisible(visible);
    if (m_pHost->site) m_pHost->site->Show(IsVisible());
}

void CWebBrowserUI::DoPaint(HDC dc, const RECT& paintRect) {
    // The browser paints its own window; without one the area keeps the control's background.
    CControlUI::DoPaint(dc, paintRect);
}

bool CWebBrowserUI::Navigate2(const char* url) {
    if (url == nullptr || !EnsureBrowser()) return false;
    IWebBrowser2* browser = m_pHost->site->Browser();
    const UniqueBstr text = MakeBstr(AnsiToWide(url));
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

void CWebBrowserUI::SetWebBrowserEventHandler(CWebBrowserEventHandler* handler) {
    m_pHandler = handler;
    if (m_pHost->site) m_pHost->site->SetHandler(handler);
}

CWebBrowserEventHandler* CWebBrowserUI::GetWebBrowserEventHandler() const { return m_pHandler; }

IUnknown* CWebBrowserUI::GetBrowserUnknown() const {
    return m_pHost->site ? m_pHost->site->Browser() : nullptr;
}

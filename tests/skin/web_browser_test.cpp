// The embedded browser's host, asked through its own interfaces as the browser asks it:
// the client site the browser was given, its IDocHostUIHandler, the download manager
// service and the event sink.
#include "shared/com_helpers.h"
#include "shared/com_ptr.h"
#include "shared/text.h"
#include "skin/skin.h"
#include "tests/support/gui_driver.h"
#include "tests/support/skin_window.h"
#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include <exdisp.h>
#include <exdispid.h>
#include <wininet.h>

#include <memory>
#include <string>
#include <vector>

namespace {

template <typename T>
ComPtr<T> Query(IUnknown* from) {
    ComPtr<T> result;
    if (from != nullptr) from->QueryInterface(__uuidof(T), result.put_void());
    return result;
}

std::string Narrow(const OLECHAR* text) {
    if (text == nullptr) return "(null)";
    return WideToAnsi(text);
}

std::string NarrowVariant(const VARIANT* value) {
    if (value == nullptr) return "(null)";
    if (value->vt == VT_BSTR) return Narrow(value->bstrVal);
    if (value->vt == (VT_BYREF | VT_VARIANT) && value->pvarVal != nullptr) return NarrowVariant(value->pvarVal);
    return "(vt " + std::to_string(value->vt) + ")";
}

// Answers as the toolbox's handler does, and writes down what reached it.
class AnsweringHandler : public CWebBrowserEventHandler {
public:
    static constexpr DWORD kFlags = DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO;

    void BeforeNavigate2(IDispatch* browser, VARIANT* url, VARIANT*, VARIANT*, VARIANT*, VARIANT*,
                         VARIANT_BOOL* cancel) override {
        log.push_back("before " + NarrowVariant(url) + (browser != nullptr ? " with browser" : ""));
        if (cancelNavigation) *cancel = VARIANT_TRUE;
    }
    void NavigateComplete2(IDispatch*, VARIANT* url) override { log.push_back("complete " + NarrowVariant(url)); }
    void DocumentComplete(IDispatch*, VARIANT* url) override { log.push_back("document " + NarrowVariant(url)); }
    void ProgressChange(LONG progress, LONG progressMax) override {
        log.push_back("progress " + std::to_string(progress) + "/" + std::to_string(progressMax));
    }
    void NewWindow3(IDispatch**, VARIANT_BOOL* cancel, DWORD flags, BSTR context, BSTR url) override {
        log.push_back("newwindow " + Narrow(url) + " from " + Narrow(context) + " flags " + std::to_string(flags));
        *cancel = VARIANT_TRUE;
    }
    void TitleChange(BSTR title) override { log.push_back("title " + Narrow(title)); }

    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) override {
        log.push_back("contextmenu");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override {
        log.push_back("hostinfo");
        info->cbSize = sizeof(DOCHOSTUIINFO);
        info->dwFlags |= kFlags;
        info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Download(IMoniker*, IBindCtx*, DWORD, LONG, BINDINFO*, LPCOLESTR, LPCOLESTR,
                                       UINT codePage) override {
        log.push_back("download " + std::to_string(codePage));
        return S_OK;
    }

    bool cancelNavigation = false;
    std::vector<std::string> log;
};

const char kBrowserLayout[] = R"(<Window size="360,240">
  <VerticalLayout name="root" bkcolor="#FFFFFFFF">
    <Label name="top" height="40" text="浏览器"/>
    <WebBrowser name="browser" bkcolor="#FFF1F5F9"/>
  </VerticalLayout>
</Window>)";

class WebBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = SkinTestWindow::Open(kBrowserLayout);
        ASSERT_NE(window, nullptr);
        browser = static_cast<CWebBrowserUI*>(window->Find("browser"));
        ASSERT_NE(browser, nullptr);
        ASSERT_NE(browser->GetBrowserUnknown(), nullptr) << "the system's browser control was created";
    }

    // The site the browser was given: the host as the browser sees it.
    ComPtr<IOleClientSite> ClientSite() {
        ComPtr<IOleObject> object = Query<IOleObject>(browser->GetBrowserUnknown());
        ComPtr<IOleClientSite> site;
        if (object != nullptr) object->GetClientSite(site.put());
        return site;
    }

    ComPtr<IDownloadManager> DownloadService() {
        ComPtr<IServiceProvider> services = Query<IServiceProvider>(ClientSite().get());
        ComPtr<IDownloadManager> manager;
        if (services != nullptr)
            services->QueryService(__uuidof(IDownloadManager), __uuidof(IDownloadManager), manager.put_void());
        return manager;
    }

    std::unique_ptr<SkinTestWindow> window;
    CWebBrowserUI* browser = nullptr;
};

// Calls the host's event sink with arguments listed first to last.
HRESULT FireEvent(IDispatch* sink, DISPID id, std::vector<VARIANTARG> firstToLast) {
    std::vector<VARIANTARG> lastFirst(firstToLast.rbegin(), firstToLast.rend());
    DISPPARAMS params{lastFirst.data(), nullptr, static_cast<UINT>(lastFirst.size()), 0};
    return sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

VARIANTARG ByValue(VARTYPE type) {
    VARIANTARG value;
    ::VariantInit(&value);
    value.vt = type;
    return value;
}

VARIANTARG ByRef(VARIANT* target) {
    VARIANTARG value = ByValue(VT_BYREF | VT_VARIANT);
    value.pvarVal = target;
    return value;
}

TEST_F(WebBrowserTest, TheBrowserSitsInPlaceInsideTheControl) {
    HWND child = ::GetWindow(window->GetHWND(), GW_CHILD);
    ASSERT_NE(child, nullptr) << "the browser's window is a child of the skin window";
    RECT area{};
    ::GetWindowRect(child, &area);
    ::MapWindowPoints(nullptr, window->GetHWND(), reinterpret_cast<POINT*>(&area), 2);
    const RECT expected = browser->GetPos();
    EXPECT_TRUE(::EqualRect(&area, &expected));
    EXPECT_TRUE(::IsWindowVisible(child));

    browser->SetVisible(false);
    EXPECT_FALSE(::IsWindowVisible(child));
    browser->SetVisible(true);
    EXPECT_TRUE(::IsWindowVisible(child));

    EXPECT_TRUE(browser->Navigate2("about:blank"));
    browser->SetHomePage("http://127.0.0.1:9/home.html?tax=91350100");
    EXPECT_STREQ(browser->GetHomePage().GetData(), "http://127.0.0.1:9/home.html?tax=91350100");
    EXPECT_TRUE(browser->NavigateHomePage());
    PumpMessagesFor(50);
}

TEST_F(WebBrowserTest, TheHostGivesTheHandlersAnswersToTheBrowser) {
    AnsweringHandler handler;
    // Set after the browser exists, as the programs do: the host asks the handler of the moment.
    browser->SetWebBrowserEventHandler(&handler);
    EXPECT_EQ(browser->GetWebBrowserEventHandler(), &handler);

    ComPtr<IDocHostUIHandler> ui = Query<IDocHostUIHandler>(ClientSite().get());
    ASSERT_NE(ui, nullptr) << "the client site answers for IDocHostUIHandler";

    DOCHOSTUIINFO info{};
    info.dwFlags = DOCHOSTUIFLAG_OPENNEWWIN;  // the browser's own bit stays
    info.dwDoubleClick = DOCHOSTUIDBLCLK_SHOWCODE;
    EXPECT_EQ(ui->GetHostInfo(&info), S_OK);
    EXPECT_EQ(info.cbSize, sizeof(DOCHOSTUIINFO));
    EXPECT_EQ(info.dwFlags, AnsweringHandler::kFlags | DOCHOSTUIFLAG_OPENNEWWIN);
    EXPECT_EQ(info.dwDoubleClick, static_cast<DWORD>(DOCHOSTUIDBLCLK_DEFAULT));

    POINT pt{20, 20};
    EXPECT_EQ(ui->ShowContextMenu(CONTEXT_MENU_DEFAULT, &pt, nullptr, nullptr), S_OK) << "no context menu";

    ComPtr<IDownloadManager> downloads = DownloadService();
    ASSERT_NE(downloads, nullptr) << "the download manager is offered while a handler is set";
    EXPECT_EQ(downloads->Download(nullptr, nullptr, BINDVERB_GET, 0, nullptr, nullptr, nullptr, 936), S_OK)
        << "the download is taken as handled";

    // One object behind every interface, as COM requires.
    ComPtr<IUnknown> fromSite = Query<IUnknown>(ClientSite().get());
    ComPtr<IUnknown> fromDownloads = Query<IUnknown>(downloads.get());
    ASSERT_NE(fromDownloads, nullptr);
    EXPECT_EQ(fromSite.get(), fromDownloads.get());
    EXPECT_NE(Query<IDownloadManager>(downloads.get()), nullptr);

    EXPECT_EQ(handler.log, (std::vector<std::string>{"hostinfo", "contextmenu", "download 936"}));

    // The other host calls reach the handler's defaults.
    EXPECT_EQ(ui->ShowUI(0, nullptr, nullptr, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(ui->HideUI(), S_OK);
    IDispatch* external = reinterpret_cast<IDispatch*>(static_cast<uintptr_t>(0x5A5A));
    EXPECT_EQ(ui->GetExternal(&external), E_NOTIMPL);
    EXPECT_EQ(external, nullptr) << "an output the handler did not write is left empty";

    browser->SetWebBrowserEventHandler(nullptr);
}

TEST_F(WebBrowserTest, WithoutAHandlerTheBrowserKeepsItsOwnBehaviour) {
    ComPtr<IDocHostUIHandler> ui = Query<IDocHostUIHandler>(ClientSite().get());
    ASSERT_NE(ui, nullptr);
    DOCHOSTUIINFO info{};
    info.dwFlags = DOCHOSTUIFLAG_OPENNEWWIN;
    EXPECT_EQ(ui->GetHostInfo(&info), E_NOTIMPL);
    EXPECT_EQ(info.dwFlags, static_cast<DWORD>(DOCHOSTUIFLAG_OPENNEWWIN));
    POINT pt{20, 20};
    EXPECT_EQ(ui->ShowContextMenu(CONTEXT_MENU_DEFAULT, &pt, nullptr, nullptr), S_FALSE) << "the browser's menu";
    EXPECT_EQ(DownloadService(), nullptr) << "downloads go the browser's own way";

    ComPtr<IDispatch> sink = Query<IDispatch>(ClientSite().get());
    ASSERT_NE(sink, nullptr);
    VARIANT url = ByValue(VT_BSTR);
    UniqueBstr text(::SysAllocString(L"http://127.0.0.1/"));
    url.bstrVal = text.get();
    VARIANTARG browserArg = ByValue(VT_DISPATCH);
    EXPECT_EQ(FireEvent(sink.get(), DISPID_NAVIGATECOMPLETE2, {browserArg, ByRef(&url)}), S_OK);
}

// The browser runs as administrator: a page whose certificate fails ends its navigation, and
// no prompt lets anyone wave the certificate through or holds the window under a modal box.
TEST_F(WebBrowserTest, ACertificateProblemEndsTheNavigationWithoutAPrompt) {
    ComPtr<IServiceProvider> services = Query<IServiceProvider>(ClientSite().get());
    ASSERT_NE(services, nullptr);
    ComPtr<IHttpSecurity> security;
    ASSERT_EQ(services->QueryService(IID_IHttpSecurity, IID_IHttpSecurity, security.put_void()), S_OK);
    for (const DWORD problem : {ERROR_INTERNET_INVALID_CA, ERROR_INTERNET_SEC_CERT_CN_INVALID,
                                ERROR_INTERNET_SEC_CERT_DATE_INVALID, ERROR_INTERNET_SEC_CERT_REVOKED}) {
        EXPECT_EQ(security->OnSecurityProblem(problem), E_ABORT) << problem;
    }
}

TEST_F(WebBrowserTest, BrowserEventsReachTheHandlerWithTheirArguments) {
    AnsweringHandler handler;
    handler.cancelNavigation = true;
    browser->SetWebBrowserEventHandler(&handler);
    ComPtr<IDispatch> sink = Query<IDispatch>(ClientSite().get());
    ASSERT_NE(sink, nullptr);
    ComPtr<IDispatch> browserDispatch = Query<IDispatch>(browser->GetBrowserUnknown());

    UniqueBstr address(::SysAllocString(L"http://127.0.0.1/new.html?tax=1"));
    VARIANT url = ByValue(VT_BSTR);
    url.bstrVal = address.get();
    VARIANT empty = ByValue(VT_EMPTY);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    VARIANTARG cancelArg = ByValue(VT_BYREF | VT_BOOL);
    cancelArg.pboolVal = &cancel;
    VARIANTARG browserArg = ByValue(VT_DISPATCH);
    browserArg.pdispVal = browserDispatch.get();

    EXPECT_EQ(FireEvent(sink.get(), DISPID_BEFORENAVIGATE2,
                        {browserArg, ByRef(&url), ByRef(&empty), ByRef(&empty), ByRef(&empty), ByRef(&empty), cancelArg}),
              S_OK);
    EXPECT_EQ(cancel, VARIANT_TRUE) << "the handler's cancel reaches the browser";

    EXPECT_EQ(FireEvent(sink.get(), DISPID_NAVIGATECOMPLETE2, {browserArg, ByRef(&url)}), S_OK);
    EXPECT_EQ(FireEvent(sink.get(), DISPID_DOCUMENTCOMPLETE, {browserArg, ByRef(&url)}), S_OK);
    VARIANTARG progress = ByValue(VT_I4);
    progress.lVal = 30;
    VARIANTARG progressMax = ByValue(VT_I4);
    progressMax.lVal = 100;
    EXPECT_EQ(FireEvent(sink.get(), DISPID_PROGRESSCHANGE, {progress, progressMax}), S_OK);

    UniqueBstr popup(::SysAllocString(L"http://127.0.0.1/popup.html"));
    UniqueBstr context(::SysAllocString(L"http://127.0.0.1/GG.html"));
    IDispatch* newWindow = nullptr;
    VARIANTARG newWindowArg = ByValue(VT_BYREF | VT_DISPATCH);
    newWindowArg.ppdispVal = &newWindow;
    VARIANT_BOOL popupCancel = VARIANT_FALSE;
    VARIANTARG popupCancelArg = ByValue(VT_BYREF | VT_BOOL);
    popupCancelArg.pboolVal = &popupCancel;
    VARIANTARG flags = ByValue(VT_I4);
    flags.lVal = 6;
    VARIANTARG contextArg = ByValue(VT_BSTR);
    contextArg.bstrVal = context.get();
    VARIANTARG popupArg = ByValue(VT_BSTR);
    popupArg.bstrVal = popup.get();
    EXPECT_EQ(FireEvent(sink.get(), DISPID_NEWWINDOW3, {newWindowArg, popupCancelArg, flags, contextArg, popupArg}),
              S_OK);
    EXPECT_EQ(popupCancel, VARIANT_TRUE);

    UniqueBstr title(::SysAllocString(L"开票助手"));
    VARIANTARG titleArg = ByValue(VT_BSTR);
    titleArg.bstrVal = title.get();
    EXPECT_EQ(FireEvent(sink.get(), DISPID_TITLECHANGE, {titleArg}), S_OK);
    // An event with a count of arguments it never has is dropped, not misread.
    EXPECT_EQ(FireEvent(sink.get(), DISPID_TITLECHANGE, {titleArg, titleArg}), S_OK);

    EXPECT_EQ(handler.log, (std::vector<std::string>{
                               "before http://127.0.0.1/new.html?tax=1 with browser",
                               "complete http://127.0.0.1/new.html?tax=1",
                               "document http://127.0.0.1/new.html?tax=1",
                               "progress 30/100",
                               "newwindow http://127.0.0.1/popup.html from http://127.0.0.1/GG.html flags 6",
                               "title 开票助手",
                           }));
    browser->SetWebBrowserEventHandler(nullptr);
}

TEST_F(WebBrowserTest, ARealNavigationAsksTheHandlerWhichMayCancelIt) {
    TestServer server("web-browser");
    ASSERT_FALSE(TestServer::RootUrl().empty()) << "the reference server runs";
    AnsweringHandler handler;
    browser->SetWebBrowserEventHandler(&handler);
    const std::string refused = server.Url("/refused.html");
    const std::string allowed = server.Url("/new.html?tax=1");

    handler.cancelNavigation = true;
    EXPECT_TRUE(browser->Navigate2(refused.c_str()));
    PumpMessagesFor(200);
    handler.cancelNavigation = false;
    EXPECT_TRUE(browser->Navigate2(allowed.c_str()));
    EXPECT_TRUE(PumpMessagesUntil([&] { return server.CountRequests("/new.html") > 0; }));

    ASSERT_GE(handler.log.size(), 2u);
    EXPECT_EQ(handler.log[0], "before " + refused + " with browser");
    EXPECT_EQ(handler.log[1], "before " + allowed + " with browser");
    EXPECT_EQ(server.CountRequests("/refused.html"), 0) << "the cancelled page was never fetched";
    browser->SetWebBrowserEventHandler(nullptr);
}

TEST_F(WebBrowserTest, TheHostIsFreedWithTheControl) {
    ComPtr<IOleClientSite> site = ClientSite();
    ASSERT_NE(site, nullptr);
    ComPtr<IUnknown> browserObject = Query<IUnknown>(browser->GetBrowserUnknown());
    ASSERT_NE(browserObject, nullptr);
    window.reset();
    // The browser, its event connection and the control have all let go of the host, and
    // the host of the browser: the test's references are the last ones.
    EXPECT_EQ(site.release()->Release(), 0u);
    EXPECT_EQ(browserObject.release()->Release(), 0u);
}

TEST(WebBrowserWithoutWindowTest, NoBrowserLeavesTheAreaEmptyAndNavigationFails) {
    UseTestArchive();
    // A control that never reaches a window has nowhere to put a browser.
    CWebBrowserUI loose;
    loose.SetHomePage("http://127.0.0.1/new.html");
    EXPECT_FALSE(loose.Navigate2("about:blank"));
    EXPECT_FALSE(loose.NavigateHomePage());
    EXPECT_EQ(loose.GetBrowserUnknown(), nullptr);

    // A layout whose window is already gone when the browser would be created.
    HWND gone = ::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(gone, nullptr);
    ::DestroyWindow(gone);
    CPaintManagerUI manager;
    manager.Init(gone);
    CDialogBuilder builder;
    CControlUI* root = builder.Create(kBrowserLayout, nullptr, nullptr, &manager, nullptr);
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(manager.AttachDialog(root));
    auto* failed = static_cast<CWebBrowserUI*>(manager.FindControl("browser"));
    ASSERT_NE(failed, nullptr);
    AnsweringHandler handler;
    failed->SetWebBrowserEventHandler(&handler);
    failed->SetAttribute("homepage", "http://127.0.0.1/new.html");
    EXPECT_EQ(failed->GetBrowserUnknown(), nullptr);
    EXPECT_FALSE(failed->Navigate2("about:blank"));
    EXPECT_FALSE(failed->NavigateHomePage());
    failed->SetVisible(false);
    failed->SetPos(RECT{0, 40, 360, 240});
    EXPECT_TRUE(handler.log.empty());
}

}  // namespace

#pragma once
// The system's web browser control hosted in place inside a skin control. The host
// answers the browser's IDocHostUIHandler calls and its IDownloadManager service
// request by passing them to a CWebBrowserEventHandler.

#include "skin/control.h"

#include <ole2.h>
#include <mshtmhst.h>
#include <downloadmgr.h>

#include <memory>

// The first seven slots are browser events; the rest mirror the host interfaces.
// Every default lets the browser do what it would do without a handler.
class SKIN_API CWebBrowserEventHandler {
public:
    CWebBrowserEventHandler() = default;
    virtual ~CWebBrowserEventHandler() = default;

    virtual void BeforeNavigate2(IDispatch* /*browser*/, VARIANT* /*url*/, VARIANT* /*flags*/, VARIANT* /*targetFrame*/,
                                 VARIANT* /*postData*/, VARIANT* /*headers*/, VARIANT_BOOL* /*cancel*/) {}
    virtual void NavigateError(IDispatch* /*browser*/, VARIANT* /*url*/, VARIANT* /*frame*/, VARIANT* /*statusCode*/,
                               VARIANT_BOOL* /*cancel*/) {}
    virtual void NavigateComplete2(IDispatch* /*browser*/, VARIANT* /*url*/) {}
    virtual void DocumentComplete(IDispatch* /*browser*/, VARIANT* /*url*/) {}
    virtual void ProgressChange(LONG /*progress*/, LONG /*progressMax*/) {}
    virtual void NewWindow3(IDispatch** /*browser*/, VARIANT_BOOL* /*cancel*/, DWORD /*flags*/, BSTR /*urlContext*/,
                            BSTR /*url*/) {}
    virtual void TitleChange(BSTR /*title*/) {}

    // IDocHostUIHandler
    virtual HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD /*id*/, POINT* /*pt*/, IUnknown* /*commandTarget*/,
                                                      IDispatch* /*object*/) { return S_FALSE; }
    virtual HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* /*info*/) { return E_NOTIMPL; }
    virtual HRESULT STDMETHODCALLTYPE ShowUI(DWORD /*id*/, IOleInPlaceActiveObject* /*activeObject*/,
                                             IOleCommandTarget* /*commandTarget*/, IOleInPlaceFrame* /*frame*/,
                                             IOleInPlaceUIWindow* /*document*/) { return S_FALSE; }
    virtual HRESULT STDMETHODCALLTYPE HideUI() { return S_OK; }
    virtual HRESULT STDMETHODCALLTYPE UpdateUI() { return S_OK; }
    virtual HRESULT STDMETHODCALLTYPE EnableModeless(BOOL /*enable*/) { return S_OK; }
    virtual HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL /*activate*/) { return S_OK; }
    virtual HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL /*activate*/) { return S_OK; }
    virtual HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT /*border*/, IOleInPlaceUIWindow* /*window*/,
                                                   BOOL /*frameWindow*/) { return S_OK; }
    virtual HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG /*msg*/, const GUID* /*group*/, DWORD /*commandId*/) {
        return S_FALSE;
    }
    virtual HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* /*key*/, DWORD /*reserved*/) { return E_NOTIMPL; }
    virtual HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* /*dropTarget*/, IDropTarget** /*replacement*/) {
        return E_NOTIMPL;
    }
    virtual HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** /*dispatch*/) { return E_NOTIMPL; }
    virtual HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD /*translate*/, OLECHAR* /*url*/, OLECHAR** /*translated*/) {
        return S_FALSE;
    }
    virtual HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* /*object*/, IDataObject** /*replacement*/) {
        return S_FALSE;
    }
    // IDownloadManager
    virtual HRESULT STDMETHODCALLTYPE Download(IMoniker* /*moniker*/, IBindCtx* /*context*/, DWORD /*bindVerb*/,
                                               LONG /*gripMax*/, BINDINFO* /*bindInfo*/, LPCOLESTR /*headers*/,
                                               LPCOLESTR /*redirect*/, UINT /*codePage*/) { return E_NOTIMPL; }
};

class SKIN_API CWebBrowserUI : public CControlUI {
public:
    CWebBrowserUI();
    ~CWebBrowserUI() override;

    const char* GetClass() const override;  // "WebBrowser"
    void* GetInterface(const char* name) override;
    void SetAttribute(const char* name, const char* value) override;  // "homepage", "autonavi"
    void SetPos(RECT rc) override;
    void SetVisible(bool visible = true) override;
    void DoInit() override;
    void DoPaint(HDC dc, const RECT& paintRect) override;

    // False when no browser control exists (the area then stays empty).
    bool Navigate2(const char* url);
    void SetHomePage(const char* url);
    CDuiString GetHomePage() const;
    bool NavigateHomePage();
    // Not owned: the handler must outlive the control.
    void SetWebBrowserEventHandler(CWebBrowserEventHandler* handler);
    CWebBrowserEventHandler* GetWebBrowserEventHandler() const;
    // The browser's IWebBrowser2 (not AddRef'ed), or null when it could not be created.
    IUnknown* GetBrowserUnknown() const;

private:
    struct Host;
    bool EnsureBrowser();
    std::unique_ptr<Host> m_pHost;
    CDuiString m_sHomePage;
    bool m_bAutoNavigate = false;
    CWebBrowserEventHandler* m_pHandler = nullptr;
};

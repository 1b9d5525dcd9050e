#pragma once
// The COM site one embedded browser sits in. It activates the browser in place inside
// the paint manager's window, listens to its events, and passes the host-interface calls
// to the control's CWebBrowserEventHandler (or, without one, to a default handler of its
// own, whose answers are what the browser does unhosted).

#include "skin/web_browser.h"

#include <exdisp.h>
#include <ocidl.h>
#include <servprov.h>
#include <urlmon.h>

#include "shared/com_ptr.h"

#include <atomic>

class BrowserHost final : public IOleClientSite,
                          public IOleInPlaceSite,
                          public IOleInPlaceFrame,
                          public IDocHostUIHandler,
                          public IServiceProvider,
                          public IDownloadManager,
                          public IHttpSecurity,
                          public IDispatch {
public:
    // Creates and activates the browser; null when the system has none to give.
    static BrowserHost* Create(HWND parent, const RECT& rc, CWebBrowserEventHandler* handler);
    // Deactivates the browser, stops listening and drops the owner's reference.
    void Shut();
    // Null: no handler. Not owned; the control sets it again before its handler goes.
    void SetHandler(CWebBrowserEventHandler* handler) { m_pHandler = handler; }

    IWebBrowser2* Browser() const { return m_pBrowser.get(); }
    void SetRect(const RECT& rc);
    void Show(bool show);

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IOleClientSite
    STDMETHODIMP SaveObject() override;
    STDMETHODIMP GetMoniker(DWORD assign, DWORD whichMoniker, IMoniker** moniker) override;
    STDMETHODIMP GetContainer(IOleContainer** container) override;
    STDMETHODIMP ShowObject() override;
    STDMETHODIMP OnShowWindow(BOOL show) override;
    STDMETHODIMP RequestNewObjectLayout() override;

    // IOleWindow (shared by the site and the frame)
    STDMETHODIMP GetWindow(HWND* window) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;

    // IOleInPlaceSite
    STDMETHODIMP CanInPlaceActivate() override;
    STDMETHODIMP OnInPlaceActivate() override;
    STDMETHODIMP OnUIActivate() override;
    STDMETHODIMP GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT posRect,
                                  LPRECT clipRect, LPOLEINPLACEFRAMEINFO frameInfo) override;
    STDMETHODIMP Scroll(SIZE extent) override;
    STDMETHODIMP OnUIDeactivate(BOOL undoable) override;
    STDMETHODIMP OnInPlaceDeactivate() override;
    STDMETHODIMP DiscardUndoState() override;
    STDMETHODIMP DeactivateAndUndo() override;
    STDMETHODIMP OnPosRectChange(LPCRECT posRect) override;

    // IOleInPlaceUIWindow / IOleInPlaceFrame
    STDMETHODIMP GetBorder(LPRECT border) override;
    STDMETHODIMP RequestBorderSpace(LPCBORDERWIDTHS widths) override;
    STDMETHODIMP SetBorderSpace(LPCBORDERWIDTHS widths) override;
    STDMETHODIMP SetActiveObject(IOleInPlaceActiveObject* activeObject, LPCOLESTR name) override;
    STDMETHODIMP InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
    STDMETHODIMP SetMenu(HMENU shared, HOLEMENU olemenu, HWND activeObject) override;
    STDMETHODIMP RemoveMenus(HMENU shared) override;
    STDMETHODIMP SetStatusText(LPCOLESTR text) override;
    STDMETHODIMP TranslateAccelerator(LPMSG msg, WORD id) override;

    // IDocHostUIHandler (EnableModeless is shared with the frame)
    STDMETHODIMP ShowContextMenu(DWORD id, POINT* pt, IUnknown* commandTarget, IDispatch* object) override;
    STDMETHODIMP GetHostInfo(DOCHOSTUIINFO* info) override;
    STDMETHODIMP ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject, IOleCommandTarget* commandTarget,
                        IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) override;
    STDMETHODIMP HideUI() override;
    STDMETHODIMP UpdateUI() override;
    STDMETHODIMP EnableModeless(BOOL enable) override;
    STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
    STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    STDMETHODIMP TranslateAccelerator(LPMSG msg, const GUID* group, DWORD commandId) override;
    STDMETHODIMP GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
    STDMETHODIMP GetDropTarget(IDropTarget* dropTarget, IDropTarget** replacement) override;
    STDMETHODIMP GetExternal(IDispatch** dispatch) override;
    STDMETHODIMP TranslateUrl(DWORD translate, OLECHAR* url, OLECHAR** translated) override;
    STDMETHODIMP FilterDataObject(IDataObject* object, IDataObject** replacement) override;

    // IServiceProvider
    STDMETHODIMP QueryService(REFGUID service, REFIID iid, void** object) override;

    // IWindowForBindingUI / IHttpSecurity: a page's certificate problem ends its navigation
    // without a prompt. The browser runs as administrator: no user may wave a bad
    // certificate through, and no modal box may hold the window.
    STDMETHODIMP GetWindow(REFGUID reason, HWND* window) override;
    STDMETHODIMP OnSecurityProblem(DWORD problem) override;

    // IDownloadManager
    STDMETHODIMP Download(IMoniker* moniker, IBindCtx* context, DWORD bindVerb, LONG gripMax, BINDINFO* bindInfo,
                          LPCOLESTR headers, LPCOLESTR redirect, UINT codePage) override;

    // IDispatch: the browser's DWebBrowserEvents2
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) override;

private:
    BrowserHost(HWND parent, const RECT& rc, CWebBrowserEventHandler* handler);
    ~BrowserHost();
    BrowserHost(const BrowserHost&) = delete;
    BrowserHost& operator=(const BrowserHost&) = delete;

    bool Activate();
    // The handler's answer, or the default handler's when there is none.
    template <typename Method, typename... Arguments>
    HRESULT Forward(Method method, Arguments... arguments) {
        CWebBrowserEventHandler& handler = m_pHandler != nullptr ? *m_pHandler : m_defaultHandler;
        return (handler.*method)(arguments...);
    }
    void DispatchEvent(CWebBrowserEventHandler& handler, DISPID id, DISPPARAMS& params);

    std::atomic<ULONG> m_refs{1};
    HWND m_parent;
    RECT m_rc;
    CWebBrowserEventHandler* m_pHandler;
    CWebBrowserEventHandler m_defaultHandler;
    ComPtr<IOleObject> m_pOleObject;
    ComPtr<IWebBrowser2> m_pBrowser;
    ComPtr<IConnectionPoint> m_pEventSource;
    DWORD m_eventCookie = 0;
};

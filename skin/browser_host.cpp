#include "skin/browser_host.h"

#include <exdispid.h>

#include <utility>

namespace {

// The download manager's interface and service id; the import library lacks the symbol.
const IID kDownloadManagerId = __uuidof(IDownloadManager);

// Event arguments come by reference or by value depending on the browser; accept both.
VARIANT* VariantArgument(VARIANTARG& argument) {
    return argument.vt == (VT_BYREF | VT_VARIANT) ? argument.pvarVal : &argument;
}

VARIANT_BOOL* CancelArgument(VARIANTARG& argument, VARIANT_BOOL* fallback) {
    return argument.vt == (VT_BYREF | VT_BOOL) && argument.pboolVal != nullptr ? argument.pboolVal : fallback;
}

IDispatch* DispatchArgument(VARIANTARG& argument) {
    if (argument.vt == VT_DISPATCH) return argument.pdispVal;
    if (argument.vt == (VT_BYREF | VT_DISPATCH) && argument.ppdispVal != nullptr) return *argument.ppdispVal;
    return nullptr;
}

LONG LongArgument(const VARIANTARG& argument) {
    switch (argument.vt) {
    case VT_I4: return argument.lVal;
    case VT_UI4: return static_cast<LONG>(argument.ulVal);
    case VT_I2: return argument.iVal;
    case VT_INT: return argument.intVal;
    default: return 0;
    }
}

BSTR StringArgument(const VARIANTARG& argument) {
    if (argument.vt == VT_BSTR) return argument.bstrVal;
    if (argument.vt == (VT_BYREF | VT_BSTR) && argument.pbstrVal != nullptr) return *argument.pbstrVal;
    return nullptr;
}

// The host seen as one of its interfaces.
template <typename Interface>
void* InterfaceOf(BrowserHost* host) {
    return static_cast<Interface*>(host);
}

}  // namespace

BrowserHost::BrowserHost(HWND parent, const RECT& rc, CWebBrowserEventHandler* handler)
    : m_parent(parent), m_rc(rc), m_pHandler(handler) {}

BrowserHost::~BrowserHost() = default;

BrowserHost* BrowserHost::Create(HWND parent, const RECT& rc, CWebBrowserEventHandler* handler) {
    if (parent == nullptr || !IsWindow(parent)) return nullptr;
    BrowserHost* host = new BrowserHost(parent, rc, handler);  // holds one reference until Shut
    if (!host->Activate()) {
        host->Shut();
        return nullptr;
    }
    return host;
}

bool BrowserHost::Activate() {
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                m_pOleObject.put_void())) ||
        !m_pOleObject)
        return false;
    if (FAILED(m_pOleObject->SetClientSite(this))) return false;
    RECT rc = m_rc;
    if (FAILED(m_pOleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, m_parent, &rc))) return false;
    m_pBrowser = m_pOleObject.As<IWebBrowser2>();
    if (!m_pBrowser) return false;

    // Events are a convenience: a browser without them still shows pages.
    if (const auto container = m_pBrowser.As<IConnectionPointContainer>()) {
        ComPtr<IConnectionPoint> point;
        if (SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, point.put())) && point &&
            SUCCEEDED(point->Advise(static_cast<IDispatch*>(this), &m_eventCookie)))
            m_pEventSource = std::move(point);
    }
    SetRect(m_rc);
    return true;
}

void BrowserHost::Shut() {
    m_pHandler = nullptr;  // the control and its handler may be gone before the last reference
    if (m_pEventSource) {
        m_pEventSource->Unadvise(m_eventCookie);
        m_pEventSource.reset();
    }
    m_pBrowser.reset();
    if (m_pOleObject) {
        m_pOleObject->Close(OLECLOSE_NOSAVE);
        m_pOleObject->SetClientSite(nullptr);
        m_pOleObject.reset();
    }
    Release();
}

void BrowserHost::SetRect(const RECT& rc) {
    m_rc = rc;
    if (const auto inPlace = m_pOleObject.As<IOleInPlaceObject>()) inPlace->SetObjectRects(&m_rc, &m_rc);
}

void BrowserHost::Show(bool show) {
    const auto oleWindow = m_pOleObject.As<IOleWindow>();
    HWND window = nullptr;
    if (oleWindow && SUCCEEDED(oleWindow->GetWindow(&window)) && window != nullptr)
        ::ShowWindow(window, show ? SW_SHOWNA : SW_HIDE);
}

// IUnknown: one identity, whichever interface is asked for.
STDMETHODIMP BrowserHost::QueryInterface(REFIID iid, void** object) {
    struct Entry {
        const IID* iid;
        void* (*cast)(BrowserHost*);
    };
    static const Entry kInterfaces[] = {
        {&IID_IUnknown, InterfaceOf<IOleClientSite>},
        {&IID_IOleClientSite, InterfaceOf<IOleClientSite>},
        {&IID_IOleWindow, InterfaceOf<IOleInPlaceSite>},
        {&IID_IOleInPlaceSite, InterfaceOf<IOleInPlaceSite>},
        {&IID_IOleInPlaceUIWindow, InterfaceOf<IOleInPlaceFrame>},
        {&IID_IOleInPlaceFrame, InterfaceOf<IOleInPlaceFrame>},
        {&IID_IDocHostUIHandler, InterfaceOf<IDocHostUIHandler>},
        {&IID_IServiceProvider, InterfaceOf<IServiceProvider>},
        {&kDownloadManagerId, InterfaceOf<IDownloadManager>},
        {&IID_IWindowForBindingUI, InterfaceOf<IHttpSecurity>},
        {&IID_IHttpSecurity, InterfaceOf<IHttpSecurity>},
        {&IID_IDispatch, InterfaceOf<IDispatch>},
        {&DIID_DWebBrowserEvents2, InterfaceOf<IDispatch>},
    };
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    for (const Entry& entry : kInterfaces) {
        if (IsEqualIID(iid, *entry.iid)) {
            *object = entry.cast(this);
            AddRef();
            return S_OK;
        }
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) BrowserHost::AddRef() { return ++m_refs; }

STDMETHODIMP_(ULONG) BrowserHost::Release() {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

// IOleClientSite
STDMETHODIMP BrowserHost::SaveObject() { return E_NOTIMPL; }
STDMETHODIMP BrowserHost::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
    if (moniker != nullptr) *moniker = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP BrowserHost::GetContainer(IOleContainer** container) {
    if (container != nullptr) *container = nullptr;
    return E_NOINTERFACE;
}
STDMETHODIMP BrowserHost::ShowObject() { return S_OK; }
STDMETHODIMP BrowserHost::OnShowWindow(BOOL) { return S_OK; }
STDMETHODIMP BrowserHost::RequestNewObjectLayout() { return E_NOTIMPL; }

// IOleWindow
STDMETHODIMP BrowserHost::GetWindow(HWND* window) {
    if (window == nullptr) return E_POINTER;
    *window = m_parent;
    return S_OK;
}
STDMETHODIMP BrowserHost::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// IOleInPlaceSite
STDMETHODIMP BrowserHost::CanInPlaceActivate() { return S_OK; }
STDMETHODIMP BrowserHost::OnInPlaceActivate() { return S_OK; }
STDMETHODIMP BrowserHost::OnUIActivate() { return S_OK; }
STDMETHODIMP BrowserHost::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, LPRECT posRect,
                                           LPRECT clipRect, LPOLEINPLACEFRAMEINFO frameInfo) {
    if (frame != nullptr) {
        *frame = static_cast<IOleInPlaceFrame*>(this);
        AddRef();
    }
    if (document != nullptr) *document = nullptr;
    if (posRect != nullptr) *posRect = m_rc;
    if (clipRect != nullptr) *clipRect = m_rc;
    if (frameInfo != nullptr) {
        frameInfo->fMDIApp = FALSE;
        frameInfo->hwndFrame = m_parent;
        frameInfo->haccel = nullptr;
        frameInfo->cAccelEntries = 0;
    }
    return S_OK;
}
STDMETHODIMP BrowserHost::Scroll(SIZE) { return E_NOTIMPL; }
STDMETHODIMP BrowserHost::OnUIDeactivate(BOOL) { return S_OK; }
STDMETHODIMP BrowserHost::OnInPlaceDeactivate() { return S_OK; }
STDMETHODIMP BrowserHost::DiscardUndoState() { return S_OK; }
STDMETHODIMP BrowserHost::DeactivateAndUndo() { return S_OK; }
STDMETHODIMP BrowserHost::OnPosRectChange(LPCRECT posRect) {
    if (posRect != nullptr) SetRect(*posRect);
    return S_OK;
}

// IOleInPlaceUIWindow / IOleInPlaceFrame: the frame has no tool space and no menus.
STDMETHODIMP BrowserHost::GetBorder(LPRECT) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP BrowserHost::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }
STDMETHODIMP BrowserHost::SetBorderSpace(LPCBORDERWIDTHS) { return OLE_E_INVALIDRECT; }
STDMETHODIMP BrowserHost::SetActiveObject(IOleInPlaceActiveObject*, LPCOLESTR) { return S_OK; }
STDMETHODIMP BrowserHost::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return E_NOTIMPL; }
STDMETHODIMP BrowserHost::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }
STDMETHODIMP BrowserHost::RemoveMenus(HMENU) { return E_NOTIMPL; }
STDMETHODIMP BrowserHost::SetStatusText(LPCOLESTR) { return S_OK; }
STDMETHODIMP BrowserHost::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

// IDocHostUIHandler: the handler decides; output arguments start out empty so that a
// handler which answers S_OK without writing them leaves nothing undefined behind.
using Handler = CWebBrowserEventHandler;
STDMETHODIMP BrowserHost::ShowContextMenu(DWORD id, POINT* pt, IUnknown* commandTarget, IDispatch* object) {
    return Forward(&Handler::ShowContextMenu, id, pt, commandTarget, object);
}
STDMETHODIMP BrowserHost::GetHostInfo(DOCHOSTUIINFO* info) { return Forward(&Handler::GetHostInfo, info); }
STDMETHODIMP BrowserHost::ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject, IOleCommandTarget* commandTarget,
                                 IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) {
    return Forward(&Handler::ShowUI, id, activeObject, commandTarget, frame, document);
}
STDMETHODIMP BrowserHost::HideUI() { return Forward(&Handler::HideUI); }
STDMETHODIMP BrowserHost::UpdateUI() { return Forward(&Handler::UpdateUI); }
STDMETHODIMP BrowserHost::EnableModeless(BOOL enable) { return Forward(&Handler::EnableModeless, enable); }
STDMETHODIMP BrowserHost::OnDocWindowActivate(BOOL activate) {
    return Forward(&Handler::OnDocWindowActivate, activate);
}
STDMETHODIMP BrowserHost::OnFrameWindowActivate(BOOL activate) {
    return Forward(&Handler::OnFrameWindowActivate, activate);
}
STDMETHODIMP BrowserHost::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) {
    return Forward(&Handler::ResizeBorder, border, window, frameWindow);
}
STDMETHODIMP BrowserHost::TranslateAccelerator(LPMSG msg, const GUID* group, DWORD commandId) {
    return Forward(&Handler::TranslateAccelerator, msg, group, commandId);
}
STDMETHODIMP BrowserHost::GetOptionKeyPath(LPOLESTR* key, DWORD reserved) {
    if (key != nullptr) *key = nullptr;
    return Forward(&Handler::GetOptionKeyPath, key, reserved);
}
STDMETHODIMP BrowserHost::GetDropTarget(IDropTarget* dropTarget, IDropTarget** replacement) {
    if (replacement != nullptr) *replacement = nullptr;
    return Forward(&Handler::GetDropTarget, dropTarget, replacement);
}
STDMETHODIMP BrowserHost::GetExternal(IDispatch** dispatch) {
    if (dispatch != nullptr) *dispatch = nullptr;
    return Forward(&Handler::GetExternal, dispatch);
}
STDMETHODIMP BrowserHost::TranslateUrl(DWORD translate, OLECHAR* url, OLECHAR** translated) {
    if (translated != nullptr) *translated = nullptr;
    return Forward(&Handler::TranslateUrl, translate, url, translated);
}
STDMETHODIMP BrowserHost::FilterDataObject(IDataObject* object, IDataObject** replacement) {
    if (replacement != nullptr) *replacement = nullptr;
    return Forward(&Handler::FilterDataObject, object, replacement);
}

// IServiceProvider: the answer to certificate problems always, the download manager only
// to a handler.
STDMETHODIMP BrowserHost::QueryService(REFGUID service, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    const bool security = IsEqualGUID(service, IID_IHttpSecurity) || IsEqualGUID(service, IID_IWindowForBindingUI);
    if (!security && (m_pHandler == nullptr || !IsEqualGUID(service, kDownloadManagerId))) return E_NOINTERFACE;
    // Through QueryInterface, so that every interface handed out leads back to one identity.
    return QueryInterface(iid, object);
}

STDMETHODIMP BrowserHost::GetWindow(REFGUID, HWND* window) {
    if (window == nullptr) return E_POINTER;
    *window = m_parent;
    return S_OK;
}

STDMETHODIMP BrowserHost::OnSecurityProblem(DWORD) { return E_ABORT; }

STDMETHODIMP BrowserHost::Download(IMoniker* moniker, IBindCtx* context, DWORD bindVerb, LONG gripMax,
                                   BINDINFO* bindInfo, LPCOLESTR headers, LPCOLESTR redirect, UINT codePage) {
    return Forward(&Handler::Download, moniker, context, bindVerb, gripMax, bindInfo, headers, redirect, codePage);
}

// IDispatch
STDMETHODIMP BrowserHost::GetTypeInfoCount(UINT* count) {
    if (count != nullptr) *count = 0;
    return S_OK;
}
STDMETHODIMP BrowserHost::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
}
STDMETHODIMP BrowserHost::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP BrowserHost::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    if (params != nullptr && m_pHandler != nullptr) DispatchEvent(*m_pHandler, id, *params);
    return S_OK;
}

void BrowserHost::DispatchEvent(CWebBrowserEventHandler& handler, DISPID id, DISPPARAMS& params) {
    // Arguments arrive last first: rgvarg[0] is the final parameter.
    VARIANTARG* a = params.rgvarg;
    const UINT n = params.cArgs;
    VARIANT_BOOL ignoredCancel = VARIANT_FALSE;
    switch (id) {
    case DISPID_BEFORENAVIGATE2:
        if (n == 7)
            handler.BeforeNavigate2(DispatchArgument(a[6]), VariantArgument(a[5]), VariantArgument(a[4]),
                                     VariantArgument(a[3]), VariantArgument(a[2]), VariantArgument(a[1]),
                                     CancelArgument(a[0], &ignoredCancel));
        break;
    case DISPID_NAVIGATEERROR:
        if (n == 5)
            handler.NavigateError(DispatchArgument(a[4]), VariantArgument(a[3]), VariantArgument(a[2]),
                                   VariantArgument(a[1]), CancelArgument(a[0], &ignoredCancel));
        break;
    case DISPID_NAVIGATECOMPLETE2:
        if (n == 2) handler.NavigateComplete2(DispatchArgument(a[1]), VariantArgument(a[0]));
        break;
    case DISPID_DOCUMENTCOMPLETE:
        if (n == 2) handler.DocumentComplete(DispatchArgument(a[1]), VariantArgument(a[0]));
        break;
    case DISPID_PROGRESSCHANGE:
        if (n == 2) handler.ProgressChange(LongArgument(a[1]), LongArgument(a[0]));
        break;
    case DISPID_NEWWINDOW3:
        if (n == 5) {
            IDispatch* ignoredWindow = nullptr;
            IDispatch** window = a[4].vt == (VT_BYREF | VT_DISPATCH) && a[4].ppdispVal != nullptr
                                     ? a[4].ppdispVal
                                     : &ignoredWindow;
            handler.NewWindow3(window, CancelArgument(a[3], &ignoredCancel), static_cast<DWORD>(LongArgument(a[2])),
                                StringArgument(a[1]), StringArgument(a[0]));
        }
        break;
    case DISPID_TITLECHANGE:
        if (n == 1) handler.TitleChange(StringArgument(a[0]));
        break;
    default:
        break;
    }
}

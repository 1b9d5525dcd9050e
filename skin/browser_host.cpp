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

}  // namespace

BrowserHost::BrowserHost(HWND parent, const RECT& rc, CWebBrowserEventHandler* const* handler)
    : m_parent(parent), m_rc(rc), m_handler(handler) {}

BrowserHost::~BrowserHost() = default;

BrowserHost* BrowserHost::Create(HWND parent, const RECT& rc, CWebBrowserEventHandler* const* handler) {
    if (parent == nullptr || !IsWindow(parent)) return nullptr;
    BrowserHost* host = new BrowserHost(parent, rc, handler);
    if (!host->Activate()) {
        host->Shut();
        return nullptr;
    }
    return host;
}

bool BrowserHost::Activate() {
    IOleObject* rawObject = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                reinterpret_cast<void**>(&rawObject))) ||
        rawObject == nullptr)
        return false;
    m_oleObject.reset(rawObject);
    if (FAILED(m_oleObject->SetClientSite(this))) return false;
    RECT rc = m_rc;
    if (FAILED(m_oleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, this, 0, m_parent, &rc))) return false;
    IWebBrowser2* rawBrowser = nullptr;
    if (FAILED(m_oleObject->QueryInterface(IID_IWebBrowser2, reinterpret_cast<void**>(&rawBrowser))) ||
        rawBrowser == nullptr)
        return false;
    m_browser.reset(rawBrowser);

    // Events are a convenience: a browser without them still shows pages.
    IConnectionPointContainer* rawContainer = nullptr;
    if (SUCCEEDED(m_browser->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&rawContainer)))) {
        ComPtr<IConnectionPointContainer> container(rawContainer);
        IConnectionPoint* rawPoint = nullptr;
        if (container && SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &rawPoint))) {
            ComPtr<IConnectionPoint> point(rawPoint);
            if (point && SUCCEEDED(point->Advise(static_cast<IDispatch*>(this), &m_eventCookie)))
                m_eventSource = std::move(point);
        }
    }
    SetRect(m_rc);
    return true;
}

void BrowserHost::Shut() {
    m_handler = nullptr;  // the control and its handler may be gone before the last reference
    if (m_eventSource) {
        m_eventSource->Unadvise(m_eventCookie);
        m_eventSource.reset();
    }
    m_browser.reset();
    if (m_oleObject) {
        m_oleObject->Close(OLECLOSE_NOSAVE);
        m_oleObject->SetClientSite(nullptr);
        m_oleObject.reset();
    }
    Release();
}

void BrowserHost::SetRect(const RECT& rc) {
    m_rc = rc;
    if (!m_oleObject) return;
    IOleInPlaceObject* rawInPlace = nullptr;
    if (FAILED(m_oleObject->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&rawInPlace)))) return;
    ComPtr<IOleInPlaceObject> inPlace(rawInPlace);
    if (inPlace) inPlace->SetObjectRects(&m_rc, &m_rc);
}

void BrowserHost::Show(bool show) {
    if (!m_oleObject) return;
    IOleWindow* rawWindow = nullptr;
    if (FAILED(m_oleObject->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&rawWindow)))) return;
    ComPtr<IOleWindow> oleWindow(rawWindow);
    HWND window = nullptr;
    if (oleWindow && SUCCEEDED(oleWindow->GetWindow(&window)) && window != nullptr)
        ::ShowWindow(window, show ? SW_SHOWNA : SW_HIDE);
}

// IUnknown
STDMETHODIMP BrowserHost::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IOleClientSite))
        *object = static_cast<IOleClientSite*>(this);
    else if (IsEqualIID(iid, IID_IOleWindow) || IsEqualIID(iid, IID_IOleInPlaceSite))
        *object = static_cast<IOleInPlaceSite*>(this);
    else if (IsEqualIID(iid, IID_IOleInPlaceUIWindow) || IsEqualIID(iid, IID_IOleInPlaceFrame))
        *object = static_cast<IOleInPlaceFrame*>(this);
    else if (IsEqualIID(iid, IID_IDocHostUIHandler))
        *object = static_cast<IDocHostUIHandler*>(this);
    else if (IsEqualIID(iid, IID_IServiceProvider))
        *object = static_cast<IServiceProvider*>(this);
    else if (IsEqualIID(iid, kDownloadManagerId))
        *object = static_cast<IDownloadManager*>(this);
    else if (IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, DIID_DWebBrowserEvents2))
        *object = static_cast<IDispatch*>(this);
    if (*object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
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
STDMETHODIMP BrowserHost::ShowContextMenu(DWORD id, POINT* pt, IUnknown* commandTarget, IDispatch* object) {
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->ShowContextMenu(id, pt, commandTarget, object) : S_FALSE;
}
STDMETHODIMP BrowserHost::GetHostInfo(DOCHOSTUIINFO* info) {
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->GetHostInfo(info) : E_NOTIMPL;
}
STDMETHODIMP BrowserHost::ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject, IOleCommandTarget* commandTarget,
                                 IOleInPlaceFrame* frame, IOleInPlaceUIWindow* document) {
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->ShowUI(id, activeObject, commandTarget, frame, document) : S_FALSE;
}
STDMETHODIMP BrowserHost::HideUI() {
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->HideUI() : S_OK;
}
STDMETHODIMP BrowserHost::UpdateUI() {
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->UpdateUI() : S_OK;
}
STDMETHODIMP BrowserHost::EnableModeless(BOOL enable) {
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->EnableModeless(enable) : S_OK;
}
STDMETHODIMP BrowserHost::OnDocWindowActivate(BOOL activate) {
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->OnDocWindowActivate(activate) : S_OK;
}
STDMETHODIMP BrowserHost::OnFrameWindowActivate(BOOL activate) {
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->OnFrameWindowActivate(activate) : S_OK;
}
STDMETHODIMP BrowserHost::ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) {
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->ResizeBorder(border, window, frameWindow) : S_OK;
}
STDMETHODIMP BrowserHost::TranslateAccelerator(LPMSG msg, const GUID* group, DWORD commandId) {
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->TranslateAccelerator(msg, group, commandId) : S_FALSE;
}
STDMETHODIMP BrowserHost::GetOptionKeyPath(LPOLESTR* key, DWORD reserved) {
    if (key != nullptr) *key = nullptr;
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->GetOptionKeyPath(key, reserved) : E_NOTIMPL;
}
STDMETHODIMP BrowserHost::GetDropTarget(IDropTarget* dropTarget, IDropTarget** replacement) {
    if (replacement != nullptr) *replacement = nullptr;
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->GetDropTarget(dropTarget, replacement) : E_NOTIMPL;
}
STDMETHODIMP BrowserHost::GetExternal(IDispatch** dispatch) {
    if (dispatch != nullptr) *dispatch = nullptr;
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->GetExternal(dispatch) : E_NOTIMPL;
}
STDMETHODIMP BrowserHost::TranslateUrl(DWORD translate, OLECHAR* url, OLECHAR** translated) {
    if (translated != nullptr) *translated = nullptr;
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->TranslateUrl(translate, url, translated) : S_FALSE;
}
STDMETHODIMP BrowserHost::FilterDataObject(IDataObject* object, IDataObject** replacement) {
    if (replacement != nullptr) *replacement = nullptr;
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr ? handler->FilterDataObject(object, replacement) : S_FALSE;
}

// IServiceProvider: only the download manager is offered, and only to a handler.
STDMETHODIMP BrowserHost::QueryService(REFGUID service, REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    if (Handler() == nullptr || !IsEqualGUID(service, kDownloadManagerId)) return E_NOINTERFACE;
    // Through QueryInterface, so that every interface handed out leads back to one identity.
    return QueryInterface(iid, object);
}

STDMETHODIMP BrowserHost::Download(IMoniker* moniker, IBindCtx* context, DWORD bindVerb, LONG gripMax,
                                   BINDINFO* bindInfo, LPCOLESTR headers, LPCOLESTR redirect, UINT codePage) {
    CWebBrowserEventHandler* handler = Handler();
    return handler != nullptr
               ? handler->Download(moniker, context, bindVerb, gripMax, bindInfo, headers, redirect, codePage)
               : E_NOTIMPL;
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
    if (params != nullptr && Handler() != nullptr) DispatchEvent(id, *params);
    return S_OK;
}

void BrowserHost::DispatchEvent(DISPID id, DISPPARAMS& params) {
    CWebBrowserEventHandler* handler = Handler();
    // Arguments arrive last first: rgvarg[0] is the final parameter.
    VARIANTARG* a = params.rgvarg;
    const UINT n = params.cArgs;
    VARIANT_BOOL ignoredCancel = VARIANT_FALSE;
    switch (id) {
    case DISPID_BEFORENAVIGATE2:
        if (n == 7)
            handler->BeforeNavigate2(DispatchArgument(a[6]), VariantArgument(a[5]), VariantArgument(a[4]),
                                     VariantArgument(a[3]), VariantArgument(a[2]), VariantArgument(a[1]),
                                     CancelArgument(a[0], &ignoredCancel));
        break;
    case DISPID_NAVIGATEERROR:
        if (n == 5)
            handler->NavigateError(DispatchArgument(a[4]), VariantArgument(a[3]), VariantArgument(a[2]),
                                   VariantArgument(a[1]), CancelArgument(a[0], &ignoredCancel));
        break;
    case DISPID_NAVIGATECOMPLETE2:
        if (n == 2) handler->NavigateComplete2(DispatchArgument(a[1]), VariantArgument(a[0]));
        break;
    case DISPID_DOCUMENTCOMPLETE:
        if (n == 2) handler->DocumentComplete(DispatchArgument(a[1]), VariantArgument(a[0]));
        break;
    case DISPID_PROGRESSCHANGE:
        if (n == 2) handler->ProgressChange(LongArgument(a[1]), LongArgument(a[0]));
        break;
    case DISPID_NEWWINDOW3:
        if (n == 5) {
            IDispatch* ignoredWindow = nullptr;
            IDispatch** window = a[4].vt == (VT_BYREF | VT_DISPATCH) && a[4].ppdispVal != nullptr
                                     ? a[4].ppdispVal
                                     : &ignoredWindow;
            handler->NewWindow3(window, CancelArgument(a[3], &ignoredCancel), static_cast<DWORD>(LongArgument(a[2])),
                                StringArgument(a[1]), StringArgument(a[0]));
        }
        break;
    case DISPID_TITLECHANGE:
        if (n == 1) handler->TitleChange(StringArgument(a[0]));
        break;
    default:
        break;
    }
}

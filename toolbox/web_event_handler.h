#pragma once
// The host side of the embedded browsers of both windows: no context menu, no help menu,
// no borders or scroll bars, no downloads started by pages, pages scaled to the window's
// DPI as the skin around them is; the rest is left to the browser.

#include "skin/web_browser.h"

class CCustomWebEventHandler : public CWebBrowserEventHandler {
public:
    // The flags added to what the browser asks for in GetHostInfo.
    static constexpr DWORD kHostFlags = DOCHOSTUIFLAG_DIALOG | DOCHOSTUIFLAG_DISABLE_HELP_MENU |
                                        DOCHOSTUIFLAG_NO3DBORDER | DOCHOSTUIFLAG_SCROLL_NO |
                                        DOCHOSTUIFLAG_FLAT_SCROLLBAR | DOCHOSTUIFLAG_THEME |
                                        DOCHOSTUIFLAG_NO3DOUTERBORDER | DOCHOSTUIFLAG_DPI_AWARE;

    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD id, POINT* pt, IUnknown* commandTarget,
                                              IDispatch* object) override;
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override;
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD id, IOleInPlaceActiveObject* activeObject,
                                     IOleCommandTarget* commandTarget, IOleInPlaceFrame* frame,
                                     IOleInPlaceUIWindow* document) override;
    HRESULT STDMETHODCALLTYPE HideUI() override;
    HRESULT STDMETHODCALLTYPE UpdateUI() override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg, const GUID* group, DWORD commandId) override;
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* dropTarget, IDropTarget** replacement) override;
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** dispatch) override;
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD translate, OLECHAR* url, OLECHAR** translated) override;
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* object, IDataObject** replacement) override;
    HRESULT STDMETHODCALLTYPE Download(IMoniker* moniker, IBindCtx* context, DWORD bindVerb, LONG gripMax,
                                       BINDINFO* bindInfo, LPCOLESTR headers, LPCOLESTR redirect,
                                       UINT codePage) override;
};

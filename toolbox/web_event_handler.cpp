#include "toolbox/web_event_handler.h"

HRESULT CCustomWebEventHandler::ShowContextMenu(DWORD, POINT*, IUnknown*, IDispatch*) { return S_OK; }

// The shipped 32-bit program reports the record's size as 20 bytes.
static_assert(sizeof(void*) != 4 || sizeof(DOCHOSTUIINFO) == 20, "DOCHOSTUIINFO of the 32-bit build");

HRESULT CCustomWebEventHandler::GetHostInfo(DOCHOSTUIINFO* info) {
    if (info != nullptr) {
        info->cbSize = sizeof(DOCHOSTUIINFO);
        info->dwFlags |= kHostFlags;
        info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    }
    return S_OK;
}

HRESULT CCustomWebEventHandler::ShowUI(DWORD, IOleInPlaceActiveObject*, IOleCommandTarget*, IOleInPlaceFrame*,
                                       IOleInPlaceUIWindow*) {
    return S_FALSE;
}

HRESULT CCustomWebEventHandler::HideUI() { return S_OK; }
HRESULT CCustomWebEventHandler::UpdateUI() { return S_OK; }
HRESULT CCustomWebEventHandler::EnableModeless(BOOL) { return S_OK; }
HRESULT CCustomWebEventHandler::OnDocWindowActivate(BOOL) { return S_OK; }
HRESULT CCustomWebEventHandler::OnFrameWindowActivate(BOOL) { return S_OK; }
HRESULT CCustomWebEventHandler::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
HRESULT CCustomWebEventHandler::TranslateAccelerator(LPMSG, const GUID*, DWORD) { return S_OK; }
HRESULT CCustomWebEventHandler::GetOptionKeyPath(LPOLESTR*, DWORD) { return S_OK; }
HRESULT CCustomWebEventHandler::GetDropTarget(IDropTarget*, IDropTarget**) { return S_OK; }
HRESULT CCustomWebEventHandler::GetExternal(IDispatch**) { return S_OK; }
HRESULT CCustomWebEventHandler::TranslateUrl(DWORD, OLECHAR*, OLECHAR**) { return S_OK; }
HRESULT CCustomWebEventHandler::FilterDataObject(IDataObject*, IDataObject**) { return S_OK; }

// A download that a page starts counts as handled, so nothing is fetched.
HRESULT CCustomWebEventHandler::Download(IMoniker*, IBindCtx*, DWORD, LONG, BINDINFO*, LPCOLESTR, LPCOLESTR, UINT) {
    return S_OK;
}

#include "skin/accessible_node.h"

#include "shared/com_helpers.h"
#include "shared/text.h"
#include "skin/accessible_tree.h"
#include "skin/option_groups.h"
#include "skin/paint_manager.h"

namespace skin_detail {

namespace {

std::atomic<LONG> lastNodeNumber{0};

void SetChildId(VARIANT* variant, LONG id) {
    variant->vt = VT_I4;
    variant->lVal = id;
}

void SetNode(VARIANT* variant, CControlUI& control) {
    AccessibleNode& node = control.GetAccessibleNode();
    node.AddRef();
    variant->vt = VT_DISPATCH;
    variant->pdispVal = &node;
}

}  // namespace

ComPtr<AccessibleNode> AccessibleNode::Create(CControlUI& control) {
    ComPtr<AccessibleNode> node;
    *node.put() = new AccessibleNode(control);
    return node;
}

AccessibleNode::AccessibleNode(CControlUI& control) : m_pControl(&control), m_id(-++lastNodeNumber) {}

void AccessibleNode::Detach() {
    m_pControl = nullptr;
    // Stubs that clients in other processes hold let go now, and their later calls fail in
    // COM without reaching this object.
    ::CoDisconnectObject(static_cast<IAccessible*>(this), 0);
}

CControlUI* AccessibleNode::LiveControl() const {
    return m_pControl != nullptr && IsInWindowTree(*m_pControl) ? m_pControl : nullptr;
}

AccessibleNode::Target AccessibleNode::Resolve(const VARIANT& child) const {
    Target target;
    CControlUI* control = LiveControl();
    if (control == nullptr) {
        target.status = CO_E_OBJNOTCONNECTED;
        return target;
    }
    target.status = E_INVALIDARG;
    if (child.vt != VT_I4) return target;
    const LONG id = child.lVal;
    const int parts = control->AccessiblePartCount();
    if (id >= CHILDID_SELF && id <= parts) {
        target = Target{S_OK, control, static_cast<int>(id)};
    } else if (id > parts) {
        const std::vector<CControlUI*> children = AccessibleChildrenOf(*control);
        const size_t index = static_cast<size_t>(id - parts - 1);
        if (index < children.size()) target = Target{S_OK, children[index], 0};
    } else if (CControlUI* found = FindByAccessibleId(*control->GetManager()->GetRoot(), id)) {
        target = Target{S_OK, found, 0};
    }
    return target;
}

HRESULT AccessibleNode::TextOf(const VARIANT& child, CDuiString AccessibleDescription::*field, BSTR* text) const {
    if (text == nullptr) return E_POINTER;
    *text = nullptr;
    const Target target = Resolve(child);
    if (FAILED(target.status)) return target.status;
    const AccessibleDescription element = DescribeElement(*target.control, target.part);
    const CDuiString& value = element.*field;
    if (value.IsEmpty()) return S_FALSE;
    UniqueBstr converted = MakeBstr(AnsiToWide(value.GetData()));
    if (!converted) return E_OUTOFMEMORY;
    *text = converted.release();
    return S_OK;
}

STDMETHODIMP AccessibleNode::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) AccessibleNode::AddRef() { return ++m_refs; }

STDMETHODIMP_(ULONG) AccessibleNode::Release() {
    const ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP AccessibleNode::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}

STDMETHODIMP AccessibleNode::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info != nullptr) *info = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP AccessibleNode::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

STDMETHODIMP AccessibleNode::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

STDMETHODIMP AccessibleNode::get_accParent(IDispatch** parent) {
    if (parent == nullptr) return E_POINTER;
    *parent = nullptr;
    CControlUI* control = LiveControl();
    if (control == nullptr) return CO_E_OBJNOTCONNECTED;
    if (CControlUI* above = AccessibleParentOf(*control)) {
        AccessibleNode& node = above->GetAccessibleNode();
        node.AddRef();
        *parent = &node;
        return S_OK;
    }
    // The window's client area: its parent is the system's object of the window.
    return ::CreateStdAccessibleObject(control->GetManager()->GetPaintWindow(), OBJID_WINDOW, __uuidof(IDispatch),
                                       reinterpret_cast<void**>(parent));
}

STDMETHODIMP AccessibleNode::get_accChildCount(long* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    CControlUI* control = LiveControl();
    if (control == nullptr) return CO_E_OBJNOTCONNECTED;
    *count = control->AccessiblePartCount() + static_cast<long>(AccessibleChildrenOf(*control).size());
    return S_OK;
}

STDMETHODIMP AccessibleNode::get_accChild(VARIANT child, IDispatch** object) {
    if (object == nullptr) return E_POINTER;
    *object = nullptr;
    const Target target = Resolve(child);
    if (FAILED(target.status)) return target.status;
    if (target.part > 0) return S_FALSE;  // a part is no object of its own
    if (target.control == m_pControl) return E_INVALIDARG;
    AccessibleNode& node = target.control->GetAccessibleNode();
    node.AddRef();
    *object = &node;
    return S_OK;
}

STDMETHODIMP AccessibleNode::get_accName(VARIANT child, BSTR* name) {
    return TextOf(child, &AccessibleDescription::name, name);
}

STDMETHODIMP AccessibleNode::get_accValue(VARIANT child, BSTR* value) {
    return TextOf(child, &AccessibleDescription::value, value);
}

STDMETHODIMP AccessibleNode::get_accDescription(VARIANT child, BSTR* description) {
    return TextOf(child, &AccessibleDescription::description, description);
}

STDMETHODIMP AccessibleNode::get_accDefaultAction(VARIANT child, BSTR* action) {
    return TextOf(child, &AccessibleDescription::defaultAction, action);
}

STDMETHODIMP AccessibleNode::get_accRole(VARIANT child, VARIANT* role) {
    if (role == nullptr) return E_POINTER;
    ::VariantInit(role);
    const Target target = Resolve(child);
    if (FAILED(target.status)) return target.status;
    SetChildId(role, DescribeElement(*target.control, target.part).role);
    return S_OK;
}

STDMETHODIMP AccessibleNode::get_accState(VARIANT child, VARIANT* state) {
    if (state == nullptr) return E_POINTER;
    ::VariantInit(state);
    const Target target = Resolve(child);
    if (FAILED(target.status)) return target.status;
    SetChildId(state, static_cast<LONG>(DescribeElement(*target.control, target.part).states));
    return S_OK;
}

STDMETHODIMP AccessibleNode::get_accHelp(VARIANT, BSTR* help) {
    if (help == nullptr) return E_POINTER;
    *help = nullptr;
    return LiveControl() != nullptr ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP AccessibleNode::get_accHelpTopic(BSTR* helpFile, VARIANT, long* topic) {
    if (helpFile == nullptr || topic == nullptr) return E_POINTER;
    *helpFile = nullptr;
    *topic = 0;
    return LiveControl() != nullptr ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP AccessibleNode::get_accKeyboardShortcut(VARIANT, BSTR* shortcut) {
    if (shortcut == nullptr) return E_POINTER;
    *shortcut = nullptr;
    return LiveControl() != nullptr ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP AccessibleNode::get_accFocus(VARIANT* focus) {
    if (focus == nullptr) return E_POINTER;
    ::VariantInit(focus);
    CControlUI* control = LiveControl();
    if (control == nullptr) return CO_E_OBJNOTCONNECTED;
    CPaintManagerUI& manager = *control->GetManager();
    if (::GetFocus() != manager.GetPaintWindow()) return S_FALSE;
    CControlUI* focused = manager.GetFocus();
    if (focused == control || (focused == nullptr && IsTreeRoot(*control))) {
        SetChildId(focus, CHILDID_SELF);
    } else if (focused != nullptr && IsWithin(focused, control)) {
        SetNode(focus, *focused);
    } else {
        return S_FALSE;
    }
    return S_OK;
}

STDMETHODIMP AccessibleNode::get_accSelection(VARIANT* selection) {
    if (selection == nullptr) return E_POINTER;
    ::VariantInit(selection);
    return LiveControl() != nullptr ? DISP_E_MEMBERNOTFOUND : CO_E_OBJNOTCONNECTED;
}

STDMETHODIMP AccessibleNode::accSelect(long flags, VARIANT child) {
    const Target target = Resolve(child);
    if (FAILED(target.status)) return target.status;
    if (flags != SELFLAG_TAKEFOCUS) return DISP_E_MEMBERNOTFOUND;
    CPaintManagerUI& manager = *target.control->GetManager();
    if (!IsTreeRoot(*target.control) &&
        (!target.control->IsFocusable() || !target.control->IsVisible() || !target.control->IsEnabled())) {
        return S_FALSE;
    }
    manager.SetFocus(IsTreeRoot(*target.control) ? nullptr : target.control, true);
    if (::GetFocus() != manager.GetPaintWindow()) ::SetFocus(manager.GetPaintWindow());
    return S_OK;
}

STDMETHODIMP AccessibleNode::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
    *left = *top = *width = *height = 0;
    const Target target = Resolve(child);
    if (FAILED(target.status)) return target.status;
    const RECT rc = DescribeElement(*target.control, target.part).location;
    *left = rc.left;
    *top = rc.top;
    *width = rc.right - rc.left;
    *height = rc.bottom - rc.top;
    return S_OK;
}

STDMETHODIMP AccessibleNode::accNavigate(long, VARIANT, VARIANT* end) {
    if (end == nullptr) return E_POINTER;
    ::VariantInit(end);
    // Clients walk the tree through its children instead.
    return E_NOTIMPL;
}

STDMETHODIMP AccessibleNode::accHitTest(long x, long y, VARIANT* child) {
    if (child == nullptr) return E_POINTER;
    ::VariantInit(child);
    CControlUI* control = LiveControl();
    if (control == nullptr) return CO_E_OBJNOTCONNECTED;
    const POINT screen{x, y};
    const RECT whole = DescribeElement(*control, 0).location;
    if (!::PtInRect(&whole, screen)) return S_FALSE;
    CPaintManagerUI& manager = *control->GetManager();
    POINT pt = screen;
    ::ScreenToClient(manager.GetPaintWindow(), &pt);
    // The element directly below this one that holds the topmost control at the point.
    CControlUI* childElement = nullptr;
    for (CControlUI* hit = manager.FindControl(pt); hit != nullptr && hit != control; hit = hit->GetParent()) {
        if (IsAccessibleElement(*hit)) childElement = hit;
    }
    if (childElement != nullptr && IsWithin(childElement, control)) {
        SetNode(child, *childElement);
        return S_OK;
    }
    for (int part = 1; part <= control->AccessiblePartCount(); ++part) {
        const AccessibleDescription element = DescribeElement(*control, part);
        if ((element.states & STATE_SYSTEM_INVISIBLE) == 0 && ::PtInRect(&element.location, screen)) {
            SetChildId(child, part);
            return S_OK;
        }
    }
    SetChildId(child, CHILDID_SELF);
    return S_OK;
}

STDMETHODIMP AccessibleNode::accDoDefaultAction(VARIANT child) {
    const Target target = Resolve(child);
    if (FAILED(target.status)) return target.status;
    return PostDefaultAction(*target.control, target.part) ? S_OK : DISP_E_MEMBERNOTFOUND;
}

STDMETHODIMP AccessibleNode::put_accName(VARIANT, BSTR) { return E_NOTIMPL; }

STDMETHODIMP AccessibleNode::put_accValue(VARIANT, BSTR) { return E_NOTIMPL; }

}  // namespace skin_detail

#pragma once
// One control as a screen reader sees it: an IAccessible object answered from the
// control's description (skin/accessibility.h) and the tree around it
// (skin/accessible_tree.*). The control holds one reference and cuts the node off when it
// goes; a client that still holds the node then gets CO_E_OBJNOTCONNECTED from every call,
// and a client in another process RPC_E_DISCONNECTED, as the node is disconnected from COM.
// The node counts its references and deletes itself at zero.

#include <windows.h>

#include <oleacc.h>

#include "shared/com_ptr.h"
#include "skin/accessibility.h"

#include <atomic>

class CControlUI;

namespace skin_detail {

class AccessibleNode final : public IAccessible {
public:
    static ComPtr<AccessibleNode> Create(CControlUI& control);
    // The control is going away.
    void Detach();
    // Negative and unique in the process: the child id by which the window's root finds
    // this node, and with which its events are raised.
    LONG Id() const { return m_id; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: clients call IAccessible directly; there is no type information.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argumentError) override;

    // IAccessible. A child id is CHILDID_SELF, a part of the control (1 to its part count),
    // a child element after the parts, or another node's id (for events).
    STDMETHODIMP get_accParent(IDispatch** parent) override;
    STDMETHODIMP get_accChildCount(long* count) override;
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** object) override;
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override;
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override;
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* description) override;
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override;
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override;
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override;
    STDMETHODIMP get_accHelpTopic(BSTR* helpFile, VARIANT child, long* topic) override;
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    STDMETHODIMP get_accFocus(VARIANT* focus) override;
    STDMETHODIMP get_accSelection(VARIANT* selection) override;
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override;
    STDMETHODIMP accSelect(long flags, VARIANT child) override;
    STDMETHODIMP accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
    STDMETHODIMP accNavigate(long direction, VARIANT start, VARIANT* end) override;
    STDMETHODIMP accHitTest(long x, long y, VARIANT* child) override;
    STDMETHODIMP accDoDefaultAction(VARIANT child) override;
    STDMETHODIMP put_accName(VARIANT child, BSTR name) override;
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override;

private:
    explicit AccessibleNode(CControlUI& control);
    ~AccessibleNode() = default;
    AccessibleNode(const AccessibleNode&) = delete;
    AccessibleNode& operator=(const AccessibleNode&) = delete;

    // What a child id names: the control and its part, or another node that answers for it.
    struct Target {
        HRESULT status = S_OK;  // an error: nothing to answer for
        CControlUI* control = nullptr;
        int part = 0;
    };
    // The control while it is alive and in its window's tree, else null.
    CControlUI* LiveControl() const;
    Target Resolve(const VARIANT& child) const;
    HRESULT TextOf(const VARIANT& child, CDuiString AccessibleDescription::*field, BSTR* text) const;

    std::atomic<ULONG> m_refs{1};
    CControlUI* m_pControl;
    const LONG m_id;
};

}  // namespace skin_detail

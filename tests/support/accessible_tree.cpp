#include "tests/support/accessible_tree.h"

#include "shared/com_helpers.h"

#include <cwchar>

namespace {

VARIANT ChildId(LONG id) {
    VARIANT child;
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

std::wstring TextOf(const AccessibleElement& element, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
    UniqueBstr text;
    if (!element || FAILED((element.object.get()->*get)(ChildId(element.child), text.put())) || !text) return {};
    return std::wstring(text.get(), ::SysStringLen(text.get()));
}

LONG NumberOf(const AccessibleElement& element, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*)) {
    VARIANT result;
    ::VariantInit(&result);
    if (!element || FAILED((element.object.get()->*get)(ChildId(element.child), &result))) return 0;
    return result.vt == VT_I4 ? result.lVal : 0;
}

// A child as AccessibleChildren, get_accFocus and hit testing hand it out (the variant is
// cleared); empty for anything else.
AccessibleElement ElementOf(const ComPtr<IAccessible>& parent, VARIANT& variant) {
    AccessibleElement element;
    if (variant.vt == VT_DISPATCH && variant.pdispVal != nullptr) {
        variant.pdispVal->QueryInterface(__uuidof(IAccessible), element.object.put_void());
    } else if (variant.vt == VT_I4) {
        element = AccessibleElement{parent, variant.lVal};
    }
    ::VariantClear(&variant);
    return element;
}

FocusEvents* activeFocusEvents = nullptr;

}  // namespace

std::wstring AccessibleElement::Name() const { return TextOf(*this, &IAccessible::get_accName); }
std::wstring AccessibleElement::Value() const { return TextOf(*this, &IAccessible::get_accValue); }
std::wstring AccessibleElement::DefaultAction() const { return TextOf(*this, &IAccessible::get_accDefaultAction); }
LONG AccessibleElement::Role() const { return NumberOf(*this, &IAccessible::get_accRole); }
LONG AccessibleElement::State() const { return NumberOf(*this, &IAccessible::get_accState); }

int AccessibleElement::Percent() const {
    const std::wstring value = Value();
    wchar_t* end = nullptr;
    const long number = std::wcstol(value.c_str(), &end, 10);
    return end != value.c_str() && std::wstring(end) == L"%" ? static_cast<int>(number) : -1;
}

RECT AccessibleElement::Location() const {
    long left = 0, top = 0, width = 0, height = 0;
    if (object) object->accLocation(&left, &top, &width, &height, ChildId(child));
    return RECT{left, top, left + width, top + height};
}

HRESULT AccessibleElement::NameResult() const {
    UniqueBstr text;
    return object ? object->get_accName(ChildId(child), text.put()) : E_POINTER;
}

HRESULT AccessibleElement::DoDefaultAction() const {
    return object ? object->accDoDefaultAction(ChildId(child)) : E_POINTER;
}

std::vector<AccessibleElement> AccessibleElement::Children() const {
    std::vector<AccessibleElement> children;
    long count = 0;
    if (!object || child != CHILDID_SELF || FAILED(object->get_accChildCount(&count)) || count <= 0) return children;
    std::vector<VARIANT> variants(static_cast<size_t>(count));
    long obtained = 0;
    if (FAILED(::AccessibleChildren(object.get(), 0, count, variants.data(), &obtained))) return children;
    for (long i = 0; i < obtained; ++i) {
        if (AccessibleElement element = ElementOf(object, variants[i])) children.push_back(std::move(element));
    }
    return children;
}

AccessibleElement AccessibleElement::Parent() const {
    if (child != CHILDID_SELF) return AccessibleElement{object, CHILDID_SELF};
    ComPtr<IDispatch> parent;
    AccessibleElement element;
    if (object && object->get_accParent(parent.put()) == S_OK) element.object = parent.As<IAccessible>();
    return element;
}

AccessibleElement AccessibleWindow(HWND window) {
    AccessibleElement element;
    ::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                 element.object.put_void());
    return element;
}

AccessibleElement FindAccessible(const AccessibleElement& from, const std::wstring& name, LONG role) {
    for (const AccessibleElement& child : from.Children()) {
        if (child.Name() == name && (role == 0 || child.Role() == role)) return child;
        if (AccessibleElement found = FindAccessible(child, name, role)) return found;
    }
    return {};
}

std::vector<AccessibleElement> FindAllAccessible(const AccessibleElement& from, LONG role) {
    std::vector<AccessibleElement> found;
    for (const AccessibleElement& child : from.Children()) {
        if (child.Role() == role) found.push_back(child);
        for (AccessibleElement& below : FindAllAccessible(child, role)) found.push_back(std::move(below));
    }
    return found;
}

std::vector<std::wstring> NamesOf(const std::vector<AccessibleElement>& elements) {
    std::vector<std::wstring> names;
    for (const AccessibleElement& element : elements) names.push_back(element.Name());
    return names;
}

AccessibleElement FocusedAccessible(HWND window) {
    AccessibleElement current = AccessibleWindow(window);
    // Down until an element says the focus is its own (or a simple element of it).
    for (int depth = 0; current && current.child == CHILDID_SELF && depth < 32; ++depth) {
        VARIANT focus;
        ::VariantInit(&focus);
        if (current.object->get_accFocus(&focus) != S_OK) return {};
        if (focus.vt == VT_I4 && focus.lVal == CHILDID_SELF) return current;
        current = ElementOf(current.object, focus);
    }
    return current;
}

AccessibleElement AccessibleAt(POINT screen) {
    ComPtr<IAccessible> object;
    VARIANT child;
    ::VariantInit(&child);
    if (FAILED(::AccessibleObjectFromPoint(screen, object.put(), &child))) return {};
    return ElementOf(object, child);
}

FocusEvents::FocusEvents(DWORD processId) {
    activeFocusEvents = this;
    m_hook = ::SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, OnEvent, processId, 0,
                               WINEVENT_OUTOFCONTEXT);
}

FocusEvents::~FocusEvents() {
    if (m_hook != nullptr) ::UnhookWinEvent(m_hook);
    activeFocusEvents = nullptr;
}

void CALLBACK FocusEvents::OnEvent(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG child, DWORD, DWORD) {
    if (activeFocusEvents == nullptr) return;
    // The next event arrives while this one waits for the other process: each keeps the
    // place it came in.
    const size_t place = activeFocusEvents->m_names.size();
    activeFocusEvents->m_names.emplace_back();
    ComPtr<IAccessible> source;
    VARIANT id;
    ::VariantInit(&id);
    if (FAILED(::AccessibleObjectFromEvent(window, object, child, source.put(), &id))) return;
    const std::wstring name = ElementOf(source, id).Name();
    if (activeFocusEvents != nullptr) activeFocusEvents->m_names[place] = name;
}

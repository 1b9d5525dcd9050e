#include "tests/support/accessible_tree.h"

#include "shared/com_helpers.h"

#include <cwchar>

namespace {

VARIANT ChildId(LONG id) {
    VARIANT child;
    ::VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

using TextGetter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);

std::wstring TextOf(const AccessibleElement& element, TextGetter getter) {
    if (!element) return {};
    UniqueBstr text;
    if (FAILED((element.object.get()->*getter)(ChildId(element.child), text.put())) || !text) return {};
    return std::wstring(text.get(), ::SysStringLen(text.get()));
}

LONG NumberOf(const AccessibleElement& element, HRESULT (STDMETHODCALLTYPE IAccessible::*getter)(VARIANT, VARIANT*)) {
    if (!element) return 0;
    VARIANT result;
    ::VariantInit(&result);
    if (FAILED((element.object.get()->*getter)(ChildId(element.child), &result)) || result.vt != VT_I4) {
        ::VariantClear(&result);
        return 0;
    }
    return result.lVal;
}

// A child as AccessibleChildren and get_accFocus hand it out; empty for anything else.
AccessibleElement ElementOf(const AccessibleElement& parent, VARIANT& variant) {
    AccessibleElement element;
    if (variant.vt == VT_DISPATCH && variant.pdispVal != nullptr) {
        variant.pdispVal->QueryInterface(__uuidof(IAccessible), element.object.put_void());
    } else if (variant.vt == VT_I4) {
        element = AccessibleElement{parent.object, variant.lVal};
    }
    ::VariantClear(&variant);
    return element;
}

void CollectByRole(const AccessibleElement& from, LONG role, std::vector<AccessibleElement>& found) {
    for (const AccessibleElement& child : from.Children()) {
        if (child.Role() == role) found.push_back(child);
        CollectByRole(child, role, found);
    }
}

FocusEvents* activeFocusEvents = nullptr;

}  // namespace

std::wstring AccessibleElement::Name() const { return TextOf(*this, &IAccessible::get_accName); }
std::wstring AccessibleElement::Value() const { return TextOf(*this, &IAccessible::get_accValue); }
std::wstring AccessibleElement::DefaultAction() const { return TextOf(*this, &IAccessible::get_accDefaultAction); }
int AccessibleElement::Percent() const {
    const std::wstring value = Value();
    wchar_t* end = nullptr;
    const long number = std::wcstol(value.c_str(), &end, 10);
    return end != value.c_str() && std::wstring(end) == L"%" ? static_cast<int>(number) : -1;
}

LONG AccessibleElement::Role() const { return NumberOf(*this, &IAccessible::get_accRole); }
LONG AccessibleElement::State() const { return NumberOf(*this, &IAccessible::get_accState); }

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
        if (AccessibleElement element = ElementOf(*this, variants[i])) children.push_back(std::move(element));
    }
    return children;
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
    CollectByRole(from, role, found);
    return found;
}

std::vector<std::wstring> NamesOf(const std::vector<AccessibleElement>& elements) {
    std::vector<std::wstring> names;
    for (const AccessibleElement& element : elements) names.push_back(element.Name());
    return names;
}

AccessibleElement FocusedAccessible(HWND window) {
    AccessibleElement current = AccessibleWindow(window);
    // Down from the window until an element says the focus is its own.
    for (int depth = 0; current && depth < 32; ++depth) {
        VARIANT focus;
        ::VariantInit(&focus);
        if (current.object->get_accFocus(&focus) != S_OK) return {};
        if (focus.vt == VT_I4 && focus.lVal == CHILDID_SELF) return current;
        current = ElementOf(current, focus);
        if (current.child != CHILDID_SELF) return current;
    }
    return {};
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
    // The calls below wait for the other process, and the next event is told meanwhile:
    // each keeps the place it came in.
    const size_t place = activeFocusEvents->m_names.size();
    activeFocusEvents->m_names.emplace_back();
    AccessibleElement element;
    VARIANT id;
    ::VariantInit(&id);
    if (SUCCEEDED(::AccessibleObjectFromEvent(window, object, child, element.object.put(), &id)) && id.vt == VT_I4) {
        element.child = id.lVal;
    }
    ::VariantClear(&id);
    const std::wstring name = element.Name();
    if (activeFocusEvents != nullptr) activeFocusEvents->m_names[place] = name;
}

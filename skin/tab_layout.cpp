#include "skin/container.h"

#include "skin/attributes.h"
#include "skin/paint_manager.h"

#include <cstring>

using namespace skin_detail;

const char* CTabLayoutUI::GetClass() const { return "TabLayout"; }

void* CTabLayoutUI::GetInterface(const char* name) {
    if (name != nullptr && std::strcmp(name, "TabLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

// A page chosen before it exists ("selectedid" read ahead of the children) shows once added.
bool CTabLayoutUI::Add(CControlUI* control) { return AddAt(control, ItemCount()); }

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
    if (!CContainerUI::AddAt(control, index)) return false;
    if (m_iCurSel < 0) {
        m_iCurSel = 0;
    } else if (index <= m_iCurSel && ItemCount() > m_iCurSel + 1) {
        ++m_iCurSel;  // the shown page moved one place on
    }
    for (int i = 0; i < ItemCount(); ++i) m_items[i]->SetVisible(i == m_iCurSel);
    return true;
}

bool CTabLayoutUI::Remove(CControlUI* control) {
    const int index = GetItemIndex(control);
    if (!CContainerUI::RemoveAt(index)) return false;
    if (ItemCount() == 0) {
        m_iCurSel = -1;
        return true;
    }
    if (index < m_iCurSel || m_iCurSel >= ItemCount()) --m_iCurSel;
    if (m_iCurSel < 0) m_iCurSel = 0;
    for (int i = 0; i < ItemCount(); ++i) m_items[i]->SetVisible(i == m_iCurSel);
    return true;
}

void CTabLayoutUI::RemoveAll() {
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
}

int CTabLayoutUI::GetCurSel() const { return m_iCurSel < ItemCount() ? m_iCurSel : -1; }

bool CTabLayoutUI::SelectItem(int index, bool trigger) {
    if (index < 0 || index >= ItemCount()) return false;
    if (index == m_iCurSel) return true;
    const int previous = m_iCurSel;
    m_iCurSel = index;
    for (int i = 0; i < ItemCount(); ++i) m_items[i]->SetVisible(i == m_iCurSel);
    NeedUpdate();
    Invalidate();
    if (trigger && m_pManager != nullptr) {
        m_pManager->SendNotify(this, "tabselect", static_cast<WPARAM>(m_iCurSel), static_cast<LPARAM>(previous));
    }
    return true;
}

void CTabLayoutUI::SetPos(RECT rc) { CContainerUI::SetPos(rc); }

void CTabLayoutUI::SetAttribute(const char* name, const char* value) {
    if (name != nullptr && std::strcmp(name, "selectedid") == 0) {
        const int index = ParseInt(value);
        if (index < 0) return;
        if (index < ItemCount()) {
            SelectItem(index, false);
        } else {
            m_iCurSel = index;
            for (int i = 0; i < ItemCount(); ++i) m_items[i]->SetVisible(false);
        }
        return;
    }
    CContainerUI::SetAttribute(name, value);
}

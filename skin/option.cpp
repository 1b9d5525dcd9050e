#include "skin/controls.h"

#include "skin/attributes.h"
#include "skin/paint_manager.h"
#include "skin/render.h"
#include "skin/render_detail.h"

#include <oleacc.h>

#include <cstring>
#include <vector>

using namespace skin_detail;

COptionUI::~COptionUI() {
    if (m_pManager != nullptr && !m_sGroup.IsEmpty()) m_pManager->RemoveOptionGroup(m_sGroup, this);
}

const char* COptionUI::GetClass() const { return "Option"; }

void* COptionUI::GetInterface(const char* name) {
    if (name != nullptr && std::strcmp(name, "Option") == 0) return this;
    return CButtonUI::GetInterface(name);
}

void COptionUI::SetAttribute(const char* name, const char* value) {
    if (name == nullptr) return;
    if (std::strcmp(name, "group") == 0) {
        SetGroup(value);
    } else if (std::strcmp(name, "selected") == 0) {
        Selected(ParseBool(value), false);
    } else if (std::strcmp(name, "selectedimage") == 0) {
        m_sSelectedImage = value;
        Invalidate();
    } else if (std::strcmp(name, "selectedbkcolor") == 0) {
        m_dwSelectedBkColor = ParseColor(value);
        Invalidate();
    } else if (std::strcmp(name, "selectedtextcolor") == 0) {
        m_dwSelectedTextColor = ParseColor(value);
        Invalidate();
    } else {
        CButtonUI::SetAttribute(name, value);
    }
}

void COptionUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
    if (m_pManager != nullptr && m_pManager != manager && !m_sGroup.IsEmpty()) {
        m_pManager->RemoveOptionGroup(m_sGroup, this);
    }
    CButtonUI::SetManager(manager, parent, init);
    if (m_pManager != nullptr && !m_sGroup.IsEmpty()) m_pManager->AddOptionGroup(m_sGroup, this);
}

bool COptionUI::IsSelected() const { return m_bSelected; }

void COptionUI::Selected(bool selected, bool trigger) {
    if (m_bSelected == selected) return;
    m_bSelected = selected;
    if (selected && m_pManager != nullptr && !m_sGroup.IsEmpty()) {
        int count = 0;
        CControlUI** members = m_pManager->GetOptionGroup(m_sGroup, &count);
        // Copied: deselecting cannot change the group, but a handler elsewhere could.
        std::vector<CControlUI*> others(members, members + count);
        for (CControlUI* other : others) {
            if (other == this) continue;
            if (auto* option = dynamic_cast<COptionUI*>(other)) option->Selected(false, false);
        }
    }
    Invalidate();
    if (trigger && m_pManager != nullptr) m_pManager->SendNotify(this, "selectchanged");
}

bool COptionUI::Activate() {
    if (!IsEnabled()) return false;
    CPaintManagerUI* manager = m_pManager;
    if (manager == nullptr) {
        Selected(m_sGroup.IsEmpty() ? !m_bSelected : true, false);
        return true;
    }
    // Both notifications go out before anything a handler removed is freed.
    manager->BeginDispatch();
    manager->SendNotify(this, "click");
    // A handler may have taken this option (or a container above it) out of the window:
    // then it selects nothing.
    bool stillInTree = false;
    for (CControlUI* control = this; control != nullptr; control = control->GetParent()) {
        if (control == manager->GetRoot()) stillInTree = true;
    }
    if (stillInTree) Selected(m_sGroup.IsEmpty() ? !m_bSelected : true, true);
    manager->EndDispatch();
    return true;
}

// The options of the programs are the pages of a window.
void COptionUI::DescribeAccessible(int part, AccessibleDescription& out) {
    CButtonUI::DescribeAccessible(part, out);
    out.role = ROLE_SYSTEM_PAGETAB;
    out.defaultAction = "切换";
    out.states |= STATE_SYSTEM_SELECTABLE | (m_bSelected ? STATE_SYSTEM_SELECTED : 0);
}

CDuiString COptionUI::GetGroup() const { return m_sGroup; }

void COptionUI::SetGroup(const char* group) {
    if (m_sGroup == group) return;
    if (m_pManager != nullptr && !m_sGroup.IsEmpty()) m_pManager->RemoveOptionGroup(m_sGroup, this);
    m_sGroup = group;
    if (m_pManager != nullptr && !m_sGroup.IsEmpty()) m_pManager->AddOptionGroup(m_sGroup, this);
}

void COptionUI::PaintBkColor(HDC dc) {
    if (!m_bSelected || AlphaOf(m_dwSelectedBkColor) == 0) {
        CButtonUI::PaintBkColor(dc);
        return;
    }
    FillBackground(dc, m_dwSelectedBkColor);
}

void COptionUI::PaintStatusImage(HDC dc) {
    if (m_bSelected && !m_sSelectedImage.IsEmpty()) {
        DrawImage(dc, m_sSelectedImage);
        return;
    }
    CButtonUI::PaintStatusImage(dc);
}

void COptionUI::PaintText(HDC dc) {
    if (m_bSelected && IsEnabled() && AlphaOf(m_dwSelectedTextColor) != 0) {
        DrawLabelText(dc, m_dwSelectedTextColor);
        return;
    }
    CButtonUI::PaintText(dc);
}

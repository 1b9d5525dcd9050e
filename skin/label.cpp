#include "skin/controls.h"

#include "skin/render.h"
#include "skin/render_detail.h"

#include <oleacc.h>

#include <cstring>

using namespace skin_detail;

const char* CLabelUI::GetClass() const { return "Label"; }

void* CLabelUI::GetInterface(const char* name) {
    if (name != nullptr && std::strcmp(name, "Label") == 0) return this;
    return CControlUI::GetInterface(name);
}

void CLabelUI::SetAttribute(const char* name, const char* value) { CControlUI::SetAttribute(name, value); }

SIZE CLabelUI::EstimateSize(SIZE available) { return CControlUI::EstimateSize(available); }

void CLabelUI::DescribeAccessible(int part, AccessibleDescription& out) {
    CControlUI::DescribeAccessible(part, out);
    out.role = ROLE_SYSTEM_STATICTEXT;
}

void CLabelUI::PaintText(HDC dc) {
    DrawLabelText(dc, TextColorOrDefault(m_pManager, m_dwTextColor, IsEnabled(), m_dwDisabledTextColor));
}

void CLabelUI::DrawLabelText(HDC dc, DWORD argb) {
    if (m_sText.IsEmpty()) return;
    SkinRender::DrawText(dc, m_pManager, TextRect(), m_sText, argb, m_iFont, m_uTextStyle);
}

const char* CTextUI::GetClass() const { return "Text"; }

void* CTextUI::GetInterface(const char* name) {
    if (name != nullptr && std::strcmp(name, "Text") == 0) return this;
    return CLabelUI::GetInterface(name);
}

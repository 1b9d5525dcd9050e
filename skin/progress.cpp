#include "skin/controls.h"

#include "skin/attributes.h"
#include "skin/render.h"
#include "skin/render_detail.h"

#include <oleacc.h>

#include <cstdio>
#include <cstring>

using namespace skin_detail;

const char* CProgressUI::GetClass() const { return "Progress"; }

void* CProgressUI::GetInterface(const char* name) {
    if (name != nullptr && std::strcmp(name, "Progress") == 0) return this;
    return CLabelUI::GetInterface(name);
}

void CProgressUI::SetAttribute(const char* name, const char* value) {
    if (name == nullptr) return;
    if (std::strcmp(name, "min") == 0) {
        SetMinValue(ParseInt(value));
    } else if (std::strcmp(name, "max") == 0) {
        SetMaxValue(ParseInt(value));
    } else if (std::strcmp(name, "value") == 0) {
        SetValue(ParseInt(value));
    } else if (std::strcmp(name, "forecolor") == 0) {
        m_dwForeColor = ParseColor(value);
        Invalidate();
    } else if (std::strcmp(name, "foreimage") == 0) {
        m_sForeImage = value;
        Invalidate();
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

int CProgressUI::GetMinValue() const { return m_nMin; }
int CProgressUI::GetMaxValue() const { return m_nMax; }

void CProgressUI::SetMinValue(int value) {
    m_nMin = value;
    if (m_nMax < m_nMin) m_nMax = m_nMin;
    SetValue(m_nValue);
    Invalidate();
}

void CProgressUI::SetMaxValue(int value) {
    m_nMax = value;
    if (m_nMin > m_nMax) m_nMin = m_nMax;
    SetValue(m_nValue);
    Invalidate();
}

int CProgressUI::GetValue() const { return m_nValue; }

void CProgressUI::SetValue(int value) {
    if (value < m_nMin) value = m_nMin;
    if (value > m_nMax) value = m_nMax;
    if (value == m_nValue) return;
    m_nValue = value;
    Invalidate();
    NotifyAccessibleChange(EVENT_OBJECT_VALUECHANGE);
}

void CProgressUI::DescribeAccessible(int part, AccessibleDescription& out) {
    CLabelUI::DescribeAccessible(part, out);
    out.role = ROLE_SYSTEM_PROGRESSBAR;
    out.states |= STATE_SYSTEM_READONLY;
    const long long span = static_cast<long long>(m_nMax) - m_nMin;
    const long long percent = span > 0 ? (static_cast<long long>(m_nValue) - m_nMin) * 100 / span : 0;
    char text[16];
    std::snprintf(text, sizeof(text), "%lld%%", percent);
    out.value = text;
}

void CProgressUI::PaintStatusImage(HDC dc) {
    if (m_nMax <= m_nMin || m_nValue <= m_nMin) return;
    const long long span = static_cast<long long>(m_nMax) - m_nMin;
    const long long done = static_cast<long long>(m_nValue) - m_nMin;
    const int width = static_cast<int>((m_rcItem.right - m_rcItem.left) * done / span);
    if (width <= 0) return;
    RECT filled = m_rcItem;
    filled.right = filled.left + width;

    const int round = Scaled(m_cxyBorderRound.cx);
    const int corner = round < width ? round : width;
    if (!m_sForeImage.IsEmpty()) {
        // A rounded bar shows its image through a rounded filled part, the image spread over
        // the whole track so that it does not squeeze as the value grows.
        if (corner > 0 && FillRoundImage(dc, m_pManager, m_sForeImage, m_rcItem, filled, corner)) return;
        // Otherwise drawn into the filled part: a nine-grid image keeps its own ends.
        DrawImage(dc, m_sForeImage, &filled);
        return;
    }
    if (AlphaOf(m_dwForeColor) == 0) return;
    if (corner > 0) {
        // A short bar keeps rounded ends no wider than itself.
        SkinRender::FillRoundColor(dc, filled, m_dwForeColor, corner);
    } else {
        SkinRender::FillColor(dc, filled, m_dwForeColor);
    }
}

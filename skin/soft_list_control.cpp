#include "skin/catalogue_rows.h"

#include "skin/picture_cache.h"
#include "skin/render.h"
#include "skin/render_detail.h"
#include "skin/row_drawing.h"
#include "skin/row_mouse.h"

#include <oleacc.h>

#include <atomic>
#include <cstdio>
#include <cstring>

using namespace skin_detail;
using namespace skin_detail::rows;

namespace {

// Where the parts of a software cell go, from its rectangle.
struct SoftCellLayout {
    RECT icon;
    RECT name;
    RECT content;
    RECT meta;  // empty when the cell is too low for it
    RECT stars;
    RECT score;
    RECT action;
};

constexpr int kMargin = 12;
constexpr int kIconSize = 48;
constexpr int kStarSize = 13;
constexpr int kStarGap = 2;
constexpr int kActionWidth = 76;
constexpr int kActionHeight = 26;

SoftCellLayout LayOut(const RECT& rc, const CellScale& S) {
    SoftCellLayout l{};
    const int height = rc.bottom - rc.top;
    const int margin = S(kMargin);
    const int iconSize = S(kIconSize);
    const int starSize = S(kStarSize);
    l.icon = {rc.left + margin, rc.top + margin, rc.left + margin + iconSize, rc.top + margin + iconSize};
    const int textLeft = l.icon.right + S(10);
    const int textRight = rc.right - S(10);
    l.name = {textLeft, rc.top + S(10), textRight, rc.top + S(30)};
    l.content = {textLeft, rc.top + S(31), textRight, rc.top + S(47)};
    l.action = {rc.right - margin - S(kActionWidth), rc.bottom - margin - S(kActionHeight), rc.right - margin,
                rc.bottom - margin};
    const int starsWidth = 5 * starSize + 4 * S(kStarGap);
    const int rowMiddle = (l.action.top + l.action.bottom) / 2;
    if (height >= S(96)) {
        // Full height: size and date get their own line, the rating sits under the icon.
        l.meta = {textLeft, rc.top + S(47), textRight, rc.top + S(63)};
        l.stars = {rc.left + margin, rowMiddle - starSize / 2, rc.left + margin + starsWidth,
                   rowMiddle - starSize / 2 + starSize};
    } else {
        // A lower row: the rating takes the third line of the text column.
        l.meta = {0, 0, 0, 0};
        const int top = rc.top + S(50);
        l.stars = {textLeft, top, textLeft + starsWidth, top + starSize};
    }
    l.score = {l.stars.right + S(6), l.stars.top - S(3), l.action.left - S(6), l.stars.bottom + S(3)};
    if (l.score.right < l.score.left) l.score.right = l.score.left;
    // Text lines that reach down beside the action stop short of it.
    for (RECT* text : {&l.name, &l.content, &l.meta}) {
        const int stop = l.action.left - S(8);
        if (text->bottom > l.action.top + S(2) && text->right > stop) text->right = stop;
    }
    return l;
}

// Colours of the action pill for a settled state: gradient top and bottom, text, outline.
struct ActionColours {
    DWORD top;
    DWORD bottom;
    DWORD textColour;
    DWORD outline;  // alpha 0: none
};

struct ActionLook {
    const char* text;
    ActionColours colours;
};

// Per settled state: the action's text and its colours at rest, hot and pushed.
struct StateAction {
    int state;
    const char* text;
    ActionColours rest;
    ActionColours hot;
    ActionColours pushed;
};

constexpr StateAction kStateActions[] = {
    {NotDownloaded, "下载",
     {0xFF3C8DFF, 0xFF2477F2, 0xFFFFFFFF, 0},
     {0xFF2A7DF5, 0xFF1A66DB, 0xFFFFFFFF, 0},
     {0xFF1A62D1, 0xFF1A62D1, 0xFFFFFFFF, 0}},
    {Downloaded, "打开",
     {0xFF2CC07A, 0xFF1AA864, 0xFFFFFFFF, 0},
     {0xFF1FAE6B, 0xFF13965A, 0xFFFFFFFF, 0},
     {0xFF12904F, 0xFF12904F, 0xFFFFFFFF, 0}},
    {Installed, "启动",
     {0xFFFFFFFF, 0xFFFFFFFF, 0xFF2477F2, 0xFF5A9EFF},
     {0xFFEEF5FF, 0xFFE6F0FF, 0xFF2477F2, 0xFF2477F2},
     {0xFFDCE9FD, 0xFFDCE9FD, 0xFF1A62D1, 0xFF1A62D1}},
    {UpdateAvailable, "升级",
     {0xFFFFA53A, 0xFFFF7A1A, 0xFFFFFFFF, 0},
     {0xFFFF9526, 0xFFF06A0A, 0xFFFFFFFF, 0},
     {0xFFE0600A, 0xFFE0600A, 0xFFFFFFFF, 0}},
};

bool LookForState(int state, UINT buttonState, ActionLook* look) {
    for (const StateAction& action : kStateActions) {
        if (action.state != state) continue;
        const ActionColours& colours = (buttonState & UISTATE_PUSHED) != 0 ? action.pushed
                                       : (buttonState & UISTATE_HOT) != 0  ? action.hot
                                                                            : action.rest;
        *look = ActionLook{action.text, colours};
        return true;
    }
    return false;
}

// The word of the cell's action: what a click does now; null when it does nothing.
const char* ActionWord(int state, bool downloading) {
    if (downloading) return "取消";
    for (const StateAction& action : kStateActions) {
        if (action.state == state) return action.text;
    }
    return nullptr;
}

std::atomic<long> liveSoftRecords{0};

int ClampPercent(int percent) { return percent < 0 ? 0 : (percent > 100 ? 100 : percent); }

float ClampScore(float score) {
    if (!(score > 0.0f)) return 0.0f;  // also NaN
    return score > 5.0f ? 5.0f : score;
}

}  // namespace

DuiSoft::DuiSoft() { ++liveSoftRecords; }
DuiSoft::~DuiSoft() { --liveSoftRecords; }
long LiveDuiSoftCount() { return liveSoftRecords.load(); }

SkinSoftListControl::SkinSoftListControl(DuiSoft* soft)
    : m_pSoft(soft), m_pPicture(std::make_unique<PictureCache>()) {}

SkinSoftListControl::~SkinSoftListControl() = default;

const char* SkinSoftListControl::GetClass() const { return "SoftListItem"; }

void* SkinSoftListControl::GetInterface(const char* name) {
    if (name != nullptr && std::strcmp(name, "SoftListItem") == 0) return this;
    return CControlUI::GetInterface(name);
}

void SkinSoftListControl::DoEvent(TEventUI& event) {
    // The handler may rebuild the list and discard this cell: nothing follows the click.
    if (TrackCellMouse(*this, m_buttonState, event)) Activate();
}

bool SkinSoftListControl::Activate() {
    if (!IsEnabled() || m_pManager == nullptr) return false;
    m_pManager->SendNotify(this, "click");
    return true;
}

bool SkinSoftListControl::IsFocusable() const { return true; }

int SkinSoftListControl::AccessiblePartCount() const { return 2; }

void SkinSoftListControl::DescribeAccessible(int part, AccessibleDescription& out) {
    if (m_pSoft == nullptr) return;
    const bool downloading = m_downloading != 0 || m_pSoft->state.load() == Downloading;
    const char* word = ActionWord(m_pSoft->state.load(), downloading);
    char percent[8];
    std::snprintf(percent, sizeof(percent), "%d%%", m_percent);
    const UINT pointerStates = ((m_buttonState & UISTATE_HOT) != 0 ? STATE_SYSTEM_HOTTRACKED : 0) |
                               ((m_buttonState & UISTATE_PUSHED) != 0 ? STATE_SYSTEM_PRESSED : 0);
    if (part == 0) {
        out.role = ROLE_SYSTEM_LISTITEM;
        out.name = (m_pSoft->viewName.empty() ? m_pSoft->name : m_pSoft->viewName).c_str();
        out.description = (m_pSoft->content + "  大小: " + m_pSoft->size + "  日期: " + m_pSoft->date).c_str();
        if (word != nullptr) out.defaultAction = word;
        if (downloading) out.value = percent;
        out.states = pointerStates;
        return;
    }
    out.location = LayOut(m_rcItem, CellScale(m_pManager)).action;
    if (part == 1) {
        out.role = ROLE_SYSTEM_PUSHBUTTON;
        if (word != nullptr) {
            out.name = word;
            out.defaultAction = word;
            out.states = pointerStates;
        } else {
            out.states = STATE_SYSTEM_INVISIBLE;
        }
    } else if (part == 2) {
        out.role = ROLE_SYSTEM_PROGRESSBAR;
        out.value = percent;
        out.states = STATE_SYSTEM_READONLY | (downloading ? 0 : STATE_SYSTEM_INVISIBLE);
    }
}

DuiSoft* SkinSoftListControl::GetSoft() const { return m_pSoft.get(); }

void SkinSoftListControl::SetDownLoadSize(int percent) {
    const int clamped = ClampPercent(percent);
    // A step of the bar changes the action alone; a state the window changed just before
    // (the record's, read at the paint) changes the whole cell.
    const bool sameCell = m_painted && m_paintedState == m_pSoft->state.load();
    if (clamped == m_percent && sameCell) return;
    const bool changed = clamped != m_percent;
    m_percent = clamped;
    if (sameCell && m_pManager != nullptr && IsVisible()) {
        m_pManager->Invalidate(LayOut(m_rcItem, CellScale(m_pManager)).action);
    } else {
        Invalidate();
    }
    if (changed) NotifyAccessibleChange(EVENT_OBJECT_VALUECHANGE);
}

int SkinSoftListControl::GetDownLoadSize() const { return m_percent; }

void SkinSoftListControl::SetIsDownLoad(bool downloading) {
    // A new download starts from nothing, not from what the last one left (a failure
    // leaves 1).
    if (downloading && m_downloading == 0) m_percent = 0;
    m_downloading = downloading ? 1 : 0;
    Invalidate();
}

bool SkinSoftListControl::IsDownLoad() const { return m_downloading != 0; }

uint64_t SkinSoftListControl::LookKeyOf(const SkinImage* icon) const {
    LookKey key;
    key.Add(m_pManager->GetDpi())
        .Add(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(m_pManager->GetDefaultFaceFont(14, true))))
        .Add(static_cast<uint64_t>(m_pSoft->state.load()))
        .Add(m_downloading)
        // The percentage shows only while the download runs.
        .Add(static_cast<uint64_t>(m_downloading != 0 || m_pSoft->state.load() == Downloading ? m_percent : -1))
        .Add(m_buttonState & (UISTATE_HOT | UISTATE_PUSHED))
        .Add(ShowsFocus())
        .Add(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(icon)))
        .Add(&m_pSoft->score, sizeof(m_pSoft->score))
        .Add(m_pSoft->name.c_str())
        .Add(m_pSoft->viewName.c_str())
        .Add(m_pSoft->content.c_str())
        .Add(m_pSoft->size.c_str())
        .Add(m_pSoft->date.c_str());
    return key.value();
}

void SkinSoftListControl::DoPaint(HDC dc, const RECT& paintRect) {
    RECT visible;
    if (!::IntersectRect(&visible, &paintRect, &m_rcItem) || m_pSoft == nullptr || m_pManager == nullptr) return;
    SavedDCState saved(dc);
    ::IntersectClipRect(dc, m_rcItem.left, m_rcItem.top, m_rcItem.right, m_rcItem.bottom);
    m_paintedState = m_pSoft->state.load();
    m_painted = true;
    const SkinImage* icon = m_pSoft->iconPath.empty() ? nullptr : m_pManager->GetFileImage(m_pSoft->iconPath.c_str());
    m_pPicture->Paint(dc, m_rcItem, LookKeyOf(icon), [&](HDC target) { PaintCell(target, icon); });
}

void SkinSoftListControl::PaintCell(HDC dc, const SkinImage* icon) {
    const RECT rc = m_rcItem;
    const CellScale S(m_pManager);
    if (rc.right - rc.left < S(2 * kMargin + kIconSize) || rc.bottom - rc.top < S(2 * kMargin + kActionHeight)) return;
    const SoftCellLayout l = LayOut(rc, S);
    const int state = m_paintedState;
    const bool downloading = m_downloading != 0 || state == Downloading;
    const bool hot = (m_buttonState & UISTATE_HOT) != 0;
    const bool pushed = (m_buttonState & UISTATE_PUSHED) != 0;
    const float score = ClampScore(m_pSoft->score);
    const std::string& title = m_pSoft->viewName.empty() ? m_pSoft->name : m_pSoft->viewName;

    ActionLook look{};
    const bool hasAction = !downloading && LookForState(state, m_buttonState, &look);
    const RECT& a = l.action;
    const int fillRight = a.left + (a.right - a.left) * m_percent / 100;
    const int starSize = S(kStarSize);
    // A progress step repaints the action alone: what lies elsewhere is not drawn at all.
    RECT clip{};
    ::GetClipBox(dc, &clip);
    const auto shows = [&clip](const RECT& part) {
        RECT overlap;
        return ::IntersectRect(&overlap, &clip, &part) != FALSE;
    };

    GdiplusLease gdiplus;
    if (gdiplus.ok()) {
        Shapes shapes(dc);
        Gdiplus::Graphics& g = shapes.g();
        const Gdiplus::RectF card = ToRectF(rc);
        const Gdiplus::REAL cardRadius = S.Real(8);
        FillRound(g, card, cardRadius, pushed ? 0xFFEFF5FE : hot ? 0xFFF8FBFF : 0xFFFFFFFF);
        StrokeRound(g, card, cardRadius, pushed ? 0xFF7FB0EC : hot ? 0xFFA8C8F0 : 0xFFE3E7ED, S.Line());

        if (icon == nullptr && shows(l.icon)) {
            FillRoundGradient(g, ToRectF(l.icon), S.Real(10), 0xFFEEF1F5, 0xFFDADFE7);
        }

        // Each star is grey, then gold up to its share of the score.
        for (int i = 0; i < 5 && shows(l.stars); ++i) {
            const Gdiplus::REAL x = static_cast<Gdiplus::REAL>(l.stars.left + i * (starSize + S(kStarGap)));
            const Gdiplus::REAL y = static_cast<Gdiplus::REAL>(l.stars.top);
            const Gdiplus::REAL size = static_cast<Gdiplus::REAL>(starSize);
            Gdiplus::GraphicsPath star;
            AddStar(star, x, y, size);
            Gdiplus::SolidBrush empty{Gdiplus::Color(0xFFE2E6EC)};
            g.FillPath(&empty, &star);
            float share = score - static_cast<float>(i);
            if (share <= 0.0f) continue;
            if (share > 1.0f) share = 1.0f;
            // Narrowed inside the DC's clip, which the saved state brings back.
            const Gdiplus::GraphicsState unclipped = g.Save();
            g.SetClip(Gdiplus::RectF(x, y - 1, size * share, size + 2), Gdiplus::CombineModeIntersect);
            Gdiplus::SolidBrush gold{Gdiplus::Color(0xFFFFB020)};
            g.FillPath(&gold, &star);
            g.Restore(unclipped);
        }

        const Gdiplus::RectF pill = ToRectF(a);
        const Gdiplus::REAL radius = pill.Height / 2;
        if (downloading) {
            FillRound(g, pill, radius, hot ? 0xFFFDECEC : 0xFFE4EDFB);
            if (fillRight > a.left) {
                const Gdiplus::GraphicsState unclipped = g.Save();
                g.SetClip(Gdiplus::RectF(pill.X, pill.Y, static_cast<Gdiplus::REAL>(fillRight - a.left), pill.Height),
                          Gdiplus::CombineModeIntersect);
                if (hot) {
                    FillRoundGradient(g, pill, radius, 0xFFFF7875, 0xFFF5504E);
                } else {
                    FillRoundGradient(g, pill, radius, 0xFF3C8DFF, 0xFF2477F2);
                }
                g.Restore(unclipped);
            }
        } else if (hasAction) {
            FillRoundGradient(g, pill, radius, look.colours.top, look.colours.bottom);
            if ((look.colours.outline >> 24) != 0) StrokeRound(g, pill, radius, look.colours.outline, S.Line());
        }
    }

    if (icon != nullptr && shows(l.icon)) {
        // Fitted into its square once per size, then copied as it is.
        const RECT fit = FitInside(*icon, l.icon);
        if (const SkinImage* scaled =
                m_pManager->GetFileImage(m_pSoft->iconPath.c_str(), fit.right - fit.left, fit.bottom - fit.top)) {
            SkinRender::DrawImage(dc, *scaled, fit);
        }
    }

    // A red dot on the icon's corner marks the newer version.
    const RECT dotArea{l.icon.right - S(9), l.icon.top - S(3), l.icon.right - S(9) + S(12), l.icon.top - S(3) + S(12)};
    if (state == UpdateAvailable && !downloading && gdiplus.ok() && shows(dotArea)) {
        Shapes shapes(dc);
        const Gdiplus::RectF dot = ToRectF(dotArea);
        Gdiplus::SolidBrush ring{Gdiplus::Color(0xFFFFFFFF)};
        shapes.g().FillEllipse(&ring, dot);
        Gdiplus::SolidBrush red{Gdiplus::Color(0xFFFF4D4F)};
        const Gdiplus::REAL inset = S.Real(2);
        shapes.g().FillEllipse(&red, Gdiplus::RectF(dot.X + inset, dot.Y + inset, dot.Width - 2 * inset,
                                                    dot.Height - 2 * inset));
    }

    HFONT titleFont = m_pManager->GetDefaultFaceFont(14, true);
    HFONT textFont = m_pManager->GetDefaultFaceFont(12, false);
    HFONT metaFont = m_pManager->GetDefaultFaceFont(11, false);
    HFONT actionFont = m_pManager->GetDefaultFaceFont(13, false);
    const UINT line = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS;

    if (icon == nullptr) {
        DrawRowText(dc, m_pManager->GetDefaultFaceFont(22, true), l.icon, FirstCharacter(title.c_str()).c_str(),
                    0xFF5B6B82, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    DrawRowText(dc, titleFont, l.name, title.c_str(), hot ? 0xFF1A66DB : 0xFF1F2937, line);
    DrawRowText(dc, textFont, l.content, m_pSoft->content.c_str(), 0xFF7B8494, line);
    if (l.meta.right > l.meta.left) {
        const std::string meta = "大小: " + m_pSoft->size + "  日期: " + m_pSoft->date;
        DrawRowText(dc, metaFont, l.meta, meta.c_str(), 0xFF9AA3B0, line);
    }
    // Where the number has no room beside the stars, they say it alone.
    const bool scoreFits = l.score.right - l.score.left >= S(22);
    if (scoreFits && score > 0.0f) {
        char scoreText[16];
        std::snprintf(scoreText, sizeof(scoreText), "%.1f", score);
        DrawRowText(dc, textFont, l.score, scoreText, 0xFFF08C00, line);
    } else if (scoreFits) {
        DrawRowText(dc, textFont, l.score, "暂无评分", 0xFFA0A8B4, line);
    }

    if (downloading) {
        char percentText[8];
        std::snprintf(percentText, sizeof(percentText), "%d%%", m_percent);
        // Hovering a running download offers to cancel it; a click does exactly that.
        const char* text = hot ? "取消" : percentText;
        DrawSplitText(dc, actionFont, a, text, fillRight, 0xFFFFFFFF, hot ? 0xFFE0413E : 0xFF2477F2);
    } else if (hasAction) {
        DrawRowText(dc, actionFont, a, look.text, look.colours.textColour, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    if (ShowsFocus()) DrawFocusRing(dc, rc, S(1), S(8));
}

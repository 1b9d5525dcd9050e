#include "skin/catalogue_rows.h"

#include "skin/picture_cache.h"
#include "skin/render_detail.h"
#include "skin/row_drawing.h"
#include "skin/row_mouse.h"

#include <oleacc.h>

#include <atomic>
#include <cstring>
#include <string>

using namespace skin_detail;
using namespace skin_detail::rows;

namespace {

constexpr int kSymbolWidth = 64;
constexpr int kSymbolHeight = 60;
constexpr int kSymbolTop = 12;
constexpr int kNameTop = 80;
constexpr int kNameLineHeight = 17;

std::atomic<long> liveFileRecords{0};

bool IsFolder(int type) { return type == 0 || type == 10; }

// The extension of a document name in capitals ("PDF"), or empty when it has none that
// fits on the symbol's label.
std::string ExtensionLabel(const std::string& name) {
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 >= name.size() || name.size() - dot - 1 > 5) return {};
    std::string label = name.substr(dot + 1);
    for (char& c : label) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (static_cast<unsigned char>(c) >= 0x80) return {};
    }
    return label;
}

// The colour people know the kind of document by.
DWORD LabelColour(const std::string& label) {
    struct Kind {
        const char* extensions;
        DWORD colour;
    };
    static const Kind kinds[] = {
        {" PDF ", 0xFFE5484D},
        {" DOC DOCX WPS RTF ", 0xFF2B6CD8},
        {" XLS XLSX CSV ET ", 0xFF1E9E5A},
        {" PPT PPTX DPS ", 0xFFE8772E},
        {" ZIP RAR 7Z ", 0xFF8E5BD8},
        {" JPG JPEG PNG GIF BMP ", 0xFF0FA3B1},
        {" EXE MSI ", 0xFF445066},
    };
    const std::string key = " " + label + " ";
    for (const Kind& kind : kinds) {
        if (std::strstr(kind.extensions, key.c_str()) != nullptr) return kind.colour;
    }
    return 0xFF6B7785;
}

void DrawFolder(Gdiplus::Graphics& g, const RECT& box) {
    const Gdiplus::REAL x = static_cast<Gdiplus::REAL>(box.left);
    const Gdiplus::REAL y = static_cast<Gdiplus::REAL>(box.top + 6);
    const Gdiplus::REAL w = static_cast<Gdiplus::REAL>(box.right - box.left);
    FillRound(g, Gdiplus::RectF(x, y, w * 0.42f, 14), 3, 0xFFE9A825);   // tab
    FillRound(g, Gdiplus::RectF(x, y + 5, w, 45), 4, 0xFFF0B429);       // back
    FillRound(g, Gdiplus::RectF(x + 5, y + 10, w - 10, 22), 2, 0xFFFFFFFF);  // sheet inside
    FillRound(g, Gdiplus::RectF(x + 9, y + 14, w - 18, 2), 1, 0xFFE3E8EF);
    FillRoundGradient(g, Gdiplus::RectF(x, y + 17, w, 33), 4, 0xFFFFD86B, 0xFFFFC233);  // front
    FillRound(g, Gdiplus::RectF(x + 3, y + 18, w - 6, 1.5f), 0, 0x99FFF1C4);
}

// A page with a folded corner and a few text lines; a labelled page keeps its lower part free.
void DrawPage(Gdiplus::Graphics& g, const RECT& page, bool labelled) {
    const Gdiplus::REAL x = static_cast<Gdiplus::REAL>(page.left) + 0.5f;
    const Gdiplus::REAL y = static_cast<Gdiplus::REAL>(page.top) + 0.5f;
    const Gdiplus::REAL w = static_cast<Gdiplus::REAL>(page.right - page.left) - 1;
    const Gdiplus::REAL h = static_cast<Gdiplus::REAL>(page.bottom - page.top) - 1;
    const Gdiplus::REAL fold = 14;
    const Gdiplus::PointF outline[] = {
        {x, y}, {x + w - fold, y}, {x + w, y + fold}, {x + w, y + h}, {x, y + h},
    };
    Gdiplus::GraphicsPath path;
    path.AddPolygon(outline, 5);
    Gdiplus::SolidBrush paper{Gdiplus::Color(0xFFFFFFFF)};
    g.FillPath(&paper, &path);
    Gdiplus::Pen edge(Gdiplus::Color(0xFFC3CCD8), 1);
    g.DrawPath(&edge, &path);

    const Gdiplus::PointF corner[] = {{x + w - fold, y}, {x + w - fold, y + fold}, {x + w, y + fold}};
    Gdiplus::GraphicsPath cornerPath;
    cornerPath.AddPolygon(corner, 3);
    Gdiplus::SolidBrush folded{Gdiplus::Color(0xFFE6EBF2)};
    g.FillPath(&folded, &cornerPath);
    g.DrawPath(&edge, &cornerPath);

    const int lines = labelled ? 3 : 5;
    for (int i = 0; i < lines; ++i) {
        const Gdiplus::REAL right = (i == 0) ? x + w - fold - 4 : x + w - 8;
        const Gdiplus::REAL length = (i == lines - 1) ? (right - x - 8) * 0.6f : right - x - 8;
        FillRound(g, Gdiplus::RectF(x + 8, y + 12 + i * 7.0f, length, 2.5f), 1, 0xFFDDE3EB);
    }
}

}  // namespace

DuiFile::DuiFile() { ++liveFileRecords; }
DuiFile::DuiFile(const DuiFile& other)
    : id(other.id),
      name(other.name),
      type(other.type),
      url(other.url),
      reserved{other.reserved[0], other.reserved[1]},
      sha256(other.sha256),
      bytes(other.bytes) {
    ++liveFileRecords;
}
DuiFile::~DuiFile() { --liveFileRecords; }
long LiveDuiFileCount() { return liveFileRecords.load(); }

FileListControl::FileListControl(DuiFile* file) : m_pFile(file), m_pPicture(std::make_unique<PictureCache>()) {}

FileListControl::~FileListControl() = default;

const char* FileListControl::GetClass() const { return "FileListItem"; }

void* FileListControl::GetInterface(const char* name) {
    if (name != nullptr && std::strcmp(name, "FileListItem") == 0) return this;
    return CControlUI::GetInterface(name);
}

void FileListControl::DoEvent(TEventUI& event) {
    // A folder click rebuilds the list and discards this cell: nothing follows the click.
    if (TrackCellMouse(*this, m_buttonState, event)) Activate();
}

bool FileListControl::Activate() {
    if (!IsEnabled() || m_pManager == nullptr) return false;
    m_pManager->SendNotify(this, "click");
    return true;
}

bool FileListControl::IsFocusable() const { return true; }

void FileListControl::DescribeAccessible(int part, AccessibleDescription& out) {
    if (part != 0 || m_pFile == nullptr) return;
    const bool folder = IsFolder(m_pFile->type);
    out.role = ROLE_SYSTEM_LISTITEM;
    out.name = m_pFile->name.c_str();
    out.description = folder ? "文件夹" : (m_pFile->type == 1 ? "文档" : "");
    // Other kinds do nothing when clicked.
    if (folder || m_pFile->type == 1) out.defaultAction = "打开";
    if (m_downloading != 0) {
        out.description += "，下载中";
        out.states |= STATE_SYSTEM_BUSY;
    }
    if ((m_buttonState & UISTATE_HOT) != 0) out.states |= STATE_SYSTEM_HOTTRACKED;
    if ((m_buttonState & UISTATE_PUSHED) != 0) out.states |= STATE_SYSTEM_PRESSED;
}

DuiFile* FileListControl::GetFile() const { return m_pFile.get(); }

void FileListControl::SetIsDownLoad(bool downloading) {
    m_downloading = downloading ? 1 : 0;
    Invalidate();
}

bool FileListControl::IsDownLoad() const { return m_downloading != 0; }

uint64_t FileListControl::LookKeyOf() const {
    LookKey key;
    key.Add(m_pManager->GetDpi())
        .Add(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(m_pManager->GetDefaultFaceFont(12, false))))
        .Add(m_downloading)
        .Add(m_buttonState & (UISTATE_HOT | UISTATE_PUSHED))
        .Add(ShowsFocus())
        .Add(static_cast<uint64_t>(m_pFile->type))
        .Add(m_pFile->name.c_str());
    return key.value();
}

void FileListControl::DoPaint(HDC dc, const RECT& paintRect) {
    RECT visible;
    if (!::IntersectRect(&visible, &paintRect, &m_rcItem) || m_pFile == nullptr || m_pManager == nullptr) return;
    SavedDCState saved(dc);
    ::IntersectClipRect(dc, m_rcItem.left, m_rcItem.top, m_rcItem.right, m_rcItem.bottom);
    m_pPicture->Paint(dc, m_rcItem, LookKeyOf(), [this](HDC target) { PaintCell(target); });
}

void FileListControl::PaintCell(HDC dc) {
    const RECT rc = m_rcItem;
    const CellScale S(m_pManager);
    if (rc.right - rc.left < S(kSymbolWidth) || rc.bottom - rc.top < S(kNameTop)) return;
    const bool hot = (m_buttonState & UISTATE_HOT) != 0;
    const bool pushed = (m_buttonState & UISTATE_PUSHED) != 0;
    const int type = m_pFile->type;
    const bool folder = IsFolder(type);
    const std::string label = type == 1 ? ExtensionLabel(m_pFile->name) : std::string();

    const int centre = (rc.left + rc.right) / 2;
    const RECT symbol = {centre - S(kSymbolWidth) / 2, rc.top + S(kSymbolTop), centre + S(kSymbolWidth) / 2,
                         rc.top + S(kSymbolTop + kSymbolHeight)};
    // The page inside the symbol's square, at 96 DPI and from its top-left corner.
    const RECT page96 = {kSymbolWidth / 2 - 23, 1, kSymbolWidth / 2 + 23, kSymbolHeight - 1};
    const RECT page = {symbol.left + S(page96.left), symbol.top + S(page96.top), symbol.left + S(page96.right),
                       symbol.top + S(page96.bottom)};

    HFONT labelFont = m_pManager->GetDefaultFaceFont(11, true);
    RECT labelRect{0, 0, 0, 0};
    if (!label.empty()) {
        SelectObjectScope select(dc, labelFont);
        const int width = TextWidth(dc, label.c_str(), static_cast<int>(label.size())) + S(10);
        labelRect = {page.left - S(6), page.bottom - S(24), page.left - S(6) + (width < S(28) ? S(28) : width),
                     page.bottom - S(9)};
    }

    GdiplusLease gdiplus;
    if (gdiplus.ok()) {
        Shapes shapes(dc);
        Gdiplus::Graphics& g = shapes.g();
        if (hot || pushed) {
            const Gdiplus::RectF card = ToRectF(rc);
            FillRound(g, card, S.Real(8), pushed ? 0xFFE1EDFF : 0xFFEEF5FF);
            StrokeRound(g, card, S.Real(8), pushed ? 0xFF9CC3F5 : 0xFFC5DCFA, S.Line());
        }
        {
            // The symbols are drawn as at 96 DPI, scaled about the symbol's corner.
            const Gdiplus::GraphicsState unscaled = g.Save();
            g.TranslateTransform(static_cast<Gdiplus::REAL>(symbol.left), static_cast<Gdiplus::REAL>(symbol.top));
            g.ScaleTransform(S.Real(1), S.Real(1));
            if (folder) {
                DrawFolder(g, RECT{0, 0, kSymbolWidth, kSymbolHeight});
            } else {
                DrawPage(g, page96, !label.empty());
            }
            g.Restore(unscaled);
        }
        if (!label.empty()) FillRound(g, ToRectF(labelRect), S.Real(3), LabelColour(label));
    }

    if (!label.empty()) {
        DrawRowText(dc, labelFont, labelRect, label.c_str(), 0xFFFFFFFF, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }

    // The name: up to two centred lines, the second cut with an ellipsis.
    HFONT nameFont = m_pManager->GetDefaultFaceFont(12, false);
    const int lineHeight = S(kNameLineHeight);
    const int nameTop = rc.top + S(kNameTop);
    const RECT nameArea = {rc.left + S(6), nameTop, rc.right - S(6), nameTop + 2 * lineHeight};
    const DWORD nameColour = hot ? 0xFF1A66DB : 0xFF2E3440;
    const char* name = m_pFile->name.c_str();
    int firstLine = 0;
    {
        SelectObjectScope select(dc, nameFont);
        firstLine = FitPrefix(dc, name, nameArea.right - nameArea.left);
    }
    // A break inside the extension moves to its dot, so ".docx" stays whole on line two.
    const size_t dot = m_pFile->name.rfind('.');
    if (name[firstLine] != '\0' && dot != std::string::npos && dot > 0 && m_pFile->name.size() - dot <= 6 &&
        dot < static_cast<size_t>(firstLine)) {
        firstLine = static_cast<int>(dot);
    }
    const UINT centred = DT_CENTER | DT_TOP | DT_SINGLELINE;
    RECT first = {nameArea.left, nameArea.top, nameArea.right, nameArea.top + lineHeight};
    DrawRowText(dc, nameFont, first, std::string(name, static_cast<size_t>(firstLine)).c_str(), nameColour, centred);
    if (name[firstLine] != '\0') {
        RECT second = {nameArea.left, first.bottom, nameArea.right, nameArea.bottom};
        DrawRowText(dc, nameFont, second, name + firstLine, nameColour, centred | DT_END_ELLIPSIS);
    }

    if (m_downloading != 0) {
        const int middle = (symbol.top + symbol.bottom) / 2;
        const RECT pill = {centre - S(34), middle - S(11), centre + S(34), middle + S(11)};
        if (gdiplus.ok()) {
            Shapes shapes(dc);
            RECT veil = symbol;
            ::InflateRect(&veil, S(6), S(4));
            FillRound(shapes.g(), ToRectF(veil), S.Real(6), 0xE0FFFFFF);
            FillRound(shapes.g(), ToRectF(pill), S.Real(11), 0xF02477F2);
        }
        DrawRowText(dc, nameFont, pill, "下载中…", 0xFFFFFFFF, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    if (ShowsFocus()) DrawFocusRing(dc, rc, S(1), S(8));
}

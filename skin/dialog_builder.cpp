#include "skin/dialog_builder.h"

#include "shared/text.h"
#include "skin/attributes.h"
#include "skin/container.h"
#include "skin/controls.h"
#include "skin/paint_manager.h"
#include "skin/resources.h"
#include "skin/web_browser.h"

#include <pugixml.hpp>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace skin_detail;

namespace {

// Layout files are UTF-8 unless they declare a Chinese code page; the library's texts
// are in the ANSI code page. A text that is no valid UTF-8 was saved in the ANSI code page
// without saying so, and is taken as it is.
std::string Utf8ToAnsi(const char* utf8) {
    const std::string text = utf8 != nullptr ? utf8 : "";
    return IsValidUtf8(text) ? WideToAnsi(Utf8ToWide(text)) : text;
}

bool DeclaresAnsiEncoding(const pugi::xml_document& doc) {
    for (pugi::xml_node node = doc.first_child(); node; node = node.next_sibling()) {
        if (node.type() != pugi::node_declaration) continue;
        const char* encoding = node.attribute("encoding").value();
        return EqualsNoCase(encoding, "gbk") || EqualsNoCase(encoding, "gb2312") ||
               EqualsNoCase(encoding, "gb18030") || EqualsNoCase(encoding, "cp936");
    }
    return false;
}

template <typename Control>
std::unique_ptr<CControlUI> MakeControl() {
    return std::make_unique<Control>();
}

// The library's own elements; any other is asked of the caller's callback.
struct KnownControl {
    const char* element;
    std::unique_ptr<CControlUI> (*make)();
};
const KnownControl kKnownControls[] = {
    {"Control", MakeControl<CControlUI>},
    {"Container", MakeControl<CContainerUI>},
    {"VerticalLayout", MakeControl<CVerticalLayoutUI>},
    {"HorizontalLayout", MakeControl<CHorizontalLayoutUI>},
    {"TabLayout", MakeControl<CTabLayoutUI>},
    {"Label", MakeControl<CLabelUI>},
    {"Text", MakeControl<CTextUI>},
    {"Button", MakeControl<CButtonUI>},
    {"Option", MakeControl<COptionUI>},
    {"Progress", MakeControl<CProgressUI>},
    {"WebBrowser", MakeControl<CWebBrowserUI>},
};

std::unique_ptr<CControlUI> MakeKnownControl(const char* element) {
    for (const KnownControl& known : kKnownControls) {
        if (std::strcmp(element, known.element) == 0) return known.make();
    }
    return nullptr;
}

// Elements of <Window> that describe resources rather than controls.
bool IsResourceElement(const char* element) {
    return std::strcmp(element, "Font") == 0 || std::strcmp(element, "Default") == 0 ||
           std::strcmp(element, "Image") == 0;
}

// The declaration is kept: it tells the file's encoding.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration;

using AttributeList = std::vector<std::pair<std::string, std::string>>;

class TreeBuilder {
public:
    TreeBuilder(bool convert, IDialogBuilderCallback* callback) : m_convert(convert), m_pCallback(callback) {}

    std::string Text(const char* raw) const { return m_convert ? Utf8ToAnsi(raw) : std::string(raw ? raw : ""); }

    void ReadDefaults(pugi::xml_node window) {
        for (pugi::xml_node node = window.child("Default"); node; node = node.next_sibling("Default")) {
            const char* element = node.attribute("class").value();
            if (*element == '\0') continue;
            AttributeList& list = m_defaults[element];
            for (pugi::xml_attribute attribute : node.attributes()) {
                if (std::strcmp(attribute.name(), "class") == 0) continue;
                list.emplace_back(attribute.name(), Text(attribute.value()));
            }
        }
    }

    // The control of one element with its subtree; null when the element is left out.
    std::unique_ptr<CControlUI> Build(pugi::xml_node node) {
        const char* element = node.name();
        if (IsResourceElement(element)) return nullptr;
        std::unique_ptr<CControlUI> control = MakeKnownControl(element);
        if (control == nullptr && m_pCallback != nullptr) control.reset(m_pCallback->CreateControl(element));
        if (control == nullptr) return nullptr;

        auto found = m_defaults.find(element);
        if (found != m_defaults.end()) {
            for (const auto& attribute : found->second) {
                control->SetAttribute(attribute.first.c_str(), attribute.second.c_str());
            }
        }
        for (pugi::xml_attribute attribute : node.attributes()) {
            control->SetAttribute(attribute.name(), Text(attribute.value()).c_str());
        }
        auto* container = static_cast<IContainerUI*>(control->GetInterface("Container"));
        for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
            if (child.type() != pugi::node_element) continue;
            std::unique_ptr<CControlUI> childControl = Build(child);
            // Elements inside a control that holds none are dropped with their content.
            if (childControl != nullptr && container != nullptr && container->Add(childControl.get()))
                childControl.release();  // the container owns it now
        }
        return control;
    }

private:
    bool m_convert;
    IDialogBuilderCallback* m_pCallback;
    std::map<std::string, AttributeList> m_defaults;
};

void ApplyWindow(pugi::xml_node window, CPaintManagerUI& manager, const TreeBuilder& builder) {
    if (pugi::xml_attribute a = window.attribute("size")) {
        const SIZE size = ParseSize(a.value());
        manager.SetInitSize(size.cx, size.cy);
    }
    if (pugi::xml_attribute a = window.attribute("caption")) manager.SetCaptionRect(ParseRect(a.value()));
    if (pugi::xml_attribute a = window.attribute("roundcorner")) {
        const SIZE corner = ParseSize(a.value());
        manager.SetRoundCorner(corner.cx, corner.cy);
    }
    if (pugi::xml_attribute a = window.attribute("mininfo")) {
        const SIZE minimum = ParseSize(a.value());
        manager.SetMinInfo(minimum.cx, minimum.cy);
    }
    if (pugi::xml_attribute a = window.attribute("textcolor")) manager.SetDefaultTextColor(ParseColor(a.value()));
    if (pugi::xml_attribute a = window.attribute("disabledtextcolor")) {
        manager.SetDefaultDisabledColor(ParseColor(a.value()));
    }

    int nextId = 0;
    for (pugi::xml_node font = window.child("Font"); font; font = font.next_sibling("Font")) {
        const int id = font.attribute("id") ? ParseInt(font.attribute("id").value(), nextId) : nextId;
        nextId = id + 1;
        const std::string face = builder.Text(font.attribute("name").value());
        const int size = ParseInt(font.attribute("size").value(), 12);
        const bool bold = ParseBool(font.attribute("bold").value());
        const bool underline = ParseBool(font.attribute("underline").value());
        const bool italic = ParseBool(font.attribute("italic").value());
        manager.AddFont(id, face.c_str(), size, bold, underline, italic);
        if (ParseBool(font.attribute("default").value())) {
            manager.SetDefaultFont(face.c_str(), size, bold, underline, italic);
        }
    }
}

}  // namespace

CDialogBuilder::CDialogBuilder() = default;
CDialogBuilder::~CDialogBuilder() = default;

CDuiString CDialogBuilder::GetLastError() const { return m_lastError; }

CControlUI* CDialogBuilder::Create(const char* layout, const char* /*type*/, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, CControlUI* parent) {
    m_lastError.Empty();
    if (layout == nullptr || *layout == '\0') {
        m_lastError = "no layout given";
        return nullptr;
    }

    pugi::xml_document doc;
    pugi::xml_parse_result parsed;
    if (layout[0] == '<') {
        parsed = doc.load_string(layout, kParseOptions);
    } else {
        std::vector<BYTE> bytes;
        if (!ReadResource(layout, bytes)) {
            m_lastError = (CDuiString("cannot read the layout ") + layout).GetData();
            return nullptr;
        }
        parsed = doc.load_buffer(bytes.data(), bytes.size(), kParseOptions, pugi::encoding_auto);
    }
    if (!parsed) {
        m_lastError = (CDuiString("layout XML error at byte ") + std::to_string(parsed.offset).c_str() + ": " +
                       parsed.description())
                          .GetData();
        return nullptr;
    }

    TreeBuilder builder(!DeclaresAnsiEncoding(doc), callback);
    pugi::xml_node top = doc.document_element();
    std::unique_ptr<CControlUI> root;
    if (std::strcmp(top.name(), "Window") == 0) {
        if (manager != nullptr) ApplyWindow(top, *manager, builder);
        builder.ReadDefaults(top);
        // The first element that makes a control is the root.
        for (pugi::xml_node child = top.first_child(); child && root == nullptr; child = child.next_sibling()) {
            if (child.type() == pugi::node_element) root = builder.Build(child);
        }
    } else {
        root = builder.Build(top);
    }
    if (root == nullptr) {
        m_lastError = "the layout holds no control";
        return nullptr;
    }

    if (parent != nullptr) {
        auto* container = static_cast<IContainerUI*>(parent->GetInterface("Container"));
        if (container == nullptr || !container->Add(root.get())) {
            m_lastError = "the parent holds no controls";
            return nullptr;
        }
    } else if (manager != nullptr) {
        manager->InitControls(root.get(), nullptr);
    }
    return root.release();
}

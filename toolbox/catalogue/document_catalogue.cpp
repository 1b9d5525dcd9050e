#include "toolbox/catalogue/document_catalogue.h"

#include "toolbox/catalogue/catalogue_reply.h"
#include "toolbox/catalogue/json_fields.h"

#include <cstdlib>

namespace {

constexpr int kCellsPerRow = 6;

// The window thread is the only one that builds document lists.
int g_documentControlNumber = 1;

}  // namespace

std::string DocumentCatalogueUrl(const CatalogueContext& context, const std::string& folderId) {
    return context.serverBaseUrl + "/D?tax=" + context.taxCode + "&id=" + folderId + "&rid" +
           std::to_string(std::rand());
}

DuiFile* ParseDocumentItem(const rapidjson::Value& element) {
    auto* item = new DuiFile;
    item->name = JsonText(element, "name");
    item->type = JsonInteger(element, "type");
    item->url = JsonText(element, "url");
    item->id = JsonText(element, "id");
    return item;
}

int LastDocumentControlNumber() { return g_documentControlNumber; }

std::string NextDocumentControlName() { return "fileIndex" + std::to_string(++g_documentControlNumber); }

void FillDocumentList(CContainerUI* list, const rapidjson::Value& items) {
    const int count = static_cast<int>(items.Size());
    for (int row = 0; row <= count / kCellsPerRow; ++row) {
        auto* layout = new CHorizontalLayoutUI;
        layout->SetAttribute("height", "140");
        for (int cell = 0; cell < kCellsPerRow; ++cell) {
            const int index = row * kCellsPerRow + cell;
            if (index >= count) {
                layout->Add(new CControlUI);
                continue;
            }
            auto* control = new FileListControl(ParseDocumentItem(items[static_cast<rapidjson::SizeType>(index)]));
            control->SetName(NextDocumentControlName().c_str());
            layout->Add(control);
        }
        list->Add(layout);
    }
}

void LoadDocumentCatalogue(CContainerUI* list, const CatalogueContext& context, std::string folderId) {
    if (list == nullptr) return;
    list->RemoveAll();
    const std::string body = FetchCatalogueReply("document folder", DocumentCatalogueUrl(context, folderId));
    rapidjson::Document reply;
    // Iteratively: no nesting depth in a reply can exhaust the window thread's stack.
    reply.Parse<rapidjson::kParseIterativeFlag>(body.c_str());
    const rapidjson::Value* items = CatalogueEntries(reply);
    if (items == nullptr) return;
    FillDocumentList(list, *items);
}

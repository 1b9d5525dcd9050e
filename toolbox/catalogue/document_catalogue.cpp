#include "toolbox/catalogue/document_catalogue.h"

#include "toolbox/catalogue/catalogue_reply.h"
#include "toolbox/catalogue/cell_grid.h"
#include "toolbox/catalogue/json_fields.h"

#include <cstdlib>
#include <memory>

namespace {

constexpr int kCellsPerRow = 6;

// Only the window thread builds document lists.
int g_documentControlNumber = 1;

}  // namespace

std::string DocumentCatalogueUrl(const CatalogueContext& context, const std::string& folderId) {
    return context.serverBaseUrl + "/D?tax=" + context.taxCode + "&id=" + folderId + "&rid" +
           std::to_string(std::rand());
}

std::unique_ptr<DuiFile> ParseDocumentItem(const rapidjson::Value& element) {
    static constexpr JsonTextField<DuiFile> kTexts[] = {
        {"name", &DuiFile::name}, {"url", &DuiFile::url}, {"id", &DuiFile::id}};
    auto item = std::make_unique<DuiFile>();
    ReadJsonTexts(element, kTexts, *item);
    item->type = JsonInteger(element, "type");
    return item;
}

int LastDocumentControlNumber() { return g_documentControlNumber; }

std::string NextDocumentControlName() { return "fileIndex" + std::to_string(++g_documentControlNumber); }

DocumentFolder ReadDocumentFolder(const CatalogueContext& context, const std::string& folderId,
                                  const TransferStopCheck& stop) {
    DocumentFolder folder;
    const std::string body = FetchCatalogueReply("document folder", DocumentCatalogueUrl(context, folderId), stop);
    rapidjson::Document reply;
    // Iteratively: no nesting depth in a reply can exhaust the stack.
    reply.Parse<rapidjson::kParseIterativeFlag>(body.c_str());
    const rapidjson::Value* items = CatalogueEntries(reply);
    if (items == nullptr) return folder;
    folder.arrived = true;
    for (rapidjson::SizeType i = 0; i < items->Size(); ++i) folder.items.emplace_back(ParseDocumentItem((*items)[i]));
    return folder;
}

void FillDocumentList(CContainerUI* list, DocumentFolder& folder) {
    const auto newRow = [] {
        auto* layout = new CHorizontalLayoutUI;
        layout->SetAttribute("height", "140");
        return layout;
    };
    FillCellGrid(list, static_cast<int>(folder.items.size()), kCellsPerRow, newRow, [&folder](int index) {
        auto* control = new FileListControl(folder.items[static_cast<size_t>(index)].release());
        control->SetName(NextDocumentControlName().c_str());
        return control;
    });
    folder.items.clear();
}

void LoadDocumentCatalogue(CContainerUI* list, const CatalogueContext& context, std::string folderId) {
    if (list == nullptr) return;
    list->RemoveAll();
    DocumentFolder folder = ReadDocumentFolder(context, folderId);
    if (folder.arrived) FillDocumentList(list, folder);
}

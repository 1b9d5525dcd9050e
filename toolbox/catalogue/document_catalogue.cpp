#include "toolbox/catalogue/document_catalogue.h"

#include "shared/diagnostic_log.h"
#include "toolbox/catalogue/catalogue_reply.h"
#include "toolbox/catalogue/cell_grid.h"
#include "toolbox/catalogue/json_fields.h"
#include "toolbox/catalogue/signed_catalogue.h"

#include <cstdlib>
#include <memory>
#include <utility>

namespace {

constexpr int kCellsPerRow = 6;
constexpr char kDocumentLabel[] = "document folder";

// A signed folder's members of an item; false, with the reason logged, when it is left out.
bool TakeSignedMembers(const rapidjson::Value& element, rapidjson::SizeType index, const std::string& folderId,
                       DuiFile& item) {
    const char* problem = nullptr;
    if (item.type == 1) {
        item.sha256 = JsonSha256(element, "sha256");
        item.bytes = JsonLength(element, "bytes");
        if (item.sha256.empty() || item.bytes < 0) {
            problem = "it names no \"sha256\" (64 lowercase hexadecimal digits) or no \"bytes\" (a non-negative integer)";
        } else if (!IsSignedDocumentName(item.name)) {
            problem = "its name is of a type the shell would run, not open";
        }
    } else if ((item.type == 0 || item.type == 10) && !IsFolderId(item.id)) {
        problem = "a folder's id is 1 to 64 letters, digits, '_' or '-'";
    }
    if (problem == nullptr) return true;
    LogLine("%s %s item %u (\"%s\") left out: %s", kDocumentLabel, folderId.c_str(), index, item.name.c_str(), problem);
    return false;
}

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
    if (context.Signed() && !IsFolderId(folderId)) {
        LogLine("%s \"%s\" not requested: a folder id is 1 to 64 letters, digits, '_' or '-'", kDocumentLabel,
                folderId.c_str());
        return folder;
    }
    const HttpReply reply = FetchCatalogueReply(kDocumentLabel, DocumentCatalogueUrl(context, folderId), stop);
    if (context.Signed()) {
        // Only bytes the maker signed for this folder are parsed at all.
        const SignedReply check = CheckSignedReply(context, kDocumentLabel, kDocumentSignatureRoute,
                                                   DocumentFolderWhat(folderId), reply, stop);
        if (check == SignedReply::Refused) folder.refused = true;
        if (check != SignedReply::Verified) return folder;
    }
    rapidjson::Document document;
    // Iteratively: no nesting depth in a reply can exhaust the stack.
    document.Parse<rapidjson::kParseIterativeFlag>(reply.body.c_str());
    const rapidjson::Value* items = CatalogueEntries(document);
    if (items == nullptr) return folder;
    folder.arrived = true;
    for (rapidjson::SizeType i = 0; i < items->Size(); ++i) {
        std::unique_ptr<DuiFile> item = ParseDocumentItem((*items)[i]);
        if (context.Signed() && !TakeSignedMembers((*items)[i], i, folderId, *item)) continue;
        folder.items.push_back(std::move(item));
    }
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

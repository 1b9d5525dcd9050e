#include "toolbox/catalogue/software_catalogue.h"

#include "frame/directory_error.h"
#include "shared/diagnostic_log.h"
#include "shared/file_names.h"
#include "shared/files.h"
#include "toolbox/catalogue/catalogue_reply.h"
#include "toolbox/catalogue/cell_grid.h"
#include "toolbox/catalogue/json_fields.h"
#include "toolbox/catalogue/software_state.h"

#include <cstdlib>

namespace {

constexpr int kCellsPerRow = 3;
constexpr long long kCachedIconMinBytes = 1000;

CHorizontalLayoutUI* NewSoftwareRow() {
    auto* row = new CHorizontalLayoutUI;
    row->SetAttribute("height", "100");
    row->SetAttribute("childpadding", "4");
    return row;
}

SkinSoftListControl* FindSoftwareCell(CContainerUI* list, const std::string& name) {
    for (int r = 0; list != nullptr && r < list->GetCount(); ++r) {
        CControlUI* row = list->GetItemAt(r);
        if (row == nullptr || row->GetInterface("Container") == nullptr) continue;
        auto* cells = static_cast<CContainerUI*>(row);
        for (int c = 0; c < cells->GetCount(); ++c) {
            CControlUI* cell = cells->GetItemAt(c);
            if (cell->GetName() == name.c_str()) return static_cast<SkinSoftListControl*>(cell->GetInterface("SoftListItem"));
        }
    }
    return nullptr;
}

}  // namespace

std::string SoftwareCatalogueUrl(const CatalogueContext& context) {
    return context.serverBaseUrl + "/F?tax=" + context.taxCode + "&id=" + std::to_string(std::rand());
}

std::unique_ptr<DuiSoft> ParseSoftwareEntry(const rapidjson::Value& element) {
    static constexpr JsonTextField<DuiSoft> kTexts[] = {
        {"name", &DuiSoft::name},         {"viewname", &DuiSoft::viewName}, {"content", &DuiSoft::content},
        {"size", &DuiSoft::size},         {"date", &DuiSoft::date},         {"url", &DuiSoft::url},
        {"downname", &DuiSoft::downName}, {"ver", &DuiSoft::ver},           {"execname", &DuiSoft::execName},
        {"oldver", &DuiSoft::oldVer}};
    auto entry = std::make_unique<DuiSoft>();
    ReadJsonTexts(element, kTexts, *entry);
    entry->score = JsonNumber(element, "Score");
    return entry;
}

SoftwareCatalogue ReadSoftwareCatalogue(const CatalogueContext& context, const TransferStopCheck& stop) {
    SoftwareCatalogue catalogue;
    const std::string body = FetchCatalogueReply("software catalogue", SoftwareCatalogueUrl(context), stop);
    rapidjson::Document reply;
    // Iteratively: no nesting depth in a reply can exhaust the stack.
    reply.Parse<rapidjson::kParseIterativeFlag>(body.c_str());
    // A folder that cannot be made is reported whatever the reply; a list is still built, without icons.
    const std::string packageDirectory = PackageDirectory(context);
    if (!EnsureDirectory(packageDirectory)) catalogue.missingDirectory = packageDirectory;
    const rapidjson::Value* entries = CatalogueEntries(reply);
    if (entries == nullptr) return catalogue;
    catalogue.arrived = true;

    const InstalledProgramList installed;
    const std::vector<InstalledProgram> programs = installed.Programs();
    std::vector<std::string> packagePaths;
    std::vector<std::string> packageNames;
    ListFiles(packageDirectory, packagePaths, packageNames);

    for (rapidjson::SizeType i = 0; i < entries->Size(); ++i) {
        const rapidjson::Value& element = (*entries)[i];
        std::unique_ptr<DuiSoft> entry = ParseSoftwareEntry(element);
        DecideSoftwareState(programs, packageNames, *entry);
        const std::string iconUrl = JsonText(element, "iocn");
        const std::string iconPath = SoftwareIconPath(entry->name, context);
        std::string toFetch;
        if (!iconPath.empty() && FileSizeOf(iconPath) > kCachedIconMinBytes) {
            entry->iconPath = iconPath;
        } else if (!iconUrl.empty()) {
            toFetch = iconUrl;
        }
        catalogue.entries.push_back(std::move(entry));
        catalogue.iconsToFetch.push_back(toFetch);
    }
    return catalogue;
}

std::string SoftwareIconPath(const std::string& entryName, const CatalogueContext& context) {
    // The entry's name becomes a file name inside the package directory, nothing else.
    if (!IsPlainFileName(entryName)) return std::string();
    return PackageDirectory(context) + "\\" + entryName + ".png";
}

std::string UrlServerPart(const std::string& url) {
    const std::string::size_type scheme = url.find("://");
    const std::string::size_type hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    return url.substr(0, url.find_first_of("/?#", hostStart));
}

std::string FetchSoftwareIcon(const std::string& iconUrl, const std::string& entryName,
                              const CatalogueContext& context, std::set<std::string>& unreachableHosts,
                              const TransferStopCheck& stop) {
    const std::string iconPath = SoftwareIconPath(entryName, context);
    if (iconPath.empty()) {
        if (!iconUrl.empty()) LogLine("refused the icon name \"%s\" for %s", entryName.c_str(), iconUrl.c_str());
        return std::string();
    }
    const std::string server = UrlServerPart(iconUrl);
    // Each icon would otherwise wait out its own time-outs against the same dead server.
    if (unreachableHosts.count(server) != 0 && FileSizeOf(iconPath) <= kCachedIconMinBytes) return std::string();
    CURLcode result = CURLE_OK;
    const bool fetched =
        HttpDownloadIfMissing(iconUrl, iconPath, &result, ReplyLimits{kIconTotalSeconds, kIconMaxBytes}, stop);
    if (result == CURLE_ABORTED_BY_CALLBACK) return std::string();  // no longer wanted: says nothing of the server
    if (result != CURLE_OK && result != CURLE_WRITE_ERROR && unreachableHosts.insert(server).second) {
        LogLine("icon server %s failed (%s); no more icons from it in this load", server.c_str(),
                curl_easy_strerror(result));
    }
    if (!fetched) return std::string();
    // An empty reply is no icon, and would be asked for again at every load.
    if (FileSizeOf(iconPath) <= 0) {
        ::DeleteFileA(iconPath.c_str());
        return std::string();
    }
    return iconPath;
}

std::vector<std::string> FillSoftwareList(CContainerUI* list, SoftwareCatalogue& catalogue, int& rowCounter) {
    std::vector<std::string> names;
    FillCellGrid(list, static_cast<int>(catalogue.entries.size()), kCellsPerRow, NewSoftwareRow, [&](int index) {
        // The control owns the record from here on.
        auto* control = new SkinSoftListControl(catalogue.entries[static_cast<size_t>(index)].release());
        ++rowCounter;
        names.push_back("rowIndex" + std::to_string(rowCounter));
        control->SetName(names.back().c_str());
        return control;
    });
    catalogue.entries.clear();
    return names;
}

void SetSoftwareIcon(CContainerUI* list, const std::string& cellName, const std::string& iconPath) {
    SkinSoftListControl* cell = FindSoftwareCell(list, cellName);
    if (cell == nullptr || cell->GetSoft() == nullptr) return;
    cell->GetSoft()->iconPath = iconPath;
    cell->Invalidate();
}

void LoadSoftwareCatalogue(CContainerUI* list, const CatalogueContext& context, int& rowCounter) {
    if (list == nullptr) return;
    list->RemoveAll();
    SoftwareCatalogue catalogue = ReadSoftwareCatalogue(context);
    if (!catalogue.missingDirectory.empty()) ShowDirectoryError(catalogue.missingDirectory, context.messageOwner);
    if (!catalogue.arrived) return;
    std::set<std::string> unreachableIconHosts;
    for (size_t i = 0; i < catalogue.entries.size(); ++i) {
        if (catalogue.iconsToFetch[i].empty()) continue;
        catalogue.entries[i]->iconPath =
            FetchSoftwareIcon(catalogue.iconsToFetch[i], catalogue.entries[i]->name, context, unreachableIconHosts);
    }
    FillSoftwareList(list, catalogue, rowCounter);
}

#include "toolbox/catalogue/software_catalogue.h"

#include "shared/diagnostic_log.h"
#include "shared/file_names.h"
#include "shared/files.h"
#include "shared/http.h"
#include "toolbox/catalogue/catalogue_reply.h"
#include "toolbox/catalogue/json_fields.h"
#include "toolbox/catalogue/software_state.h"

#include <cstdlib>

namespace {

constexpr int kCellsPerRow = 3;

CHorizontalLayoutUI* NewSoftwareRow() {
    auto* row = new CHorizontalLayoutUI;
    row->SetAttribute("height", "100");
    row->SetAttribute("childpadding", "4");
    return row;
}

}  // namespace

std::string SoftwareCatalogueUrl(const CatalogueContext& context) {
    return context.serverBaseUrl + "/F?tax=" + context.taxCode + "&id=" + std::to_string(std::rand());
}

DuiSoft* ParseSoftwareEntry(const rapidjson::Value& element) {
    auto* entry = new DuiSoft;
    entry->name = JsonText(element, "name");
    entry->viewName = JsonText(element, "viewname");
    entry->content = JsonText(element, "content");
    entry->size = JsonText(element, "size");
    entry->date = JsonText(element, "date");
    entry->url = JsonText(element, "url");
    entry->score = JsonNumber(element, "Score");
    entry->downName = JsonText(element, "downname");
    entry->ver = JsonText(element, "ver");
    entry->execName = JsonText(element, "execname");
    entry->oldVer = JsonText(element, "oldver");
    return entry;
}

std::string UrlServerPart(const std::string& url) {
    const std::string::size_type scheme = url.find("://");
    const std::string::size_type hostStart = scheme == std::string::npos ? 0 : scheme + 3;
    return url.substr(0, url.find_first_of("/?#", hostStart));
}

std::string FetchSoftwareIcon(const std::string& iconUrl, const std::string& entryName,
                              const CatalogueContext& context, std::set<std::string>& unreachableHosts) {
    // The entry's name becomes a file name inside the package directory, nothing else.
    if (!IsPlainFileName(entryName)) {
        if (!iconUrl.empty()) LogLine("refused the icon name \"%s\" for %s", entryName.c_str(), iconUrl.c_str());
        return std::string();
    }
    const std::string iconPath = PackageDirectory(context) + "\\" + entryName + ".png";
    const std::string server = UrlServerPart(iconUrl);
    // Each icon would otherwise wait out its own time-outs against the same dead server.
    if (unreachableHosts.count(server) != 0 && FileSizeOf(iconPath) <= 1000) return std::string();
    CURLcode result = CURLE_OK;
    const bool fetched = HttpDownloadIfMissing(iconUrl, iconPath, &result);
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

SkinSoftListControl* BuildSoftwareCell(const rapidjson::Value& element, const SoftwareSurroundings& surroundings,
                                       int& rowCounter) {
    DuiSoft* entry = ParseSoftwareEntry(element);
    entry->iconPath = FetchSoftwareIcon(JsonText(element, "iocn"), entry->name, surroundings.context,
                                        surroundings.unreachableIconHosts);
    DecideSoftwareState(surroundings.programs, surroundings.packageNames, *entry);
    auto* cell = new SkinSoftListControl(entry);  // the control owns the record from here on
    ++rowCounter;
    cell->SetName(("rowIndex" + std::to_string(rowCounter)).c_str());
    return cell;
}

void FillSoftwareList(CContainerUI* list, const rapidjson::Value& entries, const SoftwareSurroundings& surroundings,
                      int& rowCounter) {
    const int count = static_cast<int>(entries.Size());
    for (int row = 0; row <= count / kCellsPerRow; ++row) {
        CHorizontalLayoutUI* layout = NewSoftwareRow();
        for (int cell = 0; cell < kCellsPerRow; ++cell) {
            const int index = row * kCellsPerRow + cell;
            if (index >= count) {
                layout->Add(new CControlUI);
            } else {
                layout->Add(BuildSoftwareCell(entries[static_cast<rapidjson::SizeType>(index)], surroundings,
                                              rowCounter));
            }
        }
        list->Add(layout);
    }
}

void LoadSoftwareCatalogue(CContainerUI* list, const CatalogueContext& context, int& rowCounter) {
    if (list == nullptr) return;
    list->RemoveAll();

    const std::string body = FetchCatalogueReply("software catalogue", SoftwareCatalogueUrl(context));
    rapidjson::Document reply;
    // Iteratively: no nesting depth in a reply can exhaust the window thread's stack.
    reply.Parse<rapidjson::kParseIterativeFlag>(body.c_str());

    const InstalledProgramList installed;
    const std::vector<InstalledProgram> programs = installed.Programs();

    // A failure here has shown its own box; the list is still built, without icons.
    const std::string packageDirectory = PackageDirectory(context);
    MakeDirectory(packageDirectory, context.messageOwner);
    std::vector<std::string> packagePaths;
    std::vector<std::string> packageNames;
    ListFiles(packageDirectory, packagePaths, packageNames);

    const rapidjson::Value* entries = CatalogueEntries(reply);
    if (entries == nullptr) return;
    std::set<std::string> unreachableIconHosts;
    FillSoftwareList(list, *entries, SoftwareSurroundings{context, programs, packageNames, unreachableIconHosts},
                     rowCounter);
}

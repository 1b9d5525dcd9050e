#include "toolbox/catalogue/software_catalogue.h"

#include "shared/cng.h"
#include "shared/diagnostic_log.h"
#include "shared/file_names.h"
#include "shared/files.h"
#include "shared/sha256.h"
#include "shared/unique_handle.h"
#include "toolbox/catalogue/catalogue_reply.h"
#include "toolbox/catalogue/cell_grid.h"
#include "toolbox/catalogue/download_files.h"
#include "toolbox/catalogue/json_fields.h"
#include "toolbox/catalogue/package_records.h"
#include "toolbox/catalogue/signed_catalogue.h"
#include "toolbox/catalogue/software_state.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

namespace {

constexpr int kCellsPerRow = 3;
constexpr long long kCachedIconMinBytes = 1000;
constexpr char kSoftwareLabel[] = "software catalogue";

// A signed catalogue's members of an entry; false, with the reason logged, when the entry
// is left out: without its package's digest and length nothing could be checked, and a
// package that is no ".exe" would be opened through the shell.
bool TakeSignedMembers(const rapidjson::Value& element, rapidjson::SizeType index, DuiSoft& entry) {
    entry.sha256 = JsonSha256(element, "sha256");
    entry.bytes = JsonLength(element, "bytes");
    entry.iconSha256 = JsonSha256(element, "iconsha256");
    const char* problem = nullptr;
    if (entry.sha256.empty() || entry.bytes < 0) {
        problem = "it names no \"sha256\" (64 lowercase hexadecimal digits) or no \"bytes\" (a non-negative integer)";
    } else if (!IsSignedPackageName(entry.downName)) {
        problem = "its \"downname\" does not end in \".exe\"";
    }
    if (problem == nullptr) return true;
    LogLine("%s entry %u (\"%s\") left out: %s", kSoftwareLabel, index, entry.name.c_str(), problem);
    return false;
}

// Whether the package already in the folder is the file the signed entry names; a changed
// one is removed.
bool IsNamedPackage(const std::string& packageDirectory, const DuiSoft& entry) {
    const PackageCheck check = CheckPackageFile(packageDirectory, entry.downName, entry.sha256, entry.bytes);
    if (check != PackageCheck::Verified) {
        LogLine("%s: the package %s\\%s is %s%s", kSoftwareLabel, packageDirectory.c_str(), entry.downName.c_str(),
                DescribePackageCheck(check), check == PackageCheck::Changed ? ": removed" : "");
    }
    return check == PackageCheck::Verified;
}

// Whether the cached icon is the one the signed entry names. Read whole: icons are small,
// and a load checks hundreds of them.
bool CachedIconMatches(const std::string& path, const std::string& sha256) {
    UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size) || size.QuadPart > static_cast<LONGLONG>(kIconMaxBytes)) {
        return false;
    }
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!bytes.empty() &&
        (!::ReadFile(file.get(), &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr) || got != bytes.size())) {
        return false;
    }
    return LowerHex(Sha256Of(bytes).value_or("")) == sha256;
}

// A signed icon: kept in memory until its bytes are known to be the maker's, then stored.
bool FetchSignedIcon(const std::string& url, const std::string& path, const std::string& sha256,
                     const TransferStopCheck& stop, CURLcode* result) {
    const HttpReply reply = HttpGetString(url, ReplyLimits{kIconTotalSeconds, kIconMaxBytes}, stop);
    *result = reply.result;
    if (!reply.Succeeded()) return false;
    if (LowerHex(Sha256Of(reply.body).value_or("")) != sha256) {
        LogLine("the icon %s is refused: its bytes are not those the catalogue names", url.c_str());
        return false;
    }
    // Whole or not at all: the name never holds a part of the checked bytes.
    return WriteFileInPlace(path, reply.body).Succeeded();
}

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
    const HttpReply reply = FetchCatalogueReply(kSoftwareLabel, SoftwareCatalogueUrl(context), stop);
    // A folder that cannot be made is reported whatever the reply; a list is still built, without icons.
    const std::string packageDirectory = PackageDirectory(context);
    if (!EnsureDirectory(packageDirectory)) catalogue.missingDirectory = packageDirectory;
    if (context.Signed()) {
        // Only bytes the maker signed are parsed at all.
        const SignedReply check =
            CheckSignedReply(context, kSoftwareLabel, kSoftwareSignatureRoute, SoftwareCatalogueWhat(), reply, stop);
        if (check == SignedReply::Refused) catalogue.refused = true;
        if (check != SignedReply::Verified) return catalogue;
    }
    rapidjson::Document document;
    // Iteratively: no nesting depth in a reply can exhaust the stack.
    document.Parse<rapidjson::kParseIterativeFlag>(reply.body.c_str());
    const rapidjson::Value* entries = CatalogueEntries(document);
    if (entries == nullptr) return catalogue;
    catalogue.arrived = true;

    const InstalledProgramList installed;
    const std::vector<InstalledProgram> programs = installed.Programs();
    std::vector<std::string> packagePaths;
    std::vector<std::string> packageNames;
    ListFiles(packageDirectory, packagePaths, packageNames);
    // Per package file and digest: whether it is the one named, worked out once per load.
    std::map<std::pair<std::string, std::string>, bool> verifiedPackages;

    for (rapidjson::SizeType i = 0; i < entries->Size(); ++i) {
        const rapidjson::Value& element = (*entries)[i];
        std::unique_ptr<DuiSoft> entry = ParseSoftwareEntry(element);
        std::string iconUrl = JsonText(element, "iocn");
        const std::string iconPath = SoftwareIconPath(entry->name, context);
        std::string toFetch;
        if (context.Signed()) {
            if (!TakeSignedMembers(element, i, *entry)) continue;
            if (!iconUrl.empty() && entry->iconSha256.empty()) {
                LogLine("%s entry %u (\"%s\") is shown without its icon: it names no \"iconsha256\"", kSoftwareLabel, i,
                        entry->name.c_str());
                iconUrl.clear();
            }
            const bool inFolder = std::find(packageNames.begin(), packageNames.end(), entry->downName) != packageNames.end();
            bool verified = false;
            if (inFolder && IsDownloadName(entry->downName)) {
                const auto key = std::make_pair(entry->downName, entry->sha256);
                const auto known = verifiedPackages.find(key);
                verified = known != verifiedPackages.end()
                               ? known->second
                               : (verifiedPackages[key] = IsNamedPackage(packageDirectory, *entry));
            }
            DecideSoftwareState(programs, verified ? std::vector<std::string>{entry->downName} : std::vector<std::string>{},
                                *entry);
            if (!iconPath.empty() && !entry->iconSha256.empty() && FileExists(iconPath)) {
                if (CachedIconMatches(iconPath, entry->iconSha256)) {
                    entry->iconPath = iconPath;
                } else {
                    // Not the maker's picture: never decoded, fetched again.
                    ::DeleteFileA(iconPath.c_str());
                }
            }
            if (entry->iconPath.empty()) toFetch = iconUrl;
        } else {
            DecideSoftwareState(programs, packageNames, *entry);
            if (!iconPath.empty() && FileSizeOf(iconPath) > kCachedIconMinBytes) {
                entry->iconPath = iconPath;
            } else if (!iconUrl.empty()) {
                toFetch = iconUrl;
            }
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

std::string FetchSoftwareIcon(const std::string& iconUrl, const std::string& entryName, const std::string& iconSha256,
                              const CatalogueContext& context, std::set<std::string>& unreachableHosts,
                              const TransferStopCheck& stop) {
    const std::string iconPath = SoftwareIconPath(entryName, context);
    if (iconPath.empty()) {
        if (!iconUrl.empty()) LogLine("refused the icon name \"%s\" for %s", entryName.c_str(), iconUrl.c_str());
        return std::string();
    }
    const std::string server = UrlServerPart(iconUrl);
    const bool isSigned = !iconSha256.empty();
    // Each icon would otherwise wait out its own time-outs against the same dead server.
    if (unreachableHosts.count(server) != 0 && (isSigned || FileSizeOf(iconPath) <= kCachedIconMinBytes)) {
        return std::string();
    }
    CURLcode result = CURLE_OK;
    const bool fetched = isSigned ? FetchSignedIcon(iconUrl, iconPath, iconSha256, stop, &result)
                                  : HttpDownloadIfMissing(iconUrl, iconPath, &result,
                                                          ReplyLimits{kIconTotalSeconds, kIconMaxBytes}, stop);
    if (result == CURLE_ABORTED_BY_CALLBACK) return std::string();  // no longer wanted: says nothing of the server
    if (result != CURLE_OK && result != CURLE_WRITE_ERROR && result != CURLE_FILESIZE_EXCEEDED &&
        unreachableHosts.insert(server).second) {
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

SkinSoftListControl* BuildSoftwareCell(std::unique_ptr<DuiSoft> entry, UINT_PTR cellId, int& rowCounter) {
    auto* cell = new SkinSoftListControl(entry.release());
    ++rowCounter;
    cell->SetName(("rowIndex" + std::to_string(rowCounter)).c_str());
    cell->SetTag(cellId);
    return cell;
}

void FillSoftwareList(CContainerUI* list, SoftwareCatalogue& catalogue, UINT_PTR firstCellId, int& rowCounter) {
    FillCellGrid(list, static_cast<int>(catalogue.entries.size()), kCellsPerRow, NewSoftwareRow, [&](int index) {
        const auto i = static_cast<size_t>(index);
        return BuildSoftwareCell(std::move(catalogue.entries[i]), firstCellId + i, rowCounter);
    });
    catalogue.entries.clear();
}

void SetSoftwareIcon(CContainerUI* list, UINT_PTR cellId, const std::string& iconPath) {
    CControlUI* found = FindCellById(list, cellId);
    auto* cell = found != nullptr ? static_cast<SkinSoftListControl*>(found->GetInterface("SoftListItem")) : nullptr;
    if (cell == nullptr || cell->GetSoft() == nullptr) return;
    cell->GetSoft()->iconPath = iconPath;
    cell->Invalidate();
}

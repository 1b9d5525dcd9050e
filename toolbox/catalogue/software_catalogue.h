#pragma once
// The software page: the server's catalogue for the taxpayer code, one row control per
// entry, three to a row, each entry's state decided from this machine. Reading the
// catalogue (request, registry, package folder) and fetching icons is a worker's part;
// filling the list is the window thread's.

#include "shared/http.h"
#include "skin/catalogue_rows.h"
#include "skin/container.h"
#include "toolbox/catalogue/catalogue_context.h"
#include "toolbox/catalogue/installed_programs.h"

#include <rapidjson/document.h>

#include <cstddef>
#include <memory>
#include <set>
#include <string>
#include <vector>

// An icon is a small picture: a slow or large reply is no icon.
inline constexpr long kIconTotalSeconds = 20;
inline constexpr size_t kIconMaxBytes = 512 * 1024;

// The request of one load: base + "/F?tax=" + code + "&id=" + a rand() number.
std::string SoftwareCatalogueUrl(const CatalogueContext& context);

// A record filled from one element of "data" (members missing or mistyped read empty).
std::unique_ptr<DuiSoft> ParseSoftwareEntry(const rapidjson::Value& element);

// What one load read, ready for the window thread.
struct SoftwareCatalogue {
    bool arrived = false;  // false: no catalogue (transfer failed or the reply is none)
    // A signed build's reply whose signature is missing or not the maker's: nothing of it
    // is offered, no icon fetched (arrived stays false).
    bool refused = false;
    std::vector<std::unique_ptr<DuiSoft>> entries;  // states decided; cached icons already set
    std::vector<std::string> iconsToFetch;          // per entry: the icon URL still to fetch, or empty
    std::string missingDirectory;                   // the package directory, when it could not be made
};

// The request, the installed programs and the package folder; any thread. The directory's
// failure is only noted: the caller shows its box on the window thread.
// In a signed build (context.keys) only a reply the maker signed is read; an entry without
// its "sha256" and "bytes", or whose package is no ".exe", is left out; an icon without
// "iconsha256" is not fetched; a package already in the folder counts as downloaded only
// when it is the file the catalogue names (by its record, else hashed here), and a changed
// one is removed; a cached icon is used only when it matches "iconsha256".
SoftwareCatalogue ReadSoftwareCatalogue(const CatalogueContext& context, const TransferStopCheck& stop = {});

// The icon file of an entry in the package directory; empty when the name is no plain file name.
std::string SoftwareIconPath(const std::string& entryName, const CatalogueContext& context);

// Fetches the entry's icon into the package directory (reusing a cached copy of more
// than 1000 bytes) and returns its path, or empty when there is none. An empty icon file
// is removed; a host that fails to answer joins unreachableHosts and is skipped from then on.
// With iconSha256 (a signed catalogue's) the icon is taken only when its bytes have that
// digest, whatever its size, and stored only then.
std::string FetchSoftwareIcon(const std::string& iconUrl, const std::string& entryName, const std::string& iconSha256,
                              const CatalogueContext& context, std::set<std::string>& unreachableHosts,
                              const TransferStopCheck& stop = {});

// "scheme://host:port" of a URL: what one unreachable server has in common.
std::string UrlServerPart(const std::string& url);

// Window thread: the cell of one entry. It takes over the record, is named "rowIndex" +
// rowCounter (raised first) and keeps cellId as its tag (cell_grid.h).
SkinSoftListControl* BuildSoftwareCell(std::unique_ptr<DuiSoft> entry, UINT_PTR cellId, int& rowCounter);

// Window thread: rows of three cells, n / 3 + 1 of them, padded with plain controls; entry
// i becomes the cell with id firstCellId + i (ids from ReserveCellIds).
void FillSoftwareList(CContainerUI* list, SoftwareCatalogue& catalogue, UINT_PTR firstCellId, int& rowCounter);

// Window thread: the icon of a cell that arrived after its row; a cell no longer in the
// list is left alone.
void SetSoftwareIcon(CContainerUI* list, UINT_PTR cellId, const std::string& iconPath);

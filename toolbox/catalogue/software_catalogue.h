#pragma once
// The software page: the server's catalogue for the taxpayer code, one row control per
// entry, three to a row, each entry's state decided from this machine.

#include "skin/catalogue_rows.h"
#include "skin/container.h"
#include "toolbox/catalogue/catalogue_context.h"
#include "toolbox/catalogue/installed_programs.h"

#include <rapidjson/document.h>

#include <set>
#include <string>
#include <vector>

// What every cell of one load is decided against.
struct SoftwareSurroundings {
    const CatalogueContext& context;
    const std::vector<InstalledProgram>& programs;
    const std::vector<std::string>& packageNames;
    // Icon hosts that could not be reached during this load: not asked again until the next.
    std::set<std::string>& unreachableIconHosts;
};

// The request of one load: base + "/F?tax=" + code + "&id=" + a rand() number.
std::string SoftwareCatalogueUrl(const CatalogueContext& context);

// A record filled from one element of "data" (members missing or mistyped read empty).
DuiSoft* ParseSoftwareEntry(const rapidjson::Value& element);

// Fetches the entry's icon into the package directory (reusing a cached copy of more
// than 1000 bytes) and returns its path, or empty when there is none. An empty icon file
// is removed; a host that fails to answer joins unreachableHosts and is skipped from then on.
std::string FetchSoftwareIcon(const std::string& iconUrl, const std::string& entryName,
                              const CatalogueContext& context, std::set<std::string>& unreachableHosts);

// "scheme://host:port" of a URL: what one unreachable server has in common.
std::string UrlServerPart(const std::string& url);

// The row control of element i: record, icon, state, and the name "rowIndex" + counter
// (the counter is raised first).
SkinSoftListControl* BuildSoftwareCell(const rapidjson::Value& element, const SoftwareSurroundings& surroundings,
                                       int& rowCounter);

// Rows of three cells, n / 3 + 1 of them, padded with plain controls.
void FillSoftwareList(CContainerUI* list, const rapidjson::Value& entries, const SoftwareSurroundings& surroundings,
                      int& rowCounter);

// Empties the list and fills it again from the server; the list stays empty when the
// reply is missing or not a catalogue. rowCounter is the main window's, never reset.
void LoadSoftwareCatalogue(CContainerUI* list, const CatalogueContext& context, int& rowCounter);

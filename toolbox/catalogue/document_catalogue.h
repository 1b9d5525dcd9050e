#pragma once
// The document page: one folder of the server's document tree, one row control per item,
// six to a row. Folder items load their folder in place of the current one.

#include "shared/http.h"
#include "skin/catalogue_rows.h"
#include "skin/container.h"
#include "toolbox/catalogue/catalogue_context.h"

#include <rapidjson/document.h>

#include <memory>
#include <string>
#include <vector>

// The request for a folder: base + "/D?tax=" + code + "&id=" + folder + "&rid" + a rand() number.
std::string DocumentCatalogueUrl(const CatalogueContext& context, const std::string& folderId);

// A record filled from one element of "data"; an item without "type" is a folder (0).
std::unique_ptr<DuiFile> ParseDocumentItem(const rapidjson::Value& element);

// The process-wide source of "fileIndex" numbers: starts at 1, raised before each use,
// never reset, so the first document control of a run is "fileIndex2".
int LastDocumentControlNumber();
std::string NextDocumentControlName();

// What one folder request read, ready for the window thread.
struct DocumentFolder {
    bool arrived = false;  // false: no catalogue (transfer failed or the reply is none)
    // A signed build's reply whose signature is missing or not the maker's: nothing of it
    // is offered (arrived stays false).
    bool refused = false;
    std::vector<std::unique_ptr<DuiFile>> items;
};

// The request and its items; any thread. In a signed build (context.keys) only a reply the
// maker signed for this folder is read, and a folder id that is no IsFolderId is never
// requested; a document without its "sha256" and "bytes", or of a type the shell would run,
// and a folder item whose id is no folder id, are left out.
DocumentFolder ReadDocumentFolder(const CatalogueContext& context, const std::string& folderId,
                                  const TransferStopCheck& stop = {});

// Window thread: rows of six cells, n / 6 + 1 of them, padded with plain controls; the
// controls take over the records.
void FillDocumentList(CContainerUI* list, DocumentFolder& folder);

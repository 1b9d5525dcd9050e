#include "toolbox/catalogue/catalogue_loads.h"

#include "shared/background_work.h"
#include "shared/diagnostic_log.h"
#include "skin/controls.h"
#include "toolbox/catalogue/cell_grid.h"
#include "toolbox/catalogue/document_catalogue.h"
#include "toolbox/catalogue/signed_catalogue.h"
#include "toolbox/catalogue/software_catalogue.h"
#include "toolbox/catalogue/worker_results.h"

#include <atomic>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace {

// The number of the latest load of each list; a result of any other load is void.
std::atomic<unsigned> g_softwareLoad{0};
std::atomic<unsigned> g_documentLoad{0};

CControlUI* NoticeOf(CContainerUI* list) {
    if (list == nullptr || list->GetCount() != 1) return nullptr;
    CControlUI* only = list->GetItemAt(0);
    return only != nullptr && only->GetName() == kLoadNoticeName ? only : nullptr;
}

void ShowNotice(CContainerUI* list, const char* text) {
    list->RemoveAll();
    auto* notice = new CTextUI;
    notice->SetName(kLoadNoticeName);
    notice->SetText(text);
    notice->SetAttribute("height", "60");
    notice->SetAttribute("align", "center");
    list->Add(notice);
}

// A list's request runs to its end even when a later load made it void: it is bounded in
// time and size, and its result is dropped. Only the program's exit ends it early.
bool ProgramExiting() { return BackgroundWorkStopping(); }

// The icons of a void load are not wanted at all.
TransferStopCheck StopWhenVoid(const std::atomic<unsigned>& latest, unsigned load) {
    return [&latest, load] { return latest.load() != load || BackgroundWorkStopping(); };
}

// The icons of one load, fetched after its rows were posted.
struct IconRequest {
    size_t index;
    std::string url;
    std::string entryName;
    std::string sha256;  // a signed catalogue's "iconsha256", else empty
};

std::vector<IconRequest> IconRequestsOf(const SoftwareCatalogue& catalogue) {
    std::vector<IconRequest> requests;
    for (size_t i = 0; i < catalogue.entries.size(); ++i) {
        if (!catalogue.iconsToFetch[i].empty()) {
            requests.push_back(
                {i, catalogue.iconsToFetch[i], catalogue.entries[i]->name, catalogue.entries[i]->iconSha256});
        }
    }
    return requests;
}

void ReadSoftwareInBackground(CContainerUI* list, const CatalogueContext& context, int* rowCounter, unsigned load) {
    auto catalogue = std::make_shared<SoftwareCatalogue>(ReadSoftwareCatalogue(context, ProgramExiting));
    if (!catalogue->missingDirectory.empty()) PostDirectoryError(catalogue->missingDirectory);
    const std::vector<IconRequest> icons = IconRequestsOf(*catalogue);
    const bool arrived = catalogue->arrived;
    // Entry i becomes the cell firstCell + i; the icons name their cells by these ids.
    const UINT_PTR firstCell = ReserveCellIds(catalogue->entries.size());
    // From here the catalogue is the window thread's.
    const bool posted = PostWindowWork([list, rowCounter, load, catalogue, firstCell] {
        if (g_softwareLoad.load() != load) return;
        list->RemoveAll();
        if (catalogue->arrived) {
            FillSoftwareList(list, *catalogue, firstCell, *rowCounter);
        } else {
            ShowNotice(list, catalogue->refused ? kCatalogueRefusedText : kLoadFailedText);
        }
    });
    if (!posted || !arrived) return;

    const TransferStopCheck stop = StopWhenVoid(g_softwareLoad, load);
    std::set<std::string> unreachableHosts;
    int fetched = 0;
    for (const IconRequest& icon : icons) {
        if (stop()) break;
        const std::string path = FetchSoftwareIcon(icon.url, icon.entryName, icon.sha256, context, unreachableHosts, stop);
        if (path.empty()) continue;
        ++fetched;
        const UINT_PTR cell = firstCell + icon.index;
        if (!PostWindowWork([list, load, cell, path] {
                if (g_softwareLoad.load() == load) SetSoftwareIcon(list, cell, path);
            })) {
            break;
        }
    }
    if (!icons.empty()) {
        LogLine("software catalogue icons: %d of %u fetched%s", fetched, static_cast<unsigned>(icons.size()),
                stop() ? ", the rest no longer wanted" : "");
    }
}

void ReadDocumentsInBackground(CContainerUI* list, const CatalogueContext& context, const std::string& folderId,
                               unsigned load) {
    auto folder = std::make_shared<DocumentFolder>(ReadDocumentFolder(context, folderId, ProgramExiting));
    PostWindowWork([list, load, folder] {
        if (g_documentLoad.load() != load) return;
        list->RemoveAll();
        if (folder->arrived) {
            FillDocumentList(list, *folder);
        } else {
            ShowNotice(list, folder->refused ? kCatalogueRefusedText : kLoadFailedText);
        }
    });
}

// A load that cannot even get a thread fails at once, as one whose request failed.
void StartOrFail(CContainerUI* list, std::function<void()> work, const char* what) {
    if (StartBackgroundWork(std::move(work))) return;
    LogLine("%s load: no worker thread", what);
    ShowNotice(list, kLoadFailedText);
}

}  // namespace

void LoadSoftwareCatalogue(CContainerUI* list, const CatalogueContext& context, int* rowCounter) {
    if (list == nullptr || rowCounter == nullptr) return;
    const unsigned load = ++g_softwareLoad;
    ShowNotice(list, kLoadingText);
    StartOrFail(list, [list, context, rowCounter, load] { ReadSoftwareInBackground(list, context, rowCounter, load); },
                "software catalogue");
}

void LoadDocumentCatalogue(CContainerUI* list, const CatalogueContext& context, std::string folderId) {
    if (list == nullptr) return;
    const unsigned load = ++g_documentLoad;
    ShowNotice(list, kLoadingText);
    StartOrFail(list, [list, context, folderId, load] { ReadDocumentsInBackground(list, context, folderId, load); },
                "document folder");
}

std::string LoadNoticeText(CContainerUI* list) {
    CControlUI* notice = NoticeOf(list);
    return notice != nullptr ? notice->GetText().GetData() : std::string();
}

bool ListAwaitsLoad(CContainerUI* list) {
    if (list == nullptr) return false;
    const std::string notice = LoadNoticeText(list);
    return list->GetCount() <= 0 || notice == kLoadFailedText || notice == kCatalogueRefusedText;
}

#include "toolbox/catalogue/package_launch.h"

#include "shared/background_work.h"
#include "shared/diagnostic_log.h"
#include "shared/unique_handle.h"
#include "shared/win32_result.h"
#include "toolbox/catalogue/downloads.h"
#include "toolbox/catalogue/open_and_launch.h"
#include "toolbox/catalogue/package_records.h"
#include "toolbox/catalogue/worker_results.h"

#include <memory>
#include <set>

namespace {

// Window thread only.
std::set<std::string> g_checking;

// What was checked: the row's entry at the click.
struct CheckedPackage {
    std::string downName;
    std::string sha256;
    int64_t bytes;
};

// What the worker found, applied on the window thread; held keeps the file as checked
// until it has been started.
void ApplyCheck(CPaintManagerUI* paintManager, const std::string& rowName, UINT_PTR cellId,
                const CheckedPackage& checked, const std::string& path, PackageCheck check,
                const std::shared_ptr<UniqueFileHandle>& held) {
    g_checking.erase(rowName);
    if (check == PackageCheck::Verified) {
        OpenLocalFile(path);
        held->reset();
        return;
    }
    held->reset();
    if (check != PackageCheck::Changed || paintManager == nullptr) return;
    // The row, if it still shows the same entry, no longer has its package.
    SkinSoftListControl* row = FindSoftwareRow(*paintManager, cellId);
    DuiSoft* entry = row != nullptr ? row->GetSoft() : nullptr;
    if (entry == nullptr || entry->downName != checked.downName || entry->sha256 != checked.sha256) return;
    if (entry->state.load() == Downloaded) entry->state = NotDownloaded;
    row->Invalidate();
}

}  // namespace

bool IsPackageCheckRunning(const std::string& rowName) { return g_checking.count(rowName) != 0; }

void OpenDownloadedPackage(SkinSoftListControl* row, const CatalogueContext& context, const std::string& path) {
    if (!context.Signed()) {
        OpenLocalFile(path);
        return;
    }
    if (row == nullptr || row->GetSoft() == nullptr) return;
    const std::string rowName = row->GetName().GetData();
    if (IsPackageCheckRunning(rowName)) return;
    const DuiSoft& entry = *row->GetSoft();
    const std::string directory = PackageDirectory(context);
    UniqueFileHandle held(OpenPackageForCheck(path));
    if (const Win32Result opened = Win32Result::Of(held.valid()); !opened) {
        LogLine("the package %s is not started: it cannot be opened for its check (error %lu)", path.c_str(),
                opened.Code());
        return;
    }
    if (RecordVouchesFor(directory, entry.downName, held.get(), entry.sha256, entry.bytes)) {
        LogLine("the package %s is started: its record shows it is the file the signed catalogue names", path.c_str());
        OpenLocalFile(path);
        return;
    }
    // Hashing the file takes a while: a worker does it, holding the file as it is.
    auto shared = std::make_shared<UniqueFileHandle>(std::move(held));
    auto checked = std::make_shared<const CheckedPackage>(CheckedPackage{entry.downName, entry.sha256, entry.bytes});
    CPaintManagerUI* paintManager = row->GetManager();
    const UINT_PTR cellId = row->GetTag();
    g_checking.insert(rowName);
    const bool started = StartBackgroundWork([=] {
        const PackageCheck check = CheckOpenPackage(directory, checked->downName, shared->get(), checked->sha256,
                                                    checked->bytes);
        if (check == PackageCheck::Changed) {
            shared->reset();
            RemoveChangedPackage(directory, checked->downName);
        }
        LogLine("the package %s is %s: %s", path.c_str(), DescribePackageCheck(check),
                check == PackageCheck::Verified ? "started"
                                                : (check == PackageCheck::Changed ? "removed, not started" : "not started"));
        PostWindowWork([=] { ApplyCheck(paintManager, rowName, cellId, *checked, path, check, shared); });
    });
    if (!started) {
        g_checking.erase(rowName);
        LogLine("the package %s is not started: no worker thread to check it", path.c_str());
    }
}

#include "toolbox/catalogue/downloads.h"

#include "shared/background_work.h"
#include "shared/diagnostic_log.h"
#include "shared/files.h"
#include "shared/process.h"
#include "shared/signature.h"
#include "toolbox/catalogue/cell_grid.h"
#include "toolbox/catalogue/download_files.h"
#include "toolbox/catalogue/download_registry.h"
#include "toolbox/catalogue/download_workers.h"
#include "toolbox/catalogue/open_and_launch.h"
#include "toolbox/catalogue/worker_results.h"

#include <cstdio>

namespace {

constexpr int kMaxPercent = 100;
constexpr long long kLargestErrorPageBytes = 2000;

HWND WindowOf(CControlUI* control) {
    // The window the workers report to is the main window; the row's own window stands in
    // when none is open.
    if (HWND target = WorkerResultsWindow()) return target;
    return control->GetManager() != nullptr ? control->GetManager()->GetPaintWindow() : nullptr;
}

// What the download is to be: sha256 and bytes from a signed catalogue, checked when the
// context is signed.
struct Expected {
    std::string sha256;
    int64_t bytes;
};

DownloadJob* NewJob(CControlUI* control, DownloadKind kind, void* record, const std::string& url,
                    const std::string& directory, const std::string& fileName, const CatalogueContext& context,
                    const Expected& expected) {
    auto* job = new DownloadJob;
    job->window = WindowOf(control);
    job->record = record;
    job->controlName = control->GetName().GetData();
    job->cellId = control->GetTag();
    job->kind = kind;
    job->transferLimits = DownloadTransferLimits();
    job->url = url;
    job->directory = directory;
    if (context.Signed()) {
        job->expectedSha256 = expected.sha256;
        job->expectedBytes = expected.bytes;
    }
    // A refused name leaves no target: the worker writes nothing and reports a failure.
    // So does a signed build's entry that names nothing to check the file against.
    if (!IsDownloadName(fileName)) {
        LogLine("refused the server's file name \"%s\" for %s", fileName.c_str(), url.c_str());
    } else if (context.Signed() && (!IsLowerHexSha256(expected.sha256) || expected.bytes < 0)) {
        LogLine("refused to download %s: the signed catalogue names no digest and length for it", url.c_str());
    } else {
        job->targetPath = directory + "\\" + fileName;
    }
    return job;
}

void StartWorker(DownloadJob* job, WPARAM failureCode) {
    RegisterJob(job);
    if (StartBackgroundWork([job] { RunDownload(job); })) return;
    // The row still gets its one final code.
    PostDownloadCode(job, failureCode);
}

void FinishPackage(CPaintManagerUI& paintManager, DownloadJob* job, bool downloaded) {
    --RunningDownloadCount();
    // A cancelled job that a new download of the same row replaced leaves the row to that
    // newer download. The worker has already dealt with the files.
    if (UnregisterPackageJob(job)) {
        if (SkinSoftListControl* row = FindSoftwareRow(paintManager, job->cellId)) {
            row->GetSoft()->state = downloaded ? Downloaded : NotDownloaded;
            row->SetIsDownLoad(false);
            row->SetDownLoadSize(downloaded ? 0 : 1);
        }
    }
    ReleaseJob(job);
}

void FinishDocument(CPaintManagerUI& paintManager, DownloadJob* job, bool downloaded) {
    if (FileListControl* row = FindDocumentRow(paintManager, job->controlName)) row->SetIsDownLoad(false);
    if (downloaded) {
        const long long size = FileSizeOf(job->targetPath);
        // A reply this small is taken as the server's error page, not a document; but one
        // verified against a signed catalogue is the maker's document, whatever its size.
        if (job->Verified() && size >= 0) {
            OpenDocument(job->targetPath, paintManager.GetPaintWindow());
        } else if (size >= 0 && size <= kLargestErrorPageBytes) {
            std::remove(job->targetPath.c_str());
        } else if (size > kLargestErrorPageBytes) {
            OpenDocument(job->targetPath, paintManager.GetPaintWindow());
        }
    }
    ReleaseJob(job);
}

void ShowPercent(CPaintManagerUI& paintManager, DownloadJob* job, WPARAM percent) {
    // Percentages still queued from a cancelled download would repaint an idle row.
    if (job->kind != DownloadKind::Package || job->stop.load() != DownloadStop::None) return;
    if (percent > kMaxPercent) return;
    if (SkinSoftListControl* row = FindSoftwareRow(paintManager, job->cellId)) {
        row->SetDownLoadSize(static_cast<int>(percent));
    }
}

}  // namespace

TransferLimits& DownloadTransferLimits() {
    static TransferLimits limits = kDefaultTransferLimits;
    return limits;
}

SkinSoftListControl* FindSoftwareRow(CPaintManagerUI& paintManager, UINT_PTR cellId) {
    CControlUI* control = FindCellById(paintManager.GetRoot(), cellId);
    return control ? static_cast<SkinSoftListControl*>(control->GetInterface("SoftListItem")) : nullptr;
}

FileListControl* FindDocumentRow(CPaintManagerUI& paintManager, const std::string& name) {
    CControlUI* control = paintManager.FindControl(name.c_str());
    return control ? static_cast<FileListControl*>(control->GetInterface("FileListItem")) : nullptr;
}

void StartSoftwareDownload(SkinSoftListControl* control, const CatalogueContext& context) {
    if (control == nullptr || control->GetSoft() == nullptr) return;
    DuiSoft* entry = control->GetSoft();
    control->SetIsDownLoad(true);
    entry->state = Downloading;
    DownloadJob* job = NewJob(control, DownloadKind::Package, entry, entry->url, PackageDirectory(context),
                              entry->downName, context, Expected{entry->sha256, entry->bytes});
    // Counted before the worker exists, so no catalogue reload can slip in between.
    ++RunningDownloadCount();
    RegisterPackageJob(job);
    StartWorker(job, kPackageFailed);
}

void CancelSoftwareDownload(SkinSoftListControl* control) {
    if (control == nullptr || control->GetSoft() == nullptr) return;
    control->GetSoft()->state = NotDownloaded;
    control->SetIsDownLoad(false);
    control->SetDownLoadSize(0);
    CancelPackageJob(control->GetName().GetData());
}

void StartDocumentDownload(FileListControl* control, const CatalogueContext& context) {
    if (control == nullptr || control->GetFile() == nullptr) return;
    DuiFile* item = control->GetFile();
    // Keyed by the file, not the row: a folder shown anew has new rows for the same files.
    const std::string target = DocumentDirectory(context) + "\\" + item->name;
    if (IsDownloadName(item->name) && IsDocumentTargetBusy(target)) return;
    control->SetIsDownLoad(true);
    DownloadJob* job = NewJob(control, DownloadKind::Document, item, item->url, DocumentDirectory(context),
                              item->name, context, Expected{item->sha256, item->bytes});
    StartWorker(job, kDocumentFailed);
}

LRESULT OnDownloadMessage(CPaintManagerUI& paintManager, WPARAM code, LPARAM lParam) {
    // Any program can post this message: only a pointer to a live job of this one is used.
    if (!IsLiveJob(reinterpret_cast<const void*>(lParam))) return 0;
    auto* job = reinterpret_cast<DownloadJob*>(lParam);
    switch (code) {
    case kPackageDownloaded:
    case kPackageFailed:
        FinishPackage(paintManager, job, code == kPackageDownloaded);
        break;
    case kDocumentDownloaded:
    case kDocumentFailed:
        FinishDocument(paintManager, job, code == kDocumentDownloaded);
        break;
    default:
        ShowPercent(paintManager, job, code);
        break;
    }
    return 0;
}

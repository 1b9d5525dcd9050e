#include "toolbox/catalogue/download_workers.h"

#include "shared/diagnostic_log.h"
#include "toolbox/catalogue/download_registry.h"
#include "toolbox/catalogue/staged_transfer.h"

namespace {

constexpr int kPostAttempts = 200;
constexpr DWORD kPostRetryMilliseconds = 50;

// One line per download for support staff: what, where to, how it ended.
void LogDownload(const DownloadJob& job, const TransferReport& report) {
    std::string outcome = *report.refusal != '\0' ? report.refusal : DescribeTransfer(report.result, report.status);
    if (job.stop.load() == DownloadStop::Cancelled) outcome += ", cancelled";
    if (job.stop.load() == DownloadStop::Exiting) outcome += ", stopped for the program's exit";
    if (report.resumedFrom > 0) outcome += ", continued from byte " + std::to_string(report.resumedFrom);
    const char* result = report.complete ? "complete" : (report.partialKept ? "partial file kept" : "no file");
    LogLine("%s download %s into %s: %s; %s", job.kind == DownloadKind::Package ? "package" : "document",
            job.url.c_str(), job.targetPath.empty() ? "(nowhere)" : job.targetPath.c_str(), outcome.c_str(), result);
}

void RunWorker(DownloadJob* job, WPARAM successCode, WPARAM failureCode) {
    const TransferReport report = RunStagedTransfer(*job);
    LogDownload(*job, report);
    PostFinalCode(job, report.complete ? successCode : failureCode);
    // The job may be gone now; the program's exit waits for this count.
    WorkerEnded();
}

}  // namespace

bool TryPostFinalCode(DownloadJob* job, WPARAM code) {
    // Without a window a post would land in this thread's own queue and be lost.
    return job->window != nullptr && ::PostMessageA(job->window, WM_USER, code, reinterpret_cast<LPARAM>(job));
}

void PostFinalCode(DownloadJob* job, WPARAM code) {
    // A full queue refuses a post for a moment; a window that is gone refuses it for good.
    for (int attempt = 0; job->window != nullptr && attempt < kPostAttempts; ++attempt) {
        if (TryPostFinalCode(job, code)) return;
        if (!::IsWindow(job->window)) break;
        ::Sleep(kPostRetryMilliseconds);
    }
    ReleaseUndeliveredJob(job);
}

DWORD WINAPI SoftwareDownloadWorker(LPVOID parameter) {
    RunWorker(static_cast<DownloadJob*>(parameter), kPackageDownloaded, kPackageFailed);
    return 0;
}

DWORD WINAPI DocumentDownloadWorker(LPVOID parameter) {
    RunWorker(static_cast<DownloadJob*>(parameter), kDocumentDownloaded, kDocumentFailed);
    return 0;
}

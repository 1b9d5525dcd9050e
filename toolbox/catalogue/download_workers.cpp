#include "toolbox/catalogue/download_workers.h"

#include "shared/diagnostic_log.h"
#include "toolbox/catalogue/staged_transfer.h"
#include "toolbox/catalogue/worker_results.h"

namespace {

// One line per download for support staff: what, where to, how it ended.
void LogDownload(const DownloadJob& job, const TransferReport& report) {
    std::string outcome = *report.refusal != '\0' ? report.refusal : DescribeTransfer(report.result, report.status);
    if (job.stop.load() == DownloadStop::Cancelled) outcome += ", cancelled";
    if (job.stop.load() == DownloadStop::Exiting) outcome += ", stopped for the program's exit";
    if (report.resumedFrom > 0) outcome += ", continued from byte " + std::to_string(report.resumedFrom);
    if (*report.verdict != '\0') outcome += std::string(", not taken: ") + report.verdict;
    if (job.Verified() && report.complete) outcome += ", verified against the signed catalogue";
    const char* result = report.complete ? "complete" : (report.partialKept ? "partial file kept" : "no file");
    LogLine("%s download %s into %s: %s; %s", job.kind == DownloadKind::Package ? "package" : "document",
            job.url.c_str(), job.targetPath.empty() ? "(nowhere)" : job.targetPath.c_str(), outcome.c_str(), result);
}

}  // namespace

void RunDownload(DownloadJob* job) {
    const bool package = job->kind == DownloadKind::Package;
    const TransferReport report = RunStagedTransfer(*job);
    LogDownload(*job, report);
    // The job may be gone after this.
    PostDownloadCode(job, report.complete ? (package ? kPackageDownloaded : kDocumentDownloaded)
                                          : (package ? kPackageFailed : kDocumentFailed));
}

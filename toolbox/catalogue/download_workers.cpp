#include "toolbox/catalogue/download_workers.h"

#include "shared/files.h"
#include "shared/unique_handle.h"
#include "toolbox/catalogue/download_registry.h"

#include <cstdio>
#include <mutex>

namespace {

constexpr long kMaxRedirects = 5;
// With libcurl's 16 KB receive blocks and the C runtime's small file buffer, every block
// costs a socket read and a file write, and each of those is a trip through Wine's server:
// a 200 MB package then downloads at a quarter or less of the rate these sizes give
// (scripts/bench-catalogue). 512 KB is the largest receive block libcurl takes.
constexpr size_t kFileBufferBytes = 256 * 1024;
constexpr long kReceiveBufferBytes = 512 * 1024;
constexpr int kPostAttempts = 200;
constexpr DWORD kPostRetryMilliseconds = 50;

using TransferOptions = void (*)(CURL* easy, DownloadJob* job);

// Two workers making the same missing folder at once would let the later one fail and
// show the error box although the folder exists; one at a time, the later one finds it.
bool MakeTargetDirectory(const std::string& directory) {
    static std::mutex serialise;
    std::lock_guard<std::mutex> hold(serialise);
    return MakeDirectory(directory);
}

// The transfer of one job into its target file; true when libcurl reported no error and
// the file was closed without one.
bool RunTransfer(DownloadJob* job, TransferOptions setOptions) {
    if (job->targetPath.empty()) return false;  // the server named no plain file
    UniqueEasyHandle easy(curl_easy_init());
    if (!easy) return false;
    if (!MakeTargetDirectory(job->directory)) return false;
    UniqueStdioFile file(std::fopen(job->targetPath.c_str(), "wb"));
    if (!file) return false;
    std::setvbuf(file.get(), nullptr, _IOFBF, kFileBufferBytes);
    job->file = file.get();
    setOptions(easy.get(), job);
    ApplyTransferLimits(easy.get());
    const CURLcode result = curl_easy_perform(easy.get());
    job->file = nullptr;
    easy.reset();
    const bool closed = std::fclose(file.release()) == 0;
    return result == CURLE_OK && closed;
}

void SetPackageOptions(CURL* easy, DownloadJob* job) {
    curl_easy_setopt(easy, CURLOPT_URL, job->url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, CancellableWriteCallback);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, job);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_PROGRESSFUNCTION, PackageProgressCallback);
    curl_easy_setopt(easy, CURLOPT_PROGRESSDATA, job);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kDownloadUserAgent);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
}

// Documents show no progress and do not follow redirects.
void SetDocumentOptions(CURL* easy, DownloadJob* job) {
    curl_easy_setopt(easy, CURLOPT_URL, job->url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, WriteFileCallback);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, static_cast<TransferContext*>(job));
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, kDownloadUserAgent);
}

}  // namespace

size_t CancellableWriteCallback(char* data, size_t size, size_t count, void* userdata) {
    auto* job = static_cast<DownloadJob*>(userdata);
    if (job->file == nullptr || job->state.load() == NotDownloaded) return 0;
    return std::fwrite(data, size, count, job->file);
}

int PackageProgressCallback(void* userdata, double dltotal, double dlnow, double ultotal, double ulnow) {
    auto* job = static_cast<DownloadJob*>(userdata);
    if (dltotal > -0.1 && dltotal < 0.1) return 0;
    const int percent = static_cast<int>(dlnow / dltotal * 100.0);
    if (percent == job->lastPercent) return 0;
    job->lastPercent = percent;
    return ProgressCallback(userdata, dltotal, dlnow, ultotal, ulnow);
}

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
    auto* job = static_cast<DownloadJob*>(parameter);
    const bool downloaded = RunTransfer(job, SetPackageOptions);
    PostFinalCode(job, downloaded ? kPackageDownloaded : kPackageFailed);
    return 0;
}

DWORD WINAPI DocumentDownloadWorker(LPVOID parameter) {
    auto* job = static_cast<DownloadJob*>(parameter);
    const bool downloaded = RunTransfer(job, SetDocumentOptions);
    PostFinalCode(job, downloaded ? kDocumentDownloaded : kDocumentFailed);
    return 0;
}

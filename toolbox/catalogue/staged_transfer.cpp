#include "toolbox/catalogue/staged_transfer.h"

#include "shared/cng.h"
#include "shared/diagnostic_log.h"
#include "shared/files.h"
#include "shared/proxy_transfer.h"
#include "shared/sha256.h"
#include "shared/unique_handle.h"
#include "toolbox/catalogue/download_files.h"
#include "toolbox/catalogue/download_registry.h"
#include "toolbox/catalogue/package_records.h"
#include "toolbox/catalogue/worker_results.h"

#include <fcntl.h>
#include <io.h>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace {

constexpr long kMaxRedirects = 5;
// With libcurl's 16 KB receive blocks and the C runtime's small file buffer, every block
// costs a socket read and a file write, and each of those is a trip through Wine's server:
// a 200 MB package then downloads at a quarter or less of the rate these sizes give
// (scripts/bench-catalogue). 512 KB is the largest receive block libcurl takes.
constexpr size_t kFileBufferBytes = 256 * 1024;
constexpr long kReceiveBufferBytes = 512 * 1024;
// A continuation the server cannot give (416, another file's bytes) starts over once.
constexpr int kAttempts = 2;

// The response being received; a redirect's headers give way to the next response's.
struct ResponseHead {
    long status = 0;
    std::string etag;
    long long rangeStart = -1;     // first byte of a 206, from Content-Range
    long long contentLength = -1;  // from Content-Length, when sent
};

enum class BodyRefused { No, ErrorPage, OtherBytes, LocalFile, TooLong, WrongLength };

struct Transfer {
    Transfer(DownloadJob* job, DownloadFiles files, bool resumable)
        : job(job), files(std::move(files)), resumable(resumable) {}

    DownloadJob* job;
    DownloadFiles files;
    bool resumable;
    long long offset = 0;  // bytes of the partial file this request continues
    std::string sentTag;   // sent as If-Range; empty when starting afresh
    ResponseHead head;
    UniqueStdioFile file;
    HANDLE handle = INVALID_HANDLE_VALUE;  // the file's own, owned by it
    bool bodyStarted = false;
    BodyRefused refused = BodyRefused::No;
    // A verified job's: every byte of the partial file, the kept ones first, and their count.
    std::optional<Sha256Hasher> hasher;
    long long fileBytes = 0;
};

const char* DescribeRefusal(BodyRefused refused) {
    switch (refused) {
    case BodyRefused::TooLong:
        return "more bytes arrived than the catalogue names";
    case BodyRefused::WrongLength:
        return "the reply's length is not the one the catalogue names";
    case BodyRefused::OtherBytes:
        return "the continuation was of other bytes";
    case BodyRefused::LocalFile:
        return "the file could not be written";
    default:
        return "";
    }
}

// The partial file through a handle of its own that lets nobody else write it until it
// is closed (after its rename, for a complete file), wrapped in a C runtime stream. With
// append, the kept bytes are read through it into the hasher first, when there is one,
// and counted; false when the file cannot be opened or read.
bool OpenPartialFile(Transfer& transfer, bool append) {
    HANDLE handle = ::CreateFileA(transfer.files.partialPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, append ? OPEN_EXISTING : CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | (append ? _O_APPEND : 0));
    if (descriptor < 0) {
        ::CloseHandle(handle);
        return false;
    }
    transfer.file.reset(_fdopen(descriptor, append ? "ab" : "wb"));
    if (!transfer.file) {
        _close(descriptor);
        return false;
    }
    transfer.handle = handle;
    transfer.fileBytes = 0;
    if (!append) return true;
    if (transfer.hasher) {
        std::vector<char> block(kFileBufferBytes);
        for (;;) {
            DWORD got = 0;
            if (!::ReadFile(handle, block.data(), static_cast<DWORD>(block.size()), &got, nullptr)) return false;
            if (got == 0) break;
            transfer.hasher->Add(block.data(), got);
            transfer.fileBytes += got;
        }
    } else {
        LARGE_INTEGER size{};
        if (!::GetFileSizeEx(handle, &size)) return false;
        transfer.fileBytes = size.QuadPart;
    }
    return std::fseek(transfer.file.get(), 0, SEEK_END) == 0;
}

bool IsSuccess(long status) { return status >= 200 && status < 300; }

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The value of a "Name: value" line when the name matches, letter case ignored.
bool HeaderValue(const std::string& line, const char* name, std::string* value) {
    const size_t length = std::strlen(name);
    if (line.size() <= length || line[length] != ':' || _strnicmp(line.c_str(), name, length) != 0) return false;
    *value = Trimmed(line.substr(length + 1));
    return true;
}

size_t ReceiveHeader(char* data, size_t size, size_t count, void* userdata) {
    auto* transfer = static_cast<Transfer*>(userdata);
    const std::string line = Trimmed(std::string(data, size * count));
    std::string value;
    if (line.compare(0, 5, "HTTP/") == 0) {
        transfer->head = ResponseHead{};
        const size_t space = line.find(' ');
        if (space != std::string::npos) transfer->head.status = std::strtol(line.c_str() + space + 1, nullptr, 10);
    } else if (HeaderValue(line, "ETag", &value)) {
        transfer->head.etag = value;
    } else if (HeaderValue(line, "Content-Range", &value)) {
        if (value.compare(0, 6, "bytes ") == 0 && std::isdigit(static_cast<unsigned char>(value[6]))) {
            transfer->head.rangeStart = std::strtoll(value.c_str() + 6, nullptr, 10);
        }
    } else if (HeaderValue(line, "Content-Length", &value)) {
        if (!value.empty() && value.find_first_not_of("0123456789") == std::string::npos && value.size() < 19) {
            transfer->head.contentLength = std::strtoll(value.c_str(), nullptr, 10);
        }
    }
    return size * count;
}

// At the first byte of the final response: where its bytes go, if anywhere.
bool StartBody(Transfer& transfer) {
    transfer.bodyStarted = true;
    const ResponseHead& head = transfer.head;
    if (head.status == 206) {
        // Only the continuation asked for, of the bytes already kept, may be appended.
        if (transfer.sentTag.empty() || head.rangeStart != transfer.offset ||
            (!head.etag.empty() && head.etag != transfer.sentTag)) {
            transfer.refused = BodyRefused::OtherBytes;
            return false;
        }
        if (!OpenPartialFile(transfer, true)) {
            transfer.refused = BodyRefused::LocalFile;
            return false;
        }
        // What lies there must still be what the range continues.
        if (transfer.fileBytes != transfer.offset) {
            transfer.refused = BodyRefused::OtherBytes;
            return false;
        }
    } else if (IsSuccess(head.status)) {
        // The whole file: what was kept goes, and the new bytes get their own validator
        // before the first of them is written.
        transfer.offset = 0;
        DiscardPartial(transfer.files);
        if (transfer.resumable && IsStrongTag(head.etag) &&
            !SaveValidator(transfer.files, transfer.job->url, head.etag)) {
            std::remove(transfer.files.validatorPath.c_str());
        }
        if (transfer.hasher) transfer.hasher.emplace();  // the kept bytes no longer count
        if (!OpenPartialFile(transfer, false)) {
            transfer.refused = BodyRefused::LocalFile;
            return false;
        }
    } else {
        transfer.refused = BodyRefused::ErrorPage;  // an error page is not the file asked for
        return false;
    }
    // A reply that announces another length than the catalogue's is not its file.
    const DownloadJob& job = *transfer.job;
    if (job.Verified() && head.contentLength >= 0 && transfer.offset + head.contentLength != job.expectedBytes) {
        transfer.refused =
            transfer.offset + head.contentLength > job.expectedBytes ? BodyRefused::TooLong : BodyRefused::WrongLength;
        return false;
    }
    std::setvbuf(transfer.file.get(), nullptr, _IOFBF, kFileBufferBytes);
    return true;
}

// A complete transfer: flushed to the disk and, for a verified job, checked against the
// catalogue; then renamed into place while its handle still denies other writers, and a
// verified package recorded. The file is closed; false when it did not take its name.
bool FinishFile(Transfer& transfer, TransferReport& report) {
    const DownloadJob& job = *transfer.job;
    bool taken = std::fflush(transfer.file.get()) == 0 && ::FlushFileBuffers(transfer.handle) != 0;
    if (!taken) report.verdict = "the file could not be written to the disk";
    if (taken && job.Verified()) {
        const std::string digest = LowerHex(transfer.hasher->Finish().value_or(""));
        if (transfer.fileBytes != job.expectedBytes) {
            report.verdict = "its length is not the one the catalogue names";
            taken = false;
        } else if (digest != job.expectedSha256) {
            report.verdict = "its SHA-256 is not the one the catalogue names";
            taken = false;
        }
    }
    taken = taken && MoveIntoPlace(transfer.files.partialPath, transfer.files.finalPath);
    const std::string name = transfer.files.finalPath.substr(job.directory.size() + 1);
    const bool recorded = taken && job.Verified() && job.kind == DownloadKind::Package;
    if (recorded) {
        // The stream still holds the file, so nobody else can have written it since it was checked.
        if (!RecordVerifiedPackage(job.directory, name, job.expectedSha256)) {
            LogLine("the verified package %s could not be recorded: its first start hashes it again",
                    transfer.files.finalPath.c_str());
        }
    }
    const bool closed = std::fclose(transfer.file.release()) == 0;
    transfer.handle = INVALID_HANDLE_VALUE;
    if (taken && !closed) {
        // Whatever the stream still held did not reach the file: it cannot stay under its name.
        report.verdict = "the file could not be written";
        std::remove(transfer.files.finalPath.c_str());
        if (recorded) ForgetPackage(job.directory, name);
        taken = false;
    }
    if (taken) {
        std::remove(transfer.files.validatorPath.c_str());
    } else {
        DiscardPartial(transfer.files);
    }
    return taken;
}

// Two workers making the same missing folder at once would let the later one fail and
// show the error box although the folder exists; one at a time, the later one finds it.
// The box is the window thread's, owned by the main window.
bool MakeTargetDirectory(const std::string& directory) {
    static std::mutex serialise;
    std::lock_guard<std::mutex> hold(serialise);
    if (EnsureDirectory(directory)) return true;
    PostDirectoryError(directory);
    return false;
}

CURLcode Perform(Transfer& transfer, long* status) {
    UniqueEasyHandle easy(curl_easy_init());
    if (!easy) return CURLE_FAILED_INIT;
    CURL* handle = easy.get();
    curl_easy_setopt(handle, CURLOPT_URL, transfer.job->url.c_str());
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, CancellableWriteCallback);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, ReceiveHeader);
    curl_easy_setopt(handle, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
    // Documents do not follow redirects.
    if (transfer.job->kind == DownloadKind::Package) curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_PROGRESSFUNCTION, DownloadProgressCallback);
    curl_easy_setopt(handle, CURLOPT_PROGRESSDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, kDownloadUserAgent);
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    UniqueHeaderList headers;
    if (transfer.offset > 0) {
        // A plain range, not libcurl's resume, which fails when the answer is the whole file.
        curl_easy_setopt(handle, CURLOPT_RANGE, (std::to_string(transfer.offset) + "-").c_str());
        headers.reset(curl_slist_append(nullptr, ("If-Range: " + transfer.sentTag).c_str()));
        curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
    }
    ApplyTransferLimits(handle, transfer.job->transferLimits);
    const CURLcode result = PerformThroughProxy(handle, transfer.job->url);
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, status);
    return result;
}

}  // namespace

size_t CancellableWriteCallback(char* data, size_t size, size_t count, void* userdata) {
    auto* transfer = static_cast<Transfer*>(userdata);
    if (transfer->job->stop.load() != DownloadStop::None) return 0;
    if (!transfer->bodyStarted && !StartBody(*transfer)) return 0;
    if (!transfer->file || transfer->refused != BodyRefused::No) return 0;
    const long long bytes = static_cast<long long>(size * count);
    // Not one byte beyond the catalogue's length: the transfer ends here.
    if (transfer->job->Verified() && transfer->fileBytes + bytes > transfer->job->expectedBytes) {
        transfer->refused = BodyRefused::TooLong;
        return 0;
    }
    TransferContext output{transfer->file.get()};
    const size_t written = WriteFileCallback(data, size, count, &output);
    if (written != count) transfer->refused = BodyRefused::LocalFile;
    if (transfer->hasher) transfer->hasher->Add(data, written * size);
    transfer->fileBytes += static_cast<long long>(written * size);
    return written;
}

int DownloadProgressCallback(void* userdata, double dltotal, double dlnow, double, double) {
    auto* transfer = static_cast<Transfer*>(userdata);
    DownloadJob* job = transfer->job;
    // Also called while no data flows, so a stop is seen within a second even then.
    if (job->stop.load() != DownloadStop::None) return 1;
    if (job->kind != DownloadKind::Package || (dltotal > -0.1 && dltotal < 0.1)) return 0;
    // A continued file shows the whole of it: the bytes kept count as received.
    const ResponseHead& head = transfer->head;
    const double kept = head.status == 206 && head.rangeStart > 0 ? static_cast<double>(head.rangeStart) : 0.0;
    const int percent = static_cast<int>((kept + dlnow) / (kept + dltotal) * 100.0);
    // Only when the truncated value changes, so one download cannot flood the window's queue.
    if (percent == job->lastPercent) return 0;
    job->lastPercent = percent;
    PostDownloadCode(job, static_cast<WPARAM>(percent));
    return 0;
}

TransferReport RunStagedTransfer(DownloadJob& job) {
    TransferReport report;
    if (job.targetPath.empty()) {
        report.refusal = "the server's file name was refused";
        return report;
    }
    const DownloadFiles files = FilesOf(job.targetPath);
    if (FileExists(files.finalPath) && FileSizeOf(files.finalPath) < 0) {
        report.refusal = "a folder stands under the file's name";
        return report;
    }
    if (!MakeTargetDirectory(job.directory)) {
        report.refusal = "the folder could not be made";
        return report;
    }
    if (!ClaimTarget(&job)) {
        report.refusal = "stopped before it began";
        return report;
    }
    const bool resumable = job.kind == DownloadKind::Package;
    bool credentialsRenewed = false;  // the proxy's 407 earns one more try, once
    for (int attempt = 0; attempt < kAttempts + (credentialsRenewed ? 1 : 0); ++attempt) {
        Transfer transfer(&job, files, resumable);
        if (job.Verified()) transfer.hasher.emplace();
        if (resumable) {
            const ResumePoint resume = FindResumePoint(files, job.url);
            transfer.offset = resume.offset;
            transfer.sentTag = resume.tag;
        }
        if (transfer.offset == 0) DiscardPartial(files);
        report.result = Perform(transfer, &report.status);
        report.resumedFrom = transfer.offset;  // 0 again when the server sent the whole file

        const DownloadStop stop = job.stop.load();
        const bool completeReply =
            report.result == CURLE_OK && transfer.refused == BodyRefused::No && IsSuccess(report.status);
        if (stop == DownloadStop::None && completeReply) {
            // An empty body never reached the write callback: the file is empty.
            if (!transfer.bodyStarted && !OpenPartialFile(transfer, false)) {
                report.verdict = DescribeRefusal(BodyRefused::LocalFile);
                DiscardPartial(files);
                break;
            }
            report.complete = FinishFile(transfer, report);
            break;
        }
        const bool closed = !transfer.file || std::fclose(transfer.file.release()) == 0;
        if (stop != DownloadStop::None) {
            // The user's cancel throws the bytes away; the program's exit keeps a package's.
            report.partialKept = stop == DownloadStop::Exiting && resumable && FileSizeOf(files.partialPath) > 0;
            if (!report.partialKept) DiscardPartial(files);
            break;
        }
        if (transfer.refused == BodyRefused::OtherBytes || (transfer.offset > 0 && report.status == 416)) {
            DiscardPartial(files);
            continue;
        }
        report.verdict = DescribeRefusal(transfer.refused);
        if (report.status == kProxyAuthenticationRequired && !credentialsRenewed && RenewProxyCredentials()) {
            credentialsRenewed = true;
            continue;
        }
        // Only a network failure keeps the bytes: not an error page, nor a file that could not be written.
        const bool networkFailure = transfer.refused == BodyRefused::No && closed && report.status < 400;
        report.partialKept = resumable && networkFailure && FileSizeOf(files.partialPath) > 0;
        if (!report.partialKept) DiscardPartial(files);
        break;
    }
    ReleaseTarget(&job);
    return report;
}

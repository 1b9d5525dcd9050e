#include "updater/update_worker.h"

#include "shared/diagnostic_log.h"
#include "shared/file_names.h"
#include "shared/files.h"
#include "shared/md5.h"
#include "shared/process.h"
#include "shared/proxy_transfer.h"
#include "shared/sha256.h"
#include "shared/unique_handle.h"
#include "updater/process_values.h"
#include "updater/transfer_limits.h"
#include "updater/update_list.h"
#include "updater/update_signature.h"

#include <chrono>
#include <vector>

namespace {

// Receiving in larger blocks than libcurl's default of 16 KB takes far fewer receive
// calls, which are costly under Wine: a 200 MB update arrives in less than half the time.
// What arrives and where it goes stay the same.
constexpr long kReceiveBufferBytes = 512 * 1024;
// Each file comes over a connection of its own, whose receive window would otherwise
// start small and grow only as the transfer goes on; a large one from the start lets the
// server keep sending while the worker is busy writing or not scheduled.
constexpr int kSocketReceiveBufferBytes = 4 * 1024 * 1024;
// libcurl hands the body over in pieces of 16 KB; collecting them into fewer file writes
// saves about a sixth of the download time under Wine. Larger stream buffers measured slower.
constexpr size_t kFileBufferBytes = 256 * 1024;

enum class EntryResult { Verified, Skipped, Failed };

// The working copy of one entry while it downloads; the callbacks receive it.
struct EntryDownload {
    UpdateEntry entry;
    int postedPercent = -1;
    MinimumAverageSpeed minimumSpeed{0, 0};
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    bool tooSlow = false;
};

// The shared progress callback posts on every call; passing it only the calls that change
// the truncated percentage keeps a large file from flooding the window's queue.
int EntryProgressCallback(void* userdata, double dltotal, double dlnow, double ultotal, double ulnow) {
    auto* download = static_cast<EntryDownload*>(userdata);
    // libcurl calls this about once a second also while nothing arrives.
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - download->started;
    if (IsBelowAverageSpeed(download->minimumSpeed, dlnow, elapsed.count())) {
        download->tooSlow = true;
        return 1;  // ends the transfer
    }
    if (dltotal > -0.1 && dltotal < 0.1) return 0;
    const int percent = static_cast<int>(dlnow / dltotal * 100.0);
    if (percent == download->postedPercent) return 0;
    download->postedPercent = percent;
    return ProgressCallback(&download->entry, dltotal, dlnow, ultotal, ulnow);
}

int WidenReceiveWindow(void*, curl_socket_t socket, curlsocktype purpose) {
    if (purpose == CURLSOCKTYPE_IPCXN) {
        // A refusal only leaves the system's default in place.
        ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&kSocketReceiveBufferBytes),
                     sizeof(kSocketReceiveBufferBytes));
    }
    return CURL_SOCKOPT_OK;
}

void PostFinalCode(WPARAM code) {
    const HWND window = ProgressTargetWindow();
    // A queue that is full for a moment must not swallow the only final code.
    for (int attempt = 0; attempt < 500; ++attempt) {
        if (::PostMessageA(window, WM_USER, code, 0)) return;
        if (!::IsWindow(window)) return;
        ::Sleep(10);
    }
}

EntryResult Failed(const UpdateEntry& entry, const char* why) {
    LogLine("file \"%s\" failed: %s", entry.name.c_str(), why);
    return EntryResult::Failed;
}

EntryResult DownloadEntry(const UpdateEntry& listed, const std::string& tempDir, bool signedList) {
    // The updater runs as administrator: a name with a directory or drive part could
    // place a file anywhere, and a device name opens the device, so such an entry is
    // refused like a failed transfer.
    if (!IsPlainFileName(listed.name)) return Failed(listed, "not a plain file name");

    EntryDownload download{listed, -1, UpdaterLimits().fileSpeed};
    UniqueEasyHandle easy(curl_easy_init());
    if (!easy) return Failed(listed, "no transfer handle");

    const std::string path = tempDir + "\\" + listed.name;
    if (!MakeDirectory(tempDir)) {
        LogLine("file \"%s\" skipped: the folder %s cannot be created", listed.name.c_str(), tempDir.c_str());
        return EntryResult::Skipped;
    }

    std::vector<char> fileBuffer(kFileBufferBytes);  // declared first: it outlives the stream
    UniqueStdioFile file(std::fopen(path.c_str(), "wb"));
    if (!file) return Failed(listed, "the file cannot be created");
    std::setvbuf(file.get(), fileBuffer.data(), _IOFBF, fileBuffer.size());
    download.entry.file = file.get();

    TransferContext* context = &download.entry;
    curl_easy_setopt(easy.get(), CURLOPT_URL, listed.url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, WriteFileCallback);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, context);
    curl_easy_setopt(easy.get(), CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(easy.get(), CURLOPT_FOLLOWLOCATION, 1L);
    // An error page is not the file: a status of 400 or above fails the transfer.
    curl_easy_setopt(easy.get(), CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy.get(), CURLOPT_PROGRESSFUNCTION, EntryProgressCallback);
    curl_easy_setopt(easy.get(), CURLOPT_PROGRESSDATA, &download);
    curl_easy_setopt(easy.get(), CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(easy.get(), CURLOPT_SOCKOPTFUNCTION, WidenReceiveWindow);
    ApplyTransferLimits(easy.get());

    const CURLcode result = PerformThroughProxy(easy.get(), listed.url);
    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    easy.reset();
    download.entry.file = nullptr;
    // A write that fails only while the stream is flushed leaves a short file, which the
    // digest then refuses.
    file.reset();
    if (download.tooSlow) return Failed(listed, "slower than the minimum average speed");
    if (result != CURLE_OK) return Failed(listed, DescribeTransfer(result, status).c_str());

    const auto digest = FileMd5(path);
    if (!digest) return Failed(listed, "the downloaded file cannot be read back");
    if (!DigestMatches(listed.id, *digest)) return Failed(listed, "MD5 differs from the list");
    // MD5 can be forged; the signed SHA-256 cannot.
    if (signedList && FileSha256(path) != listed.sha256) return Failed(listed, "SHA-256 differs from the signed list");
    LogLine("file \"%s\" verified (%s)", listed.name.c_str(), DescribeTransfer(result, status).c_str());
    return EntryResult::Verified;
}

}  // namespace

bool DigestMatches(std::string id, const std::string& digest) {
    for (char& c : id) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return id == digest;
}

DWORD WINAPI UpdateWorker(LPVOID) {
    // A copy of its own: the worker may still run while the window thread returns from
    // the program and the process-wide values are torn down.
    const UpdaterValues values = Updater();
    std::string listBody;
    const std::vector<UpdateEntry> entries = FetchUpdateList(values.UpdateListUrl, values.TempDirectory(), &listBody);
    // A build with the maker's keys installs nothing that they did not sign.
    const bool signedList = !values.UpdateKeys.empty();
    if (signedList && !IsTrustedUpdateList(values, listBody, entries)) {
        RunProgram(values.MainProgram());
        PostFinalCode(UPDATE_ABORTED);
        return 0;
    }
    for (const UpdateEntry& entry : entries) {
        if (DownloadEntry(entry, values.TempDirectory(), signedList) == EntryResult::Failed) {
            LogLine("update abandoned: file \"%s\" did not arrive intact; starting the main program",
                    entry.name.c_str());
            RunProgram(values.MainProgram());
            PostFinalCode(UPDATE_ABORTED);
            return 0;
        }
    }
    LogLine("every file arrived; installing");
    PostFinalCode(UPDATE_FINISHED);
    return 0;
}

bool StartUpdateWorker() {
    UniqueKernelHandle thread(::CreateThread(nullptr, 0, UpdateWorker, nullptr, 0, nullptr));
    return thread.valid();
}

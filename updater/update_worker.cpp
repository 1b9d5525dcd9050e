#include "updater/update_worker.h"

#include "shared/diagnostic_log.h"
#include "shared/file_names.h"
#include "shared/files.h"
#include "shared/md5.h"
#include "shared/process.h"
#include "shared/sha256.h"
#include "shared/unique_handle.h"
#include "updater/file_receiver.h"
#include "updater/install_update.h"
#include "updater/installation.h"
#include "updater/process_values.h"
#include "updater/transfer_limits.h"
#include "updater/update_list.h"
#include "updater/update_signature.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Receiving in larger blocks than libcurl's default of 16 KB takes far fewer receive
// calls, which are costly under Wine: a 200 MB update arrives in less than half the time.
// What arrives and where it goes stay the same.
constexpr long kReceiveBufferBytes = 512 * 1024;
// A receive window that starts large lets the server keep sending while the worker is
// busy or not scheduled, instead of growing only as the transfer goes on.
constexpr int kSocketReceiveBufferBytes = 4 * 1024 * 1024;

enum class EntryResult { Verified, Current, Skipped, Failed };

// What the progress callback needs of one file's transfer.
struct EntryProgress {
    UpdateEntry entry;  // its address goes with every percentage posted
    int postedPercent = -1;
    MinimumAverageSpeed minimumSpeed{0, 0};
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    bool tooSlow = false;
};

// A worker started before its window posts nothing until the window is there.
struct WindowGate {
    std::mutex mutex;
    std::condition_variable changed;
    bool ready = true;
    bool startedEarly = false;
};

// Never destroyed: a worker may still wait on it while the program exits.
WindowGate& Gate() {
    static WindowGate* gate = new WindowGate();
    return *gate;
}

bool IsWindowReady() {
    std::lock_guard<std::mutex> lock(Gate().mutex);
    return Gate().ready;
}

void WaitForWindow() {
    std::unique_lock<std::mutex> lock(Gate().mutex);
    Gate().changed.wait(lock, [] { return Gate().ready; });
}

// The shared progress callback posts on every call; passing it only the calls that change
// the truncated percentage keeps a large file from flooding the window's queue.
int EntryProgressCallback(void* userdata, double dltotal, double dlnow, double ultotal, double ulnow) {
    auto* progress = static_cast<EntryProgress*>(userdata);
    // libcurl calls this about once a second also while nothing arrives.
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - progress->started;
    if (IsBelowAverageSpeed(progress->minimumSpeed, dlnow, elapsed.count())) {
        progress->tooSlow = true;
        return 1;  // ends the transfer
    }
    if ((dltotal > -0.1 && dltotal < 0.1) || !IsWindowReady()) return 0;
    const int percent = static_cast<int>(dlnow / dltotal * 100.0);
    if (percent == progress->postedPercent) return 0;
    progress->postedPercent = percent;
    return ProgressCallback(&progress->entry, dltotal, dlnow, ultotal, ulnow);
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
    WaitForWindow();
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

// Every file over one easy handle in turn, so libcurl keeps the connection open between them.
class FileDownloader {
public:
    explicit FileDownloader(bool signedList) : easy_(curl_easy_init()), signedList_(signedList), receiver_(signedList) {
        if (!easy_) return;
        CURL* easy = easy_.get();
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, FileReceiver::WriteCallback);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        // An error page is not the file: a status of 400 or above fails the transfer.
        curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_PROGRESSFUNCTION, EntryProgressCallback);
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
        curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, WidenReceiveWindow);
        ApplyTransferLimits(easy);
    }

    EntryResult Download(const UpdateEntry& listed, const std::string& path) {
        if (!easy_) return Failed(listed, "no transfer handle");
        if (!receiver_.Begin(path)) return Failed(listed, "the file cannot be created");
        EntryProgress progress{listed, -1, UpdaterLimits().fileSpeed};
        CURL* easy = easy_.get();
        curl_easy_setopt(easy, CURLOPT_URL, listed.url.c_str());
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, &receiver_);
        curl_easy_setopt(easy, CURLOPT_PROGRESSDATA, &progress);

        const CURLcode result = curl_easy_perform(easy);
        long status = 0;
        long connections = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &connections);
        const std::optional<ReceivedDigests> digests = receiver_.Finish(flusher_);
        if (progress.tooSlow) return Failed(listed, "slower than the minimum average speed");
        if (result != CURLE_OK) return Failed(listed, DescribeTransfer(result, status).c_str());
        if (!digests) return Failed(listed, "the file could not be written to the disk");
        if (!DigestMatches(listed.id, digests->md5)) return Failed(listed, "MD5 differs from the list");
        // MD5 can be forged; the signed SHA-256 cannot.
        if (signedList_ && digests->sha256 != listed.sha256) {
            return Failed(listed, "SHA-256 differs from the signed list");
        }
        LogLine("file \"%s\" verified (%s, %s connection)", listed.name.c_str(), DescribeTransfer(result, status).c_str(),
                connections > 0 ? "new" : "reused");
        return EntryResult::Verified;
    }

    // Whether every file downloaded so far is on the disk.
    bool Flushed() { return flusher_.Wait(); }

private:
    UniqueEasyHandle easy_;
    bool signedList_;
    DiskFlusher flusher_;  // declared before the receiver, which hands it files
    FileReceiver receiver_;
};

// Whether the file holds what the entry lists: the signed SHA-256 where the list is
// signed, else the MD5 "id".
bool HasListedContent(const std::string& path, const UpdateEntry& entry, bool signedList) {
    if (!FileExists(path)) return false;
    if (signedList) return FileSha256(path) == entry.sha256;
    const std::optional<std::string> md5 = FileMd5(path);
    return md5 && DigestMatches(entry.id, *md5);
}

// The updater runs as administrator: a name with a directory or drive part could place a
// file anywhere, and a device name opens the device, so such an entry is refused like a
// failed transfer, before anything is fetched or read.
const char* NameRefusal(const UpdateEntry& entry) {
    if (!IsPlainFileName(entry.name)) return "not a plain file name";
    if (IsInstallationWorkFile(entry.name)) return "a name the installation keeps for itself";
    return nullptr;
}

// What is there of one entry before anything is fetched.
struct EntryCheck {
    bool current = false;  // the installed copy has the listed content
    bool kept = false;     // a signed list's file that an abandoned run verified
};

// Hashing the installed copies is most of a typical update's work: two threads share it.
std::vector<EntryCheck> CheckEntries(const std::vector<UpdateEntry>& entries, const UpdaterValues& values,
                                     bool signedList) {
    std::vector<EntryCheck> checks(entries.size());
    std::atomic<size_t> next{0};
    auto check = [&] {
        for (size_t i; (i = next++) < entries.size();) {
            const UpdateEntry& entry = entries[i];
            checks[i].current = HasListedContent(values.InstallDir + "\\" + entry.name, entry, signedList);
            checks[i].kept = !checks[i].current && signedList &&
                             HasListedContent(values.TempDirectory() + "\\" + entry.name, entry, signedList);
        }
    };
    std::thread helper(check);
    check();
    helper.join();
    return checks;
}

EntryResult FetchEntry(const UpdateEntry& entry, const EntryCheck& check, const std::string& tempDir,
                       FileDownloader& downloader) {
    const std::string downloaded = tempDir + "\\" + entry.name;
    if (check.current) {
        // Neither fetched nor replaced; a copy left by an abandoned run is of no use either.
        ::DeleteFileA(downloaded.c_str());
        LogLine("file \"%s\" is current: not downloaded", entry.name.c_str());
        return EntryResult::Current;
    }
    if (!MakeDirectory(tempDir)) {
        LogLine("file \"%s\" skipped: the folder %s cannot be created", entry.name.c_str(), tempDir.c_str());
        return EntryResult::Skipped;
    }
    if (check.kept) {
        LogLine("file \"%s\" kept from an earlier run: it has the signed SHA-256", entry.name.c_str());
        return EntryResult::Verified;
    }
    return downloader.Download(entry, downloaded);
}

// A signed list lets the files an abandoned run verified stay, so that a slow line does
// not start from nothing at every logon; whatever this list does not name goes.
void KeepOnlyListedFiles(const std::string& tempDir, const std::vector<UpdateEntry>& entries) {
    WIN32_FIND_DATAA found;
    UniqueFindHandle search(::FindFirstFileA((tempDir + "\\*").c_str(), &found));
    if (!search) return;
    std::vector<std::string> files;
    std::vector<std::string> others;  // folders and links: removed, never entered
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const bool plainFile = (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
        const bool listed = std::any_of(entries.begin(), entries.end(), [&](const UpdateEntry& entry) {
            return ::_stricmp(entry.name.c_str(), name.c_str()) == 0;
        });
        if (!plainFile) {
            others.push_back(tempDir + "\\" + name);
        } else if (!listed) {
            files.push_back(tempDir + "\\" + name);
        }
    } while (::FindNextFileA(search.get(), &found));
    search.reset();
    for (const std::string& path : files) ::DeleteFileA(path.c_str());
    for (const std::string& path : others) RemoveTree(path.c_str());
}

DWORD Abandon(const UpdaterValues& values) {
    RunProgram(values.MainProgram());
    PostFinalCode(UPDATE_ABORTED);
    return 0;
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
    const std::vector<UpdateEntry> entries = FetchUpdateList(values.UpdateListUrl, &listBody);
    // A build with the maker's keys installs nothing that they did not sign.
    const bool signedList = !values.UpdateKeys.empty();
    if (!signedList) {
        // Leftovers of an abandoned run must not mix with this run's files.
        RemoveTree(values.TempDirectory().c_str());
    } else if (!IsTrustedUpdateList(values, listBody, entries)) {
        return Abandon(values);
    } else {
        KeepOnlyListedFiles(values.TempDirectory(), entries);
    }

    for (const UpdateEntry& entry : entries) {
        if (const char* refusal = NameRefusal(entry)) {
            Failed(entry, refusal);
            LogLine("update abandoned: the list names \"%s\"; starting the main program", entry.name.c_str());
            return Abandon(values);
        }
    }
    const std::vector<EntryCheck> checks = CheckEntries(entries, values, signedList);

    FileDownloader downloader(signedList);
    std::vector<std::string> verified;
    bool skipped = false;
    for (size_t i = 0; i < entries.size(); ++i) {
        const UpdateEntry& entry = entries[i];
        switch (FetchEntry(entry, checks[i], values.TempDirectory(), downloader)) {
            case EntryResult::Failed:
                LogLine("update abandoned: file \"%s\" did not arrive intact; starting the main program",
                        entry.name.c_str());
                return Abandon(values);
            case EntryResult::Skipped:
                skipped = true;
                break;
            case EntryResult::Verified:
                verified.push_back(entry.name);
                break;
            case EntryResult::Current:
                break;
        }
    }
    // A file counts as verified only once it is on the disk, ready to be moved into place.
    if (!downloader.Flushed()) {
        LogLine("update abandoned: the downloaded files could not be flushed to the disk");
        return Abandon(values);
    }
    if (entries.empty() || skipped) {
        // Nothing verified to install: the version stays as it is.
        SetVerifiedUpdate(std::nullopt);
        LogLine("no file to install");
    } else {
        SetVerifiedUpdate(verified);
        LogLine("every file arrived or is current (%zu to install); installing", verified.size());
    }
    PostFinalCode(UPDATE_FINISHED);
    return 0;
}

bool StartUpdateWorker() {
    UniqueKernelHandle thread(::CreateThread(nullptr, 0, UpdateWorker, nullptr, 0, nullptr));
    return thread.valid();
}

bool StartUpdateWorkerBeforeWindow() {
    {
        std::lock_guard<std::mutex> lock(Gate().mutex);
        Gate().ready = false;
        Gate().startedEarly = true;
    }
    return StartUpdateWorker();
}

void UpdateWindowReady() {
    bool started;
    {
        std::lock_guard<std::mutex> lock(Gate().mutex);
        started = std::exchange(Gate().startedEarly, false);
        Gate().ready = true;
    }
    Gate().changed.notify_all();
    if (!started) StartUpdateWorker();
}

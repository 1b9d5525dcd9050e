#include "updater/file_downloader.h"

#include "shared/diagnostic_log.h"
#include "shared/proxy_transfer.h"
#include "updater/frame_receiver.h"
#include "updater/transfer_limits.h"
#include "updater/update_worker.h"
#include "updater/worker_gate.h"

#include <chrono>

namespace {

// Receiving in larger blocks than libcurl's default of 16 KB takes far fewer receive
// calls, which are costly under Wine: a 200 MB update arrives in less than half the time.
// What arrives and where it goes stay the same.
constexpr long kReceiveBufferBytes = 512 * 1024;
// A receive window that starts large lets the server keep sending while the worker is
// busy or not scheduled, instead of growing only as the transfer goes on.
constexpr int kSocketReceiveBufferBytes = 4 * 1024 * 1024;

// What the progress callback needs of one file's transfer.
class EntryProgress {
public:
    EntryProgress(const UpdateEntry& listed, const MinimumAverageSpeed& minimumSpeed)
        : m_entry(listed), m_minimumSpeed(minimumSpeed) {
        // Only a change of the truncated percentage is posted, so that a large file cannot
        // flood the window's queue; the entry's address goes with it.
        m_report = [this](int percent) {
            if (percent == m_postedPercent) return;
            m_postedPercent = percent;
            PostPercent(percent, &m_entry);
        };
    }
    EntryProgress(const EntryProgress&) = delete;
    EntryProgress& operator=(const EntryProgress&) = delete;

    // libcurl calls this about once a second also while nothing arrives.
    int Update(double dltotal, double dlnow, double ultotal, double ulnow) {
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - m_started;
        if (IsBelowAverageSpeed(m_minimumSpeed, dlnow, elapsed.count())) {
            m_tooSlow = true;
            return 1;  // ends the transfer
        }
        if (!IsUpdateWindowReady()) return 0;
        return ProgressCallback(&m_report, dltotal, dlnow, ultotal, ulnow);
    }
    bool TooSlow() const { return m_tooSlow; }

private:
    UpdateEntry m_entry;
    MinimumAverageSpeed m_minimumSpeed;
    std::chrono::steady_clock::time_point m_started = std::chrono::steady_clock::now();
    int m_postedPercent = -1;
    bool m_tooSlow = false;
    TransferProgress m_report;
};

int EntryProgressCallback(void* userdata, double dltotal, double dlnow, double ultotal, double ulnow) {
    return static_cast<EntryProgress*>(userdata)->Update(dltotal, dlnow, ultotal, ulnow);
}

int WidenReceiveWindow(void*, curl_socket_t socket, curlsocktype purpose) {
    if (purpose == CURLSOCKTYPE_IPCXN) {
        // A refusal only leaves the system's default in place.
        ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&kSocketReceiveBufferBytes),
                     sizeof(kSocketReceiveBufferBytes));
    }
    return CURL_SOCKOPT_OK;
}

}  // namespace

bool EntryFailed(const UpdateEntry& entry, const char* why) {
    LogLine("file \"%s\" failed: %s", entry.name.c_str(), why);
    return false;
}

FileDownloader::FileDownloader(bool signedList)
    : m_easy(curl_easy_init()), m_signedList(signedList) {
    if (!m_easy) return;
    CURL* easy = m_easy.get();
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, FileReceiver::WriteCallback);
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    // An error page is not the file: a status of 400 or above fails the transfer.
    curl_easy_setopt(easy, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_PROGRESSFUNCTION, EntryProgressCallback);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(easy, CURLOPT_SOCKOPTFUNCTION, WidenReceiveWindow);
    ApplyTransferLimits(easy, UpdaterLimits().transfer);
}

FileDownloader::Transfer FileDownloader::Perform(const UpdateEntry& listed, const std::string& url,
                                                 curl_write_callback write, void* writeData) {
    EntryProgress progress(listed, UpdaterLimits().fileSpeed);
    CURL* easy = m_easy.get();
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, write);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, writeData);
    curl_easy_setopt(easy, CURLOPT_PROGRESSDATA, &progress);

    Transfer transfer;
    transfer.result = PerformThroughProxy(easy, url);
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &transfer.status);
    curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &transfer.connections);
    transfer.digests = m_receiver.Finish(m_flusher);
    transfer.tooSlow = progress.TooSlow();
    return transfer;
}

bool FileDownloader::Download(const UpdateEntry& listed, const std::string& path) {
    if (!m_easy) return EntryFailed(listed, "no transfer handle");
    if (!m_receiver.Begin(path, listed.bytes)) return EntryFailed(listed, "the file cannot be created");
    const Transfer transfer = Perform(listed, listed.url, FileReceiver::WriteCallback, &m_receiver);
    const CURLcode result = transfer.result;
    const long status = transfer.status;
    const std::optional<ReceivedDigests>& digests = transfer.digests;
    if (transfer.tooSlow) return EntryFailed(listed, "slower than the minimum average speed");
    if (m_receiver.OverLength()) return EntryFailed(listed, "more bytes arrived than the list names");
    if (result != CURLE_OK) return EntryFailed(listed, DescribeTransfer(result, status).c_str());
    if (!digests) return EntryFailed(listed, "the file could not be written to the disk");
    if (listed.bytes && digests->bytes != *listed.bytes) {
        LogLine("file \"%s\": %llu bytes arrived, the list names %llu", listed.name.c_str(),
                static_cast<unsigned long long>(digests->bytes), static_cast<unsigned long long>(*listed.bytes));
        return EntryFailed(listed, "its length differs from the list's");
    }
    if (!DigestMatches(listed.id, digests->md5)) return EntryFailed(listed, "MD5 differs from the list");
    // MD5 can be forged; the signed SHA-256 cannot.
    if (m_signedList && digests->sha256 != listed.sha256) {
        return EntryFailed(listed, "SHA-256 differs from the signed list");
    }
    LogLine("file \"%s\" verified (%s, %s connection)", listed.name.c_str(), DescribeTransfer(result, status).c_str(),
            transfer.connections > 0 ? "new" : "reused");
    m_arrivals.push_back({listed.name, *digests});
    return true;
}

bool FileDownloader::FrameFailed(const UpdateEntry& listed, const char* form, const char* why) {
    LogLine("file \"%s\": its %s failed: %s", listed.name.c_str(), form, why);
    // The next form writes the same path: the flusher must have let go of this attempt's file.
    m_flusher.Wait();
    return false;
}

bool FileDownloader::DownloadFrame(const UpdateEntry& listed, const FrameSource& frame, std::string_view base,
                                   const std::string& path, const char* form) {
    if (!m_easy) return FrameFailed(listed, form, "no transfer handle");
    if (!listed.bytes) return FrameFailed(listed, form, "the list names no length to decode it to");
    if (!m_receiver.Begin(path, listed.bytes)) return FrameFailed(listed, form, "the file cannot be created");
    FrameReceiver receiver(frame, *listed.bytes, base, m_receiver);
    const Transfer transfer = Perform(listed, frame.url, FrameReceiver::WriteCallback, &receiver);
    const CURLcode result = transfer.result;
    const long status = transfer.status;
    const std::optional<ReceivedDigests>& digests = transfer.digests;
    // The frame's own failure first: it is why a write callback stopped the transfer.
    if (const char* why = receiver.Finish()) return FrameFailed(listed, form, why);
    if (transfer.tooSlow) return FrameFailed(listed, form, "slower than the minimum average speed");
    if (result != CURLE_OK) return FrameFailed(listed, form, DescribeTransfer(result, status).c_str());
    if (!digests) return FrameFailed(listed, form, "the file could not be written to the disk");
    if (digests->bytes != *listed.bytes) return FrameFailed(listed, form, "it decodes to fewer bytes than the file has");
    if (!DigestMatches(listed.id, digests->md5)) return FrameFailed(listed, form, "it decodes to another MD5 than the list's");
    if (digests->sha256 != listed.sha256) return FrameFailed(listed, form, "it decodes to another SHA-256 than the signed list's");
    LogLine("file \"%s\" verified from its %s (%s, %llu bytes for %llu)", listed.name.c_str(), form,
            DescribeTransfer(result, status).c_str(), static_cast<unsigned long long>(frame.bytes),
            static_cast<unsigned long long>(*listed.bytes));
    m_arrivals.push_back({listed.name, *digests});
    return true;
}

FileRecords FileDownloader::Arrived() const {
    FileRecords arrived;
    for (const Arrival& arrival : m_arrivals) {
        if (const std::optional<FileIdentity> identity = m_flusher.FlushedIdentity(arrival.digests.flushNumber)) {
            arrived.Set(arrival.name, FileRecord{*identity, FileDigests{arrival.digests.sha256, arrival.digests.md5}});
        }
    }
    return arrived;
}

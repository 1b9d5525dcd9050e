#pragma once
// HTTP transfers through libcurl's easy interface, and the callbacks the download
// workers hand to libcurl. Nothing here knows a window: the caller hands in its limits,
// its progress and its stop, and its session where requests should share a connection.

#include "shared/unique_handle.h"

#include <curl/curl.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <string>

using UniqueEasyHandle = UniqueHandle<NullableHandleTraits<CURL*, curl_easy_cleanup>>;      // curl_easy_init
using UniqueHeaderList = UniqueHandle<NullableHandleTraits<curl_slist*, curl_slist_free_all>>;  // curl_slist_append

// Where WriteFileCallback puts a transfer's bytes: the open file and, when maxBytes is not
// zero, the cap beyond which it refuses them (a write error ends the transfer).
struct TransferContext {
    FILE* file = nullptr;
    size_t maxBytes = 0;
    size_t written = 0;
};

// Without limits a server that stops sending holds a transfer (and a window thread
// waiting on it) forever, and a download cannot even be cancelled while no data flows.
struct TransferLimits {
    long connectSeconds;
    long stallSeconds;  // the transfer ends after this long below one byte per second
};
constexpr TransferLimits kDefaultTransferLimits{15, 30};
void ApplyTransferLimits(CURL* easy, const TransferLimits& limits);

// For replies kept in memory: a server that trickles or never stops sending must neither
// hold the program nor fill its memory. Zero means no limit.
struct ReplyLimits {
    long totalSeconds;
    size_t maxBytes;
    TransferLimits transfer = kDefaultTransferLimits;  // connect and stall, as every transfer has
};

// Asked during a transfer, at every block and about once a second while no data flows:
// true ends the transfer (CURLE_ABORTED_BY_CALLBACK). Workers end this way when their
// result is no longer wanted or the program exits.
using TransferStopCheck = std::function<bool()>;

// A reply kept in memory, with what a diagnostic line needs to say why it failed.
struct HttpReply {
    std::string body;
    CURLcode result = CURLE_FAILED_INIT;
    long status = 0;  // 0 when no HTTP answer arrived
    // The Content-Encoding of the last response, or empty: libcurl is never asked to
    // decode, so a body sent with one is not the bytes a signature covers.
    std::string contentEncoding;
    // An HTTP error page is not the content asked for.
    bool Succeeded() const { return result == CURLE_OK && status < 400; }
};

// "HTTP 200", "HTTP 404", or libcurl's error text (with the status when one arrived).
std::string DescribeTransfer(CURLcode result, long status);

// One connection for requests made one after another: libcurl keeps it in the easy
// handle, so a server over https costs one TLS handshake rather than one per request.
// One request at a time; between requests a session may pass to another thread.
class HttpSession {
public:
    // The handle for the next request: created at the first, else its options reset and its
    // connection kept. A request holds it itself, so a process-wide session destroyed at
    // exit does not pull it from under a worker's request. Null when none can be made.
    std::shared_ptr<UniqueEasyHandle> Next();

private:
    std::shared_ptr<UniqueEasyHandle> m_easy;
};

// The body as received, whatever the HTTP status (an error page is a body too), and the
// outcome; the body is empty when the transfer failed. The transfer limits apply, and the
// reply limits on top. A failure also writes "curl_easy_perform() failed: <reason>" to
// the standard error stream. Without a session the request has a connection of its own.
HttpReply HttpGetString(const std::string& url, const ReplyLimits& limits, const TransferStopCheck& stop = {},
                        HttpSession* session = nullptr);

// A transfer into a file has no total time limit (a large file on a slow line would never
// arrive), but a server that keeps it alive with a byte now and then must not hold it for
// ever: after graceSeconds the average rate must stay at bytesPerSecond or above.
struct MinimumAverageSpeed {
    double bytesPerSecond;
    double graceSeconds;
};
bool IsBelowAverageSpeed(const MinimumAverageSpeed& minimum, double bytes, double seconds);

// Hears a transfer's progress: the truncated percentage received, once the total is known.
using TransferProgress = std::function<void(int percent)>;

// True when the file already holds more than 1000 bytes, or when the transfer ended
// without a libcurl error and an HTTP status below 400. The body is staged beside the file
// and takes its name only when complete: a failure leaves no file, and no error page.
// transferResult, when given, receives libcurl's result (CURLE_OK when nothing was fetched).
// The reply limits bound the transfer's time and the file's size; stop can end it early.
bool HttpDownloadIfMissing(const std::string& url, const std::string& path, CURLcode* transferResult = nullptr,
                           const ReplyLimits& limits = {}, const TransferStopCheck& stop = {});

// userdata: the std::string that collects the body.
size_t WriteStringCallback(char* data, size_t size, size_t count, void* userdata);
// userdata: a TransferContext; returns fwrite's item count, or 0 without a file or beyond the cap.
size_t WriteFileCallback(char* data, size_t size, size_t count, void* userdata);
// userdata: a TransferProgress, told the truncated percentage once the total is known;
// never stops the transfer.
int ProgressCallback(void* userdata, double dltotal, double dlnow, double ultotal, double ulnow);

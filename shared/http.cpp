#include "shared/http.h"

#include "shared/files.h"
#include "shared/proxy_transfer.h"

#include <io.h>

#include <cstring>

namespace {

int AskStopCheck(void* userdata, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return (*static_cast<const TransferStopCheck*>(userdata))() ? 1 : 0;
}

void ApplyReplyLimits(CURL* easy, const ReplyLimits& limits, const TransferStopCheck& stop) {
    if (limits.totalSeconds > 0) curl_easy_setopt(easy, CURLOPT_TIMEOUT, limits.totalSeconds);
    if (limits.maxBytes > 0) curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    if (stop) {
        curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, AskStopCheck);
        curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &stop);
    }
}

// The body as it arrives, refused beyond the cap.
struct CappedBody {
    std::string text;
    size_t maxBytes;
};

size_t WriteCappedCallback(char* data, size_t size, size_t count, void* userdata) {
    auto* body = static_cast<CappedBody*>(userdata);
    const size_t bytes = size * count;
    if (body->maxBytes != 0 && body->text.size() + bytes > body->maxBytes) return 0;  // a write error ends it
    body->text.append(data, bytes);
    return bytes;
}

// The Content-Encoding of the response being received; a redirect's or an interim
// response's headers give way to the next response's.
size_t ReceiveReplyHeader(char* data, size_t size, size_t count, void* userdata) {
    auto* encoding = static_cast<std::string*>(userdata);
    const size_t bytes = size * count;
    std::string line(data, bytes);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    static constexpr char kName[] = "content-encoding:";
    if (line.compare(0, 5, "HTTP/") == 0) {
        encoding->clear();
    } else if (line.size() >= sizeof(kName) - 1 && _strnicmp(line.c_str(), kName, sizeof(kName) - 1) == 0) {
        const size_t first = line.find_first_not_of(" \t", sizeof(kName) - 1);
        *encoding = first == std::string::npos ? std::string() : line.substr(first);
    }
    return bytes;
}

}  // namespace

void ApplyTransferLimits(CURL* easy, const TransferLimits& limits) {
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
}

size_t WriteStringCallback(char* data, size_t size, size_t count, void* userdata) {
    static_cast<std::string*>(userdata)->append(data, size * count);
    return size * count;
}

size_t WriteFileCallback(char* data, size_t size, size_t count, void* userdata) {
    auto* context = static_cast<TransferContext*>(userdata);
    if (context == nullptr || context->file == nullptr) return 0;  // ends the transfer as a write error
    if (context->maxBytes != 0 && context->written + size * count > context->maxBytes) return 0;
    const size_t items = std::fwrite(data, size, count, context->file);
    context->written += items * size;
    return items;
}

int ProgressCallback(void* userdata, double dltotal, double dlnow, double, double) {
    if (dltotal > -0.1 && dltotal < 0.1) return 0;
    const auto& progress = *static_cast<const TransferProgress*>(userdata);
    if (progress) progress(static_cast<int>(dlnow / dltotal * 100.0));
    return 0;
}

std::string DescribeTransfer(CURLcode result, long status) {
    const std::string http = "HTTP " + std::to_string(status);
    if (result == CURLE_OK || result == CURLE_HTTP_RETURNED_ERROR) return http;
    const std::string error = curl_easy_strerror(result);
    return status != 0 ? error + ", " + http : error;
}

std::shared_ptr<UniqueEasyHandle> HttpSession::Next() {
    if (m_easy && *m_easy) {
        curl_easy_reset(m_easy->get());
    } else {
        m_easy = std::make_shared<UniqueEasyHandle>(curl_easy_init());
    }
    return *m_easy ? m_easy : nullptr;
}

HttpReply HttpGetString(const std::string& url, const ReplyLimits& limits, const TransferStopCheck& stop,
                        HttpSession* session) {
    HttpReply reply;
    const std::shared_ptr<UniqueEasyHandle> held =
        session != nullptr ? session->Next() : std::make_shared<UniqueEasyHandle>(curl_easy_init());
    if (!held || !*held) return reply;
    const UniqueEasyHandle& easy = *held;
    CappedBody body{std::string(), limits.maxBytes};
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, WriteCappedCallback);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(easy.get(), CURLOPT_HEADERFUNCTION, ReceiveReplyHeader);
    curl_easy_setopt(easy.get(), CURLOPT_HEADERDATA, &reply.contentEncoding);
    ApplyTransferLimits(easy.get(), limits.transfer);
    ApplyReplyLimits(easy.get(), limits, stop);
    curl_easy_setopt(easy.get(), CURLOPT_VERBOSE, 1L);
    reply.result = PerformThroughProxy(easy.get(), url);
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &reply.status);
    if (reply.status == kProxyAuthenticationRequired && RenewProxyCredentials()) {
        body.text.clear();
        reply.contentEncoding.clear();
        reply.result = PerformThroughProxy(easy.get(), url);
        curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &reply.status);
    }
    if (reply.result != CURLE_OK) std::fprintf(stderr, "curl_easy_perform() failed: %s\n", curl_easy_strerror(reply.result));
    if (reply.result == CURLE_OK) reply.body = std::move(body.text);
    return reply;
}

bool IsBelowAverageSpeed(const MinimumAverageSpeed& minimum, double bytes, double seconds) {
    return seconds > minimum.graceSeconds && bytes < minimum.bytesPerSecond * seconds;
}

bool HttpDownloadIfMissing(const std::string& url, const std::string& path, CURLcode* transferResult,
                           const ReplyLimits& limits, const TransferStopCheck& stop) {
    CURLcode ignored = CURLE_OK;
    CURLcode& outcome = transferResult != nullptr ? *transferResult : ignored;
    outcome = CURLE_OK;
    // The attributes, not a directory search, which would take a "*" in the name as a pattern.
    if (FileSizeOf(path) > 1000) return true;
    UniqueEasyHandle easy(curl_easy_init());
    if (!easy) return false;
    const std::string staging = StagingPathOf(path);
    UniqueStdioFile file(std::fopen(staging.c_str(), "wb"));
    if (!file) return false;
    TransferContext target{file.get(), limits.maxBytes};
    curl_easy_setopt(easy.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, WriteFileCallback);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &target);
    ApplyTransferLimits(easy.get(), limits.transfer);
    ApplyReplyLimits(easy.get(), limits, stop);
    CURLcode result = PerformThroughProxy(easy.get(), url);
    long status = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status == kProxyAuthenticationRequired && RenewProxyCredentials() && std::fflush(file.get()) == 0 &&
        std::fseek(file.get(), 0, SEEK_SET) == 0 && _chsize_s(_fileno(file.get()), 0) == 0) {
        target.written = 0;
        result = PerformThroughProxy(easy.get(), url);
        curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    }
    outcome = result;
    easy.reset();
    const bool closed = std::fclose(file.release()) == 0;
    if (result == CURLE_OK && status < 400 && closed && MoveIntoPlace(staging, path)) return true;
    std::remove(staging.c_str());
    return false;
}

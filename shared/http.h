#pragma once
// HTTP transfers through libcurl's easy interface, and the callbacks the download
// workers hand to libcurl.

#include <windows.h>
#include <curl/curl.h>

#include <cstdio>
#include <memory>
#include <string>

struct EasyHandleCleanup {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using UniqueEasyHandle = std::unique_ptr<CURL, EasyHandleCleanup>;

// Every download record begins with this, so the shared write callback reaches its output file.
struct TransferContext {
    FILE* file = nullptr;
};

// Without limits a server that stops sending holds a transfer (and a window thread
// waiting on it) forever, and a download cannot even be cancelled while no data flows.
struct TransferLimits {
    long connectSeconds;
    long stallSeconds;  // the transfer ends after this long below one byte per second
};
constexpr TransferLimits kDefaultTransferLimits{15, 30};
void SetTransferLimits(TransferLimits limits);
TransferLimits CurrentTransferLimits();
void ApplyTransferLimits(CURL* easy);

// The window that receives WM_USER progress and completion codes from workers.
void SetProgressTargetWindow(HWND window);
HWND ProgressTargetWindow();

// The body as received, whatever the HTTP status; empty when nothing arrived.
std::string HttpGetString(const std::string& url);

// True when the file already holds more than 1000 bytes, or when the transfer into it
// ended without a libcurl error; false when the file cannot be created.
bool HttpDownloadIfMissing(const std::string& url, const std::string& path);

// userdata: the std::string that collects the body.
size_t WriteStringCallback(char* data, size_t size, size_t count, void* userdata);
// userdata: a TransferContext (or a record beginning with one).
size_t WriteFileCallback(char* data, size_t size, size_t count, void* userdata);
// Posts the truncated percentage once the total is known; never stops the transfer.
int ProgressCallback(void* userdata, double dltotal, double dlnow, double ultotal, double ulnow);

#pragma once
// One running download of a package or document, and the codes its worker hands the main
// window with the job through the queue of worker results (worker_results.h). A WM_USER
// message to the main window carries the same pair: wParam the code, lParam the job.

#include "shared/http.h"
#include "skin/catalogue_records.h"

#include <atomic>
#include <cstdint>
#include <string>

inline constexpr char kDownloadUserAgent[] = "Mozilla/5.0(compatible;MSIE 10.0;Windows NT 6.1; WOW64; Trident/6.0)";

// Final codes; 0 to 100 are percentages of a package transfer.
enum DownloadCode : WPARAM {
    kPackageDownloaded = 888,
    kPackageFailed = 999,
    kDocumentDownloaded = 1888,
    kDocumentFailed = 1999,
};

enum class DownloadKind { Package, Document };

// Why a worker is to stop. A cancel by the user throws the partial file away; stopping for
// the program's exit keeps a package's partial file for the next download to resume.
enum class DownloadStop { None, Cancelled, Exiting };

// Owned by its worker until the final code is posted, then by the window, which frees it.
// The window accepts only jobs the registry knows as alive (download_registry.h).
struct DownloadJob {
    HWND window = nullptr;     // the main window when the download started
    void* record = nullptr;    // the row's DuiSoft or DuiFile when the download started
    std::string controlName;   // finds the row again; the row may be gone by the end
    UINT_PTR cellId = 0;       // a software row's id (cell_grid.h), by which its codes find it
    DownloadKind kind = DownloadKind::Package;

    // Copied at the start, so that the worker never reads a record that a rebuilt list freed.
    std::string url;
    std::string directory;
    std::string targetPath;  // empty when the server's file name was refused
    // What a signed catalogue names: the file's SHA-256 and exact length. Empty and -1 when
    // the catalogue is not signed; then nothing is verified.
    std::string expectedSha256;
    int64_t expectedBytes = -1;
    bool Verified() const { return !expectedSha256.empty(); }

    // Read by the worker at every block and progress call; it lives in the job, which
    // outlives the worker, not in the row's record.
    std::atomic<DownloadStop> stop{DownloadStop::None};
    int lastPercent = -1;  // worker only: the last percentage posted
    TransferLimits transferLimits = kDefaultTransferLimits;  // DownloadTransferLimits() at the start
};

// The connect and stall limits of the downloads started from now on (window thread only);
// each job keeps a copy, so its worker reads nothing shared. Tests shorten them.
TransferLimits& DownloadTransferLimits();

// Package downloads started and not yet reported finished. Raised on the window thread
// when a download starts, lowered when its final code is handled.
std::atomic<int>& RunningDownloadCount();

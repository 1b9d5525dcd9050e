// Timings behind scripts/bench-catalogue: loading a software catalogue whose icons are
// cached against fetching its JSON alone, unsigned and signed; package downloads through
// the worker, unverified and verified against a signed catalogue's digest; and the window
// thread's part of a click that starts a verified package already in the package folder.
//   catalogue_bench <server base URL> <installation folder> catalogue <public keys>
//   catalogue_bench <server base URL> <installation folder> downloads <package URL path> <sha256> <bytes>
// Prints "name value" lines.
#include "shared/http.h"
#include "shared/unique_handle.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "tests/support/gui_driver.h"
#include "tests/support/temp_dir.h"
#include "toolbox/catalogue/catalogue_loads.h"
#include "toolbox/catalogue/cell_grid.h"
#include "toolbox/catalogue/downloads.h"
#include "toolbox/catalogue/package_launch.h"
#include "toolbox/catalogue/package_records.h"
#include "toolbox/catalogue/software_catalogue.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The final code a download's window received, or 0 while it runs.
WPARAM FinalCode(const CatalogueTestWindow& window) {
    for (const WPARAM code : {static_cast<WPARAM>(kPackageDownloaded), static_cast<WPARAM>(kPackageFailed)}) {
        if (window.CountOf(code) > 0) return code;
    }
    return 0;
}

// One shipped load of the window's list until its rows and icons are applied; adds to
// windowPart what the window thread spent on it (the start, then applying the results).
double TimeOneLoad(CatalogueTestWindow& window, const CatalogueContext& context, int& rowCounter, double& windowPart) {
    const double appliedBefore = window.ResultsMilliseconds();
    const auto start = Clock::now();
    LoadSoftwareCatalogue(window.SoftList(), context, &rowCounter);
    windowPart += MillisecondsSince(start);
    PumpMessagesUntil(LoadsApplied, 120000);
    windowPart += window.ResultsMilliseconds() - appliedBefore;
    return MillisecondsSince(start);
}

// prefix: "catalogue" for an unsigned load, "signed_catalogue" for one with keys.
void BenchCatalogue(const CatalogueContext& context, const char* prefix) {
    CatalogueTestWindow window;  // applies the loads' results
    int rowCounter = 0;
    double untimed = 0;
    TimeOneLoad(window, context, rowCounter, untimed);  // fills the icon cache
    std::printf("%s_rows %d\n", prefix, window.SoftList()->GetCount());
    std::vector<double> loads;
    std::vector<double> windowParts;
    std::vector<double> fetches;
    for (int run = 0; run < 7; ++run) {
        // The worker's part (request, signature, registry, package folder, cached icons)
        // and the window thread's (empty the list, fill it).
        double windowPart = 0;
        loads.push_back(TimeOneLoad(window, context, rowCounter, windowPart));
        windowParts.push_back(windowPart);
        const auto start = Clock::now();
        const std::string body = HttpGetString(SoftwareCatalogueUrl(context), {}).body;
        fetches.push_back(MillisecondsSince(start));
    }
    std::printf("%s_load_ms %.1f\n", prefix, Median(loads));
    std::printf("%s_window_thread_ms %.1f\n", prefix, Median(windowParts));
    std::printf("%s_json_fetch_ms %.1f\n", prefix, Median(fetches));
}

constexpr char kPackageName[] = "bench-package.exe";

// The package a signed catalogue names, or, with an empty digest, an unsigned one.
struct Package {
    std::string urlPath;
    std::string sha256;
    int64_t bytes;
};

// The software row of the package, in a window of its own.
SkinSoftListControl* AddPackageRow(CatalogueTestWindow& window, const CatalogueContext& context,
                                   const Package& package, int number) {
    auto entry = std::make_unique<DuiSoft>();
    entry->url = context.serverBaseUrl + package.urlPath;
    entry->downName = kPackageName;
    entry->sha256 = package.sha256;
    entry->bytes = package.bytes;
    SkinSoftListControl* row = BuildSoftwareCell(std::move(entry), ReserveCellIds(1), number);
    window.SoftList()->Add(row);
    return row;
}

// One package download from the start operation to its final message; seconds, 0 when it
// failed. The file stays when keep is set.
double TimeOneDownload(const CatalogueContext& context, const Package& package, int number, const char* label,
                       bool keep = false) {
    CatalogueTestWindow window;
    SkinSoftListControl* row = AddPackageRow(window, context, package, number);
    const auto start = Clock::now();
    StartSoftwareDownload(row, context);
    MSG message;
    while (FinalCode(window) == 0 && ::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    const double seconds = MillisecondsSince(start) / 1000.0;
    const std::string path = PackageDirectory(context) + "\\" + kPackageName;
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes);
    const double bytes = static_cast<double>((static_cast<ULONGLONG>(attributes.nFileSizeHigh) << 32) |
                                             attributes.nFileSizeLow);
    if (!keep) std::remove(path.c_str());
    std::printf("%s_run %u %.0f bytes %.3f s %d messages\n", label, static_cast<unsigned>(FinalCode(window)), bytes,
                seconds, static_cast<int>(window.Messages().size()));
    return FinalCode(window) == kPackageDownloaded ? seconds : 0.0;
}

// Ends the packages a click started (the stand-in records its process id beside itself).
bool EndStartedPackages(const std::string& marker, DWORD milliseconds) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    std::string ids;
    while ((ids = ReadFileBytes(marker)).empty() && Clock::now() < deadline) ::Sleep(10);
    std::istringstream started(ids);
    for (DWORD id = 0; started >> id;) {
        UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (process && ::TerminateProcess(process.get(), 0)) ::WaitForSingleObject(process.get(), 5000);
    }
    std::remove(marker.c_str());
    return !ids.empty();
}

// A click on the verified package in the package folder: the window thread's part (the
// check and the start), by its record and, with the record gone, with the hash on a worker;
// and how long until the package ran.
void BenchClicks(const CatalogueContext& context, const Package& package) {
    const std::string path = PackageDirectory(context) + "\\" + kPackageName;
    const std::string marker = path + ".started";
    if (TimeOneDownload(context, package, 900, "click_setup", true) <= 0.0) return;
    for (const bool recorded : {true, false}) {
        const char* label = recorded ? "click_recorded" : "click_hashed";
        std::vector<double> windowParts;
        std::vector<double> untilStarted;
        for (int run = 0; run < 5; ++run) {
            if (!recorded) ForgetPackage(PackageDirectory(context), kPackageName);
            CatalogueTestWindow window;
            SkinSoftListControl* row = AddPackageRow(window, context, package, 901 + run);
            const auto start = Clock::now();
            OpenDownloadedPackage(row, context, path);
            windowParts.push_back(MillisecondsSince(start));
            // A hashed package starts from the window thread once the worker's result arrives.
            PumpMessagesUntil([&] { return !ReadFileBytes(marker).empty(); }, 30000);
            untilStarted.push_back(MillisecondsSince(start));
            if (!EndStartedPackages(marker, 5000)) std::printf("%s_not_started %d\n", label, run);
        }
        std::printf("%s_window_thread_ms %.1f\n", label, Median(windowParts));
        std::printf("%s_until_started_ms %.1f\n", label, Median(untilStarted));
    }
    std::remove(path.c_str());
}

size_t WriteToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<FILE*>(file));
}

// The same file through an easy handle with libcurl's and the C runtime's default block
// sizes, on this thread: what the worker's larger blocks buy under Wine.
double TimeDefaultTransfer(const CatalogueContext& context, const std::string& packagePath) {
    const std::string path = PackageDirectory(context) + "\\" + "bench-default.bin";
    UniqueStdioFile file(std::fopen(path.c_str(), "wb"));
    UniqueEasyHandle easy(curl_easy_init());
    if (!file || !easy) return 0.0;
    curl_easy_setopt(easy.get(), CURLOPT_URL, (context.serverBaseUrl + packagePath).c_str());
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, WriteToFile);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, file.get());
    const auto start = Clock::now();
    const CURLcode result = curl_easy_perform(easy.get());
    file.reset();
    const double seconds = MillisecondsSince(start) / 1000.0;
    curl_off_t bytes = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_SIZE_DOWNLOAD_T, &bytes);
    std::remove(path.c_str());
    return result == CURLE_OK ? static_cast<double>(bytes) / seconds : 0.0;
}

// Downloads in turns with the script's curl command lines, so that all see the same
// moments of a machine that may be busy with other work: after an untimed first download
// (the program has run before the user's first click), each line on standard input starts
// one timed round, and "ready" says the round is over. At the end of the input, the clicks.
void BenchDownloads(const CatalogueContext& context, const Package& package) {
    CatalogueContext signedContext = context;
    signedContext.keys = "bench";  // downloads check the digest the catalogue named, not its signature
    const Package unsignedPackage{package.urlPath, "", -1};
    TimeOneDownload(signedContext, package, 0, "warm_up");
    std::printf("ready\n");
    std::fflush(stdout);
    char line[64];
    for (int run = 1; std::fgets(line, sizeof(line), stdin) != nullptr; ++run) {
        std::printf("download_seconds %.3f\n", TimeOneDownload(context, unsignedPackage, 2 * run, "download"));
        std::printf("verified_download_seconds %.3f\n",
                    TimeOneDownload(signedContext, package, 2 * run + 1, "verified_download"));
        const double defaultRate = TimeDefaultTransfer(context, package.urlPath);
        std::printf("default_blocks_bytes_per_s %.0f\n", defaultRate);
        std::printf("ready\n");
        std::fflush(stdout);
    }
    BenchClicks(signedContext, package);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc >= 4 ? argv[3] : "";
    if (!(mode == "catalogue" && argc == 5) && !(mode == "downloads" && argc == 7)) {
        std::fprintf(stderr,
                     "usage: catalogue_bench <server base URL> <installation folder> catalogue <public keys>\n"
                     "       catalogue_bench <server base URL> <installation folder> downloads <package URL path> "
                     "<sha256> <bytes>\n");
        return 2;
    }
    curl_global_init(CURL_GLOBAL_ALL);
    const CatalogueContext context{argv[2], argv[1], "91110000BENCH"};
    ::CreateDirectoryA(context.installDir.c_str(), nullptr);
    ::CreateDirectoryA(PackageDirectory(context).c_str(), nullptr);
    if (mode == "catalogue") {
        BenchCatalogue(context, "catalogue");
        CatalogueContext signedContext = context;
        signedContext.keys = argv[4];
        BenchCatalogue(signedContext, "signed_catalogue");
    } else {
        BenchDownloads(context, Package{argv[4], argv[5], std::strtoll(argv[6], nullptr, 10)});
    }
    curl_global_cleanup();
    return 0;
}

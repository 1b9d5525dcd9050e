// Timings behind scripts/bench-catalogue: loading a software catalogue whose icons are
// cached against fetching its JSON alone, and one package download through the worker.
//   catalogue_bench <server base URL> <installation folder> catalogue
//   catalogue_bench <server base URL> <installation folder> downloads <package URL path>
// Prints "name value" lines.
#include "shared/http.h"
#include "shared/unique_handle.h"
#include "tests/catalogue/catalogue_fixture.h"
#include "toolbox/catalogue/downloads.h"
#include "toolbox/catalogue/software_catalogue.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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

void BenchCatalogue(const CatalogueContext& context) {
    CContainerUI list;
    int rowCounter = 0;
    LoadSoftwareCatalogue(&list, context, rowCounter);  // fills the icon cache
    std::printf("rows %d\n", list.GetCount());
    std::vector<double> loads;
    std::vector<double> windowParts;
    std::vector<double> fetches;
    for (int run = 0; run < 7; ++run) {
        // The worker's part (request, registry, package folder, cached icons), then what the
        // window thread does with it: empty the list and fill it.
        auto start = Clock::now();
        SoftwareCatalogue catalogue = ReadSoftwareCatalogue(context);
        const auto windowStart = Clock::now();
        list.RemoveAll();
        FillSoftwareList(&list, catalogue, rowCounter);
        windowParts.push_back(MillisecondsSince(windowStart));
        loads.push_back(MillisecondsSince(start));
        start = Clock::now();
        const std::string body = HttpGetString(SoftwareCatalogueUrl(context));
        fetches.push_back(MillisecondsSince(start));
    }
    std::printf("catalogue_load_ms %.1f\n", Median(loads));
    std::printf("catalogue_window_thread_ms %.1f\n", Median(windowParts));
    std::printf("json_fetch_ms %.1f\n", Median(fetches));
}

// One package download from the start operation to its final message; bytes per second.
double TimeOneDownload(const CatalogueContext& context, const std::string& packagePath, int number) {
    CatalogueTestWindow window;
    auto* entry = new DuiSoft;
    entry->url = context.serverBaseUrl + packagePath;
    entry->downName = "bench-package.bin";
    auto* row = new SkinSoftListControl(entry);
    row->SetName(("rowIndex" + std::to_string(number)).c_str());
    window.SoftList()->Add(row);
    const auto start = Clock::now();
    StartSoftwareDownload(row, context);
    MSG message;
    while (FinalCode(window) == 0 && ::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    const double seconds = MillisecondsSince(start) / 1000.0;
    const std::string path = PackageDirectory(context) + "\\" + "bench-package.bin";
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    ::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes);
    const double bytes = static_cast<double>((static_cast<ULONGLONG>(attributes.nFileSizeHigh) << 32) |
                                             attributes.nFileSizeLow);
    std::remove(path.c_str());
    std::printf("download_run %u %.0f bytes %.3f s %d messages\n", static_cast<unsigned>(FinalCode(window)), bytes,
                seconds, static_cast<int>(window.Messages().size()));
    if (FinalCode(window) != kPackageDownloaded) return 0.0;
    return bytes / seconds;
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

// Downloads in turns with the script's curl command line, so that both see the same
// moments of a machine that may be busy with other work: after an untimed first download
// (the program has run before the user's first click), each line on standard input starts
// one timed round, and "ready" says the round is over.
void BenchDownloads(const CatalogueContext& context, const std::string& packagePath) {
    TimeOneDownload(context, packagePath, 0);
    std::printf("ready\n");
    std::fflush(stdout);
    char line[64];
    for (int run = 1; std::fgets(line, sizeof(line), stdin) != nullptr; ++run) {
        std::printf("download_bytes_per_s %.0f\n", TimeOneDownload(context, packagePath, run));
        std::printf("default_blocks_bytes_per_s %.0f\n", TimeDefaultTransfer(context, packagePath));
        std::printf("ready\n");
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc >= 4 ? argv[3] : "";
    if (!(mode == "catalogue" && argc == 4) && !(mode == "downloads" && argc == 5)) {
        std::fprintf(stderr,
                     "usage: catalogue_bench <server base URL> <installation folder> catalogue\n"
                     "       catalogue_bench <server base URL> <installation folder> downloads <package URL path>\n");
        return 2;
    }
    curl_global_init(CURL_GLOBAL_ALL);
    const CatalogueContext context{argv[2], argv[1], "91110000BENCH"};
    ::CreateDirectoryA(context.installDir.c_str(), nullptr);
    ::CreateDirectoryA(PackageDirectory(context).c_str(), nullptr);
    if (mode == "catalogue") {
        BenchCatalogue(context);
    } else {
        BenchDownloads(context, argv[4]);
    }
    curl_global_cleanup();
    return 0;
}

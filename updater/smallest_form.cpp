#include "updater/smallest_form.h"

#include "shared/diagnostic_log.h"
#include "updater/patch_base.h"

namespace {

bool FetchPatched(const UpdateEntry& listed, const std::string& installed, const std::string& path,
                  FileDownloader& downloader) {
    const char* why = nullptr;
    const std::optional<PatchBase> base = ReadPatchBase(installed, &why);
    if (!base) {
        LogLine("file \"%s\": no patch applies: %s", listed.name.c_str(), why);
        return false;
    }
    const PatchSource* patch = PatchFrom(listed, base->sha256);
    if (patch == nullptr) {
        LogLine("file \"%s\": no patch from the installed version (SHA-256 %s)", listed.name.c_str(),
                base->sha256.c_str());
        return false;
    }
    return downloader.DownloadFrame(listed, *patch, base->Bytes(), path, "patch");
}

}  // namespace

bool FetchSmallestForm(const UpdateEntry& listed, bool signedList, const std::string& installed,
                       const std::string& path, FileDownloader& downloader) {
    // An unsigned list could name any frame: a server in the path would choose what the
    // decoder reads. Without a length nothing bounds what a frame decodes to.
    const bool offered = !listed.patches.empty() || listed.zst;
    if (signedList && offered && !listed.bytes) {
        LogLine("file \"%s\": the list names no length; fetching the whole file", listed.name.c_str());
    } else if (signedList && offered) {
        if (!listed.patches.empty() && FetchPatched(listed, installed, path, downloader)) return true;
        if (listed.zst && downloader.DownloadFrame(listed, *listed.zst, {}, path, "compressed file")) return true;
        LogLine("file \"%s\": fetching the whole file", listed.name.c_str());
    }
    return downloader.Download(listed, path);
}

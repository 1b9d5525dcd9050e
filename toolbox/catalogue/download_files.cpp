#include "toolbox/catalogue/download_files.h"

#include "shared/file_names.h"
#include "shared/files.h"
#include "shared/unique_handle.h"
#include "toolbox/catalogue/package_records.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>

namespace {

constexpr char kValidatorSuffix[] = ".etag";

bool EndsWithIgnoringCase(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, text.c_str() + text.size() - suffix.size(),
                            static_cast<int>(suffix.size()), suffix.c_str(),
                            static_cast<int>(suffix.size())) == CSTR_EQUAL;
}

}  // namespace

DownloadFiles FilesOf(const std::string& finalPath) {
    const std::string partial = StagingPathOf(finalPath);
    return DownloadFiles{finalPath, partial, partial + kValidatorSuffix};
}

bool IsDownloadName(const std::string& name) {
    const DownloadFiles own = FilesOf("");
    return IsPlainFileName(name) && !EndsWithIgnoringCase(name, own.partialPath) &&
           !EndsWithIgnoringCase(name, own.validatorPath) &&
           !(name.size() == std::strlen(kPackageRecordsName) && EndsWithIgnoringCase(name, kPackageRecordsName));
}

bool IsStrongTag(const std::string& etag) {
    return etag.size() >= 2 && etag.front() == '"' && etag.back() == '"';
}

ResumePoint FindResumePoint(const DownloadFiles& files, const std::string& url) {
    ResumePoint none;
    const long long size = FileSizeOf(files.partialPath);
    if (size <= 0) return none;
    std::ifstream validator(files.validatorPath, std::ios::binary);
    std::string savedUrl;
    std::string tag;
    // A date alone is never enough: files published together often share one, and a
    // package carries no digest that would catch two installers spliced together.
    if (!std::getline(validator, savedUrl) || !std::getline(validator, tag)) return none;
    if (savedUrl != url || !IsStrongTag(tag)) return none;
    return ResumePoint{size, tag};
}

bool SaveValidator(const DownloadFiles& files, const std::string& url, const std::string& tag) {
    UniqueStdioFile file(std::fopen(files.validatorPath.c_str(), "wb"));
    if (!file) return false;
    const std::string text = url + "\n" + tag + "\n";
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    return std::fclose(file.release()) == 0 && written;
}

void DiscardPartial(const DownloadFiles& files) {
    std::remove(files.validatorPath.c_str());
    std::remove(files.partialPath.c_str());
}

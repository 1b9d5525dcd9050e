#include "updater/kept_list.h"

#include "shared/diagnostic_log.h"
#include "shared/files.h"
#include "shared/signature.h"
#include "shared/unique_handle.h"
#include "updater/update_signature.h"

#include <windows.h>

namespace {

// Three lines, then the list's bytes to the end of the file; the version and the
// signature hold no line ends.
constexpr char kHeader[] = "kestrova signed list 1\n";
constexpr char kVersion[] = "version ";
constexpr char kSignature[] = "signature ";

std::string PathIn(const std::string& tempDir) { return tempDir + "\\" + kKeptListFileName; }

// The line that starts at *start with prefix, without its line feed; *start moves past it.
std::optional<std::string> TakeLine(const std::string& text, size_t* start, const std::string& prefix) {
    const size_t end = text.find('\n', *start);
    if (end == std::string::npos || text.compare(*start, prefix.size(), prefix) != 0) return std::nullopt;
    std::string value = text.substr(*start + prefix.size(), end - *start - prefix.size());
    *start = end + 1;
    return value;
}

}  // namespace

bool KeepSignedList(const std::string& tempDir, const KeptList& list) {
    if (list.version.find_first_of("\r\n") != std::string::npos ||
        list.signature.find_first_of("\r\n") != std::string::npos) {
        return false;
    }
    const std::string text =
        std::string(kHeader) + kVersion + list.version + "\n" + kSignature + list.signature + "\n" + list.body;
    UniqueFileHandle file(::CreateFileA(PathIn(tempDir).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size() && ::FlushFileBuffers(file.get());
}

std::optional<std::vector<UpdateEntry>> ReadKeptList(const std::string& tempDir, const std::string& keys,
                                                     const std::string& version) {
    const std::string path = PathIn(tempDir);
    std::string text;
    if (!FileExists(path) || !ReadFileInBlocks(path, [&](const char* data, size_t size) { text.append(data, size); })) {
        LogLine("no signed list is kept beside the installation journal");
        return std::nullopt;
    }
    size_t start = 0;
    const std::optional<std::string> header = TakeLine(text, &start, "");
    const std::optional<std::string> keptVersion = TakeLine(text, &start, kVersion);
    const std::optional<std::string> signature = TakeLine(text, &start, kSignature);
    if (!header || *header + "\n" != kHeader || !keptVersion || !signature) {
        LogLine("the kept signed list is not in its form");
        return std::nullopt;
    }
    if (*keptVersion != version) {
        LogLine("the kept signed list is for version \"%s\", not \"%s\"", keptVersion->c_str(), version.c_str());
        return std::nullopt;
    }
    const std::string body = text.substr(start);
    if (!IsSignedByOneOf(keys, SignedUpdateMessage(version, body), *signature)) {
        LogLine("the kept list's signature is not the maker's");
        return std::nullopt;
    }
    // Read as the received list was, or a name outside ASCII would be one it does not hold.
    std::vector<UpdateEntry> entries = ParseReceivedUpdateList(body);
    if (!EveryEntryHasSha256(entries)) {
        LogLine("an entry of the kept signed list names no SHA-256");
        return std::nullopt;
    }
    return entries;
}

#include "updater/install_journal.h"

#include "shared/files.h"
#include "shared/unique_handle.h"

#include <windows.h>

namespace {

// One record a line, each ending in a line feed; names and versions hold no line ends.
constexpr char kHeader[] = "kestrova installation journal 1";
constexpr char kVersion[] = "version ";
constexpr char kReplace[] = "replace ";
constexpr char kAdd[] = "add ";
constexpr char kEnd[] = "end";

bool StartsWith(const std::string& text, const char* prefix, std::string* rest) {
    const std::string head(prefix);
    if (text.compare(0, head.size(), head) != 0) return false;
    *rest = text.substr(head.size());
    return true;
}

Win32Result WriteFlushed(const std::string& path, const std::string& text) {
    UniqueFileHandle file(
        ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Win32Result::LastError();
    DWORD written = 0;
    if (!::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
        return Win32Result::LastError();
    }
    if (written != text.size()) return Win32Result::Failure(ERROR_DISK_FULL);  // a short write
    return Win32Result::Of(::FlushFileBuffers(file.get()));
}

}  // namespace

Win32Result WriteJournal(const std::string& path, const InstallJournal& journal) {
    std::string text = std::string(kHeader) + "\n" + kVersion + journal.version + "\n";
    for (const JournalEntry& entry : journal.entries) {
        text += (entry.replacesFile ? kReplace : kAdd) + entry.name + "\n";
    }
    text += std::string(kEnd) + "\n";
    return WriteFlushed(path, text);
}

std::optional<InstallJournal> ReadJournal(const std::string& path) {
    std::string text;
    if (!FileExists(path) || !ReadFileInBlocks(path, [&](const char* data, size_t size) { text.append(data, size); })) {
        return std::nullopt;
    }
    InstallJournal journal;
    bool complete = false;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        // A line without its line feed was being written when the process ended: it does not count.
        const std::string line = text.substr(start, end - start);
        std::string rest;
        if (start == 0) {
            if (line != kHeader) return std::nullopt;
        } else if (line == kEnd) {
            complete = true;
            break;
        } else if (StartsWith(line, kVersion, &rest)) {
            journal.version = rest;
        } else if (StartsWith(line, kReplace, &rest)) {
            journal.entries.push_back({rest, true});
        } else if (StartsWith(line, kAdd, &rest)) {
            journal.entries.push_back({rest, false});
        } else {
            return std::nullopt;
        }
    }
    if (!complete) return std::nullopt;
    return journal;
}

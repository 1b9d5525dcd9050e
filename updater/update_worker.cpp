#include "updater/update_worker.h"

#include "frame/directory_error.h"
#include "shared/background_work.h"
#include "shared/diagnostic_log.h"
#include "shared/file_names.h"
#include "shared/files.h"
#include "shared/process.h"
#include "shared/unique_handle.h"
#include "updater/entry_checker.h"
#include "updater/file_downloader.h"
#include "updater/install_update.h"
#include "updater/installation.h"
#include "updater/kept_list.h"
#include "updater/process_values.h"
#include "updater/smallest_form.h"
#include "updater/update_list.h"
#include "updater/update_signature.h"
#include "updater/worker_gate.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace {

enum class EntryResult { Verified, Current, Skipped, Failed };

// The updater runs as administrator: a name with a directory or drive part could place a
// file anywhere, and a device name opens the device, so such an entry is refused like a
// failed transfer, before anything is fetched or read.
const char* NameRefusal(const UpdateEntry& entry) { return InstallationNameRefusal(entry.name); }

EntryResult FetchEntry(const UpdateEntry& entry, const EntryCheck& check, const UpdaterValues& values,
                       bool signedList, FileDownloader& downloader) {
    const std::string tempDir = values.TempDirectory();
    const std::string downloaded = tempDir + "\\" + entry.name;
    if (check.current) {
        // Neither fetched nor replaced; a copy left by an abandoned run is of no use either.
        ::DeleteFileA(downloaded.c_str());
        LogLine("file \"%s\" is current (%s): not downloaded", entry.name.c_str(),
                check.installed->fromRecord ? "its record stands for it" : "hashed");
        return EntryResult::Current;
    }
    if (!MakeDirectory(tempDir)) {
        LogLine("file \"%s\" skipped: the folder %s cannot be created", entry.name.c_str(), tempDir.c_str());
        return EntryResult::Skipped;
    }
    if (check.kept) {
        LogLine("file \"%s\" kept from an earlier run: it has the signed SHA-256", entry.name.c_str());
        return EntryResult::Verified;
    }
    const std::string installed = values.InstallDir + "\\" + entry.name;
    return FetchSmallestForm(entry, signedList, installed, downloaded, downloader) ? EntryResult::Verified
                                                                                   : EntryResult::Failed;
}

// A signed list lets the files an abandoned run verified stay, so that a slow line does
// not start from nothing at every logon; whatever this list does not name goes.
void KeepOnlyListedFiles(const std::string& tempDir, const std::vector<UpdateEntry>& entries) {
    WIN32_FIND_DATAA found;
    UniqueFindHandle search(::FindFirstFileA((tempDir + "\\*").c_str(), &found));
    if (!search) return;
    std::vector<std::string> files;
    std::vector<std::string> others;  // folders and links: removed, never entered
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..") continue;
        const bool plainFile = (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
        const bool listed = std::any_of(entries.begin(), entries.end(), [&](const UpdateEntry& entry) {
            return ::_stricmp(entry.name.c_str(), name.c_str()) == 0;
        });
        if (!plainFile) {
            others.push_back(tempDir + "\\" + name);
        } else if (!listed) {
            files.push_back(tempDir + "\\" + name);
        }
    } while (::FindNextFileA(search.get(), &found));
    search.reset();
    for (const std::string& path : files) ::DeleteFileA(path.c_str());
    for (const std::string& path : others) RemoveTree(path.c_str());
}

DWORD Abandon(const UpdaterValues& values) {
    RunProgram(values.MainProgram());
    PostFinalCode(UPDATE_ABORTED);
    return 0;
}

}  // namespace

bool DigestMatches(std::string id, const std::string& digest) {
    for (char& c : id) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return id == digest;
}

DWORD WINAPI UpdateWorker(LPVOID) {
    // A copy of its own: the worker may still run while the window thread returns from
    // the program and the process-wide values are torn down.
    const UpdaterValues values = Updater();
    std::string listBody;
    const std::vector<UpdateEntry> entries = FetchUpdateList(values.UpdateListUrl, &listBody);
    // A build with the maker's keys installs nothing that they did not sign.
    const bool signedList = !values.UpdateKeys.empty();
    if (!signedList) {
        // Leftovers of an abandoned run must not mix with this run's files.
        RemoveTree(values.TempDirectory().c_str());
    } else if (std::string signature; !IsTrustedUpdateList(values, listBody, entries, &signature)) {
        return Abandon(values);
    } else {
        KeepOnlyListedFiles(values.TempDirectory(), entries);
        // The installation, and recovery after a crash, take the digests from this copy only.
        if (!MakeDirectory(values.TempDirectory()) ||
            !KeepSignedList(values.TempDirectory(), {values.ServerVersion, signature, listBody})) {
            LogLine("update abandoned: the signed list cannot be kept in %s", values.TempDirectory().c_str());
            return Abandon(values);
        }
    }
    for (const UpdateEntry& entry : entries) {
        if (const char* refusal = NameRefusal(entry)) {
            EntryFailed(entry, refusal);
            LogLine("update abandoned: the list names \"%s\"; starting the main program", entry.name.c_str());
            return Abandon(values);
        }
    }

    EntryChecker checker(entries, values, signedList);
    FileDownloader downloader(signedList);
    std::vector<std::string> verified;
    KnownFiles known;
    bool skipped = false;
    for (size_t i = 0; i < entries.size(); ++i) {
        const UpdateEntry& entry = entries[i];
        const EntryCheck check = checker.Result(i);
        if (check.current) known.current.Set(entry.name, check.installed->record);
        switch (FetchEntry(entry, check, values, signedList, downloader)) {
            case EntryResult::Failed:
                LogLine("update abandoned: file \"%s\" did not arrive intact; starting the main program",
                        entry.name.c_str());
                return Abandon(values);
            case EntryResult::Skipped:
                skipped = true;
                break;
            case EntryResult::Verified:
                verified.push_back(entry.name);
                break;
            case EntryResult::Current:
                break;
        }
    }
    // A file counts as verified only once it is on the disk, ready to be moved into place.
    if (!downloader.Flushed()) {
        LogLine("update abandoned: the downloaded files could not be flushed to the disk");
        return Abandon(values);
    }
    if (entries.empty() || skipped) {
        // Nothing verified to install: the version stays as it is.
        SetVerifiedUpdate(std::nullopt);
        LogLine("no file to install");
    } else {
        known.arrived = downloader.Arrived();
        SetVerifiedUpdate(verified, std::move(known));
        LogLine("every file arrived or is current (%zu to install); installing", verified.size());
    }
    PostFinalCode(UPDATE_FINISHED);
    return 0;
}

bool StartUpdateWorker() {
    return StartBackgroundWork([] { UpdateWorker(nullptr); });
}

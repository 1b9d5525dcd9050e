#include "updater/installation.h"

#include "shared/diagnostic_log.h"
#include "shared/file_names.h"
#include "shared/files.h"
#include "shared/unique_handle.h"
#include "shared/win32_result.h"
#include "updater/ini_file.h"
#include "updater/install_journal.h"
#include "updater/held_file.h"
#include "updater/install_step.h"
#include "updater/installed_records.h"
#include "updater/kept_list.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

struct FilePaths {
    FilePaths(const UpdaterValues& values, const std::string& fileName)
        : name(fileName),
          incoming(values.TempDirectory() + "\\" + fileName),
          installed(values.InstallDir + "\\" + fileName),
          backup(installed + "bak") {}
    std::string name;
    std::string incoming;   // the verified new file until it is moved in
    std::string installed;  // the name the installation uses
    std::string backup;     // the old file once the new one is in
};

std::string JournalPath(const UpdaterValues& values) { return values.TempDirectory() + "\\" + kJournalFileName; }

// A rename within the volume, on the disk when it returns.
Win32Result Move(const std::string& from, const std::string& to, bool replace) {
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    return Win32Result::Of(::MoveFileExA(from.c_str(), to.c_str(), flags));
}

// Also a read-only file; a file that is not there counts as removed.
Win32Result RemoveFile(const std::string& path) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    const Win32Result deleted = Win32Result::Of(::DeleteFileA(path.c_str()));
    return deleted || !FileExists(path) ? Win32Result() : deleted;
}

// Windows replaces neither a file in use (a running program, a loaded library) nor a
// read-only one, and opens neither for writing; opening changes nothing.
bool IsWritable(const std::string& path) {
    UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
}

// The old file keeps its name while it gets a second one: a hard link where the volume
// has them (no data written), else a copy on the disk. A file that may be in use gets a
// copy: a link to it could be neither removed nor replaced if the old file must step aside.
struct Backup {
    const char* kind;  // "a hard link" or "a copy"
    Win32Result made;
};

Backup MakeBackup(const FilePaths& file, bool mayLink) {
    if (mayLink && ::CreateHardLinkA(file.backup.c_str(), file.installed.c_str(), nullptr)) return {"a hard link", {}};
    const Win32Result copied = Win32Result::Of(::CopyFileA(file.installed.c_str(), file.backup.c_str(), TRUE));
    if (!copied) return {"a copy", copied};
    // The copy has the old file's attributes; a read-only one cannot be opened to flush it.
    const DWORD attributes = ::GetFileAttributesA(file.backup.c_str());
    ::SetFileAttributesA(file.backup.c_str(), FILE_ATTRIBUTE_NORMAL);
    UniqueFileHandle copy(
        ::CreateFileA(file.backup.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    Win32Result flushed = Win32Result::Of(copy.valid());
    if (flushed) flushed = Win32Result::Of(::FlushFileBuffers(copy.get()));
    copy.reset();
    ::SetFileAttributesA(file.backup.c_str(), attributes);
    return {"a copy", flushed};
}

bool SameName(const std::string& a, const std::string& b) { return ::_stricmp(a.c_str(), b.c_str()) == 0; }

// What each new file must hash to. A build without keys checked its files against the
// list's MD5 as they arrived and keeps no list, so it has none to check again.
struct ListedDigests {
    bool signedList = false;
    std::vector<UpdateEntry> entries;

    const std::string* Of(const std::string& name) const {
        const auto entry = std::find_if(entries.begin(), entries.end(),
                                        [&](const UpdateEntry& listed) { return SameName(listed.name, name); });
        return entry != entries.end() ? &entry->sha256 : nullptr;
    }
};

// Nothing when a build with keys has no intact signed list for the version.
std::optional<ListedDigests> LoadDigests(const UpdaterValues& values, const std::string& version) {
    if (values.UpdateKeys.empty()) return ListedDigests{};
    std::optional<std::vector<UpdateEntry>> entries = ReadKeptList(values.TempDirectory(), values.UpdateKeys, version);
    if (!entries) return std::nullopt;
    return ListedDigests{true, std::move(*entries)};
}

// A refusal for what the file is, or is not; no system call failed.
bool Refused(const FilePaths& file, const char* why) {
    LogLine("could not install \"%s\": %s", file.name.c_str(), why);
    return false;
}

bool Refused(const FilePaths& file, const char* why, Win32Result failure) {
    LogLine("could not install \"%s\": %s (error %lu)", file.name.c_str(), why, failure.Code());
    return false;
}

// The new file's digests: those of its bytes as they arrived while its identity is the one
// it had once on the disk (nothing has written it since), else read through the handle
// when they must be checked; nothing when they need not be.
std::optional<FileDigests> IncomingDigests(HeldFile& incoming, const FileRecord* arrived, bool mustCheck) {
    if (arrived != nullptr && incoming.Identity() == arrived->identity) return arrived->digests;
    return mustCheck ? incoming.Digests() : std::nullopt;
}

// Also resumes a file whose installation was interrupted: whether the new file is still
// in the temporary directory tells whether it went in. A file moved in gets its record
// in installedRecords, taken while no one else can write it.
bool InstallFile(const FilePaths& file, const JournalEntry& entry, const ListedDigests& digests,
                 const FileRecords& arrived, FileRecords* installedRecords) {
    if (!FileExists(file.incoming)) {
        return FileExists(file.installed) || Refused(file, "neither the new file nor an installed one is there");
    }
    // Held against writers from its check until it is in place.
    HeldFile incoming(file.incoming);
    if (!incoming.valid()) return Refused(file, "the new file cannot be held against writers", incoming.Opened());
    const std::optional<FileDigests> known = IncomingDigests(incoming, arrived.Find(file.name), digests.signedList);
    if (digests.signedList) {
        const std::string* listed = digests.Of(file.name);
        if (listed == nullptr) return Refused(file, "the signed list does not name it");
        if (!known || known->sha256 != *listed) return Refused(file, "its bytes differ from the signed list");
    }
    if (!FileExists(file.installed)) {
        // New to the installation, or the old file stepped aside before an interruption.
        if (const Win32Result moved = incoming.MoveTo(file.installed, false); !moved) {
            return Refused(file, "it cannot be moved into place", moved);
        }
        LogLine("installed \"%s\"%s", file.name.c_str(), entry.replacesFile ? ", the old file already aside" : "");
    } else if (!entry.replacesFile) {
        return Refused(file, "a file of that name appeared");
    } else if (const Win32Result removed = RemoveFile(file.backup); !removed) {
        // A backup there now was made by this installation before an interruption.
        return Refused(file, "its backup cannot be made anew", removed);
    } else {
        const bool writable = IsWritable(file.installed);
        const Backup backup = MakeBackup(file, writable);
        if (!backup.made) return Refused(file, "the old file cannot be backed up", backup.made);
        KESTROVA_INSTALL_STEP("backup", file.name);
        const Win32Result replaced = incoming.MoveTo(file.installed, true);
        if (replaced) {
            LogLine("installed \"%s\", the old file kept as \"%sbak\" (%s)", file.name.c_str(), file.name.c_str(),
                    backup.kind);
        } else if (writable) {
            return Refused(file, "the old file cannot be replaced", replaced);
        } else if (const Win32Result backupRemoved = RemoveFile(file.backup); !backupRemoved) {
            return Refused(file, "the old file cannot be replaced", backupRemoved);
        } else {
            // In use: such a file can still be renamed. The old one steps aside to its backup
            // name and the new one follows at once, so the name is missing only between two
            // renames (which is why no test step sits between them).
            if (const Win32Result aside = Move(file.installed, file.backup, false); !aside) {
                return Refused(file, "the old file cannot be moved aside", aside);
            }
            if (const Win32Result moved = incoming.MoveTo(file.installed, false); !moved) {
                return Refused(file, "it cannot be moved into place", moved);
            }
            LogLine("installed \"%s\", the old file (in use) moved aside to \"%sbak\"", file.name.c_str(),
                    file.name.c_str());
        }
    }
    if (const std::optional<FileIdentity> identity = IdentityOfPath(file.installed); identity && known) {
        installedRecords->Set(file.name, FileRecord{*identity, *known});
    }
    KESTROVA_INSTALL_STEP("moved", file.name);
    return true;
}

// Puts one file back as it was before the installation, from any state the installation
// or an earlier roll-back left it in. Whether the new file is still in the temporary
// directory tells whether it went in.
bool RestoreFile(const FilePaths& file, const JournalEntry& entry) {
    const bool newFileIn = !FileExists(file.incoming);
    const bool named = FileExists(file.installed);
    bool restored = true;
    if (!entry.replacesFile) {
        // Back into the temporary directory, which goes as a whole: a running program's
        // file can be renamed but not deleted.
        if (newFileIn && named) restored = Move(file.installed, file.incoming, false).Succeeded();
    } else if (newFileIn || !named) {
        if (!FileExists(file.backup)) {
            LogLine("cannot restore \"%s\": its backup is missing", file.name.c_str());
            return false;
        }
        // The new file steps aside first, for the same reason.
        if (newFileIn && named) Move(file.installed, file.incoming, false);
        restored = Move(file.backup, file.installed, true).Succeeded();
    } else if (FileExists(file.backup) && !RemoveFile(file.backup)) {
        // The old file never left; this installation's backup of it is only in the way.
        LogLine("the backup \"%sbak\" made by the interrupted installation stays", file.name.c_str());
    }
    LogLine(restored ? "restored \"%s\"" : "could not restore \"%s\"", file.name.c_str());
    KESTROVA_INSTALL_STEP("restored", file.name);
    return restored;
}

// True when every file is as it was before the installation.
bool RollBack(const UpdaterValues& values, const InstallJournal& journal) {
    LogLine("rolling back the installation of version \"%s\"", journal.version.c_str());
    KESTROVA_INSTALL_STEP("rollback");
    bool restored = true;
    for (auto entry = journal.entries.rbegin(); entry != journal.entries.rend(); ++entry) {
        restored = RestoreFile(FilePaths(values, entry->name), *entry) && restored;
    }
    return restored;
}

// "sys.ini" is written anew beside the new files and then replaces the old one in one
// step: a crash while writing it would otherwise leave it empty, and no version means no
// update ever again.
bool RecordVersion(const UpdaterValues& values, const std::string& version) {
    IniFile settings;
    settings.Load(values.SettingsFile());
    settings.SetValue("Soft", "Ver", version);
    settings.Dump();
    const std::string newSettings = values.TempDirectory() + "\\" + kNewSettingsFileName;
    if (settings.Save(newSettings) != 1) return false;
    KESTROVA_INSTALL_STEP("settings-written");
    if (!Move(newSettings, values.SettingsFile(), true)) return false;
    KESTROVA_INSTALL_STEP("settings");
    LogLine("recorded version \"%s\" in sys.ini", version.c_str());
    return true;
}

// Every file, then the version; also finishes an installation that was interrupted.
// records gets each file moved in.
bool Complete(const UpdaterValues& values, const InstallJournal& journal, const ListedDigests& digests,
              const FileRecords& arrived, FileRecords* records) {
    const bool installed = std::all_of(journal.entries.begin(), journal.entries.end(), [&](const JournalEntry& entry) {
        return InstallFile(FilePaths(values, entry.name), entry, digests, arrived, records);
    });
    if (installed && RecordVersion(values, journal.version)) return true;
    if (installed) LogLine("could not record version \"%s\" in sys.ini", journal.version.c_str());
    return false;
}

}  // namespace

bool IsInstallationWorkFile(const std::string& name) {
    const char* const workFiles[] = {kJournalFileName, kNewSettingsFileName, kKeptListFileName,
                                     kInstalledRecordsFileName, kInstalledRecordsStagingName};
    return std::any_of(std::begin(workFiles), std::end(workFiles), [&](const char* work) { return SameName(name, work); });
}

const char* InstallationNameRefusal(const std::string& name) {
    if (!IsPlainFileName(name)) return "not a plain file name";
    if (IsInstallationWorkFile(name)) return "a name the installation keeps for itself";
    return nullptr;
}

bool InstallFiles(const UpdaterValues& values, const std::vector<std::string>& names, const KnownFiles& known,
                  FileRecords* records) {
    for (const std::string& name : names) {
        if (const char* refusal = InstallationNameRefusal(name)) {
            LogLine("nothing installed: \"%s\" is %s", name.c_str(), refusal);
            return false;
        }
    }
    const std::optional<ListedDigests> digests = LoadDigests(values, values.ServerVersion);
    if (!digests) {
        LogLine("nothing installed: no intact signed list for version \"%s\"", values.ServerVersion.c_str());
        return false;
    }
    InstallJournal journal{values.ServerVersion, {}};
    for (const std::string& name : names) {
        const bool listed = std::any_of(journal.entries.begin(), journal.entries.end(),
                                        [&](const JournalEntry& entry) { return SameName(entry.name, name); });
        if (!listed) journal.entries.push_back({name, FileExists(FilePaths(values, name).installed)});
    }
    // Older backups go first, so that any backup there once the journal exists is this
    // installation's own.
    for (const JournalEntry& entry : journal.entries) {
        const FilePaths file(values, entry.name);
        if (!entry.replacesFile) continue;
        if (const Win32Result removed = RemoveFile(file.backup); !removed) {
            return Refused(file, "its old backup cannot be removed", removed);
        }
    }
    // An update whose files are all current has no temporary directory yet.
    ::CreateDirectoryA(values.TempDirectory().c_str(), nullptr);
    const std::string journalPath = JournalPath(values);
    if (const Win32Result written = WriteJournal(journalPath, journal); !written) {
        LogLine("could not write the installation journal %s (error %lu)", journalPath.c_str(), written.Code());
        ::DeleteFileA(journalPath.c_str());
        return false;
    }
    KESTROVA_INSTALL_STEP("journal");
    FileRecords installedRecords = known.current;
    const bool installed = Complete(values, journal, *digests, known.arrived, &installedRecords);
    // A roll-back that could not finish keeps its journal for the next start.
    if (installed || RollBack(values, journal)) ::DeleteFileA(journalPath.c_str());
    if (installed && records != nullptr) *records = std::move(installedRecords);
    return installed;
}

void RemoveTemporaryDirectory(const UpdaterValues& values) {
    if (FileExists(JournalPath(values))) {
        LogLine("the temporary directory stays: the next start finishes the roll-back");
        return;
    }
    RemoveTree(values.TempDirectory().c_str());
}

void RecoverInterruptedInstallation(const UpdaterValues& values) {
    const std::string journalPath = JournalPath(values);
    if (!FileExists(journalPath)) return;
    const std::optional<InstallJournal> journal = ReadJournal(journalPath);
    bool settled = true;
    const auto installable = [](const JournalEntry& entry) { return InstallationNameRefusal(entry.name) == nullptr; };
    if (!journal) {
        LogLine("an interrupted installation had touched no file yet; its journal is discarded");
    } else if (const auto refused = std::find_if_not(journal->entries.begin(), journal->entries.end(), installable);
               refused != journal->entries.end()) {
        // No installation writes such a name, so nothing it names is touched; the files it
        // names plainly go back to what they were, as far as they can.
        LogLine("the journal of an interrupted installation names \"%s\", %s: nothing of it is installed",
                refused->name.c_str(), InstallationNameRefusal(refused->name));
        InstallJournal plainOnly{journal->version, {}};
        std::copy_if(journal->entries.begin(), journal->entries.end(), std::back_inserter(plainOnly.entries),
                     installable);
        if (!RollBack(values, plainOnly)) LogLine("the roll-back is not complete; the journal goes all the same");
    } else if (const std::optional<ListedDigests> digests = LoadDigests(values, journal->version); !digests) {
        // Whoever could write the temporary directory could have written the journal too.
        LogLine("an interrupted installation of version \"%s\" found without its signed list: nothing of it is "
                "installed",
                journal->version.c_str());
        settled = RollBack(values, *journal);
    } else {
        // Every new file is verified and on the disk, so finishing needs nothing from the
        // server; only when that fails does the old version come back. A build with keys
        // checks each file against the signed list again.
        LogLine("an interrupted installation of version \"%s\" found: completing it", journal->version.c_str());
        // Its files are recorded at the next installation; until then they are hashed.
        FileRecords unused;
        settled = Complete(values, *journal, *digests, FileRecords(), &unused) || RollBack(values, *journal);
    }
    if (!settled) {
        LogLine("the roll-back is not complete; the next start tries again");
        return;
    }
    ::DeleteFileA(journalPath.c_str());
    RemoveTree(values.TempDirectory().c_str());
}

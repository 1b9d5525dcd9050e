#pragma once
// The installation of verified files: each is moved from the temporary directory into
// the installation folder (a rename, not a second write of the data), so that at every
// instant each name holds a complete file, the old one or the new one. A journal in the
// temporary directory, on the disk before the first file is touched, lets the next start
// bring the whole installation back to one version after a crash.

#include "updater/installed_records.h"
#include "updater/process_values.h"

#include <string>
#include <vector>

// Names in the temporary directory that the installation writes itself.
inline constexpr char kJournalFileName[] = "install.journal";
inline constexpr char kNewSettingsFileName[] = "sys.ini.new";
// Whether no update entry may use the name: those two, the signed list a build with keys
// keeps beside the journal (updater/kept_list.h), and the installation's records in its
// folder (updater/installed_records.h).
bool IsInstallationWorkFile(const std::string& name);
// Why a name may not be installed (it could place a file anywhere, open a device, or
// overwrite the installation's own work), or null when it may: the rule for the update
// list's names and for every name a journal holds.
const char* InstallationNameRefusal(const std::string& name);

// Moves each named file of the temporary directory into the installation (a replaced
// file stays as its name followed by "bak"), then records the server's version in
// "sys.ini", replacing that file in one step. On any failure every file is put back as
// it was (files new to the installation go again) and nothing is recorded. An empty list
// only records the version. A build with keys installs only files whose bytes match the
// signed list kept in the temporary directory, each checked and moved through one handle
// that lets no one write it; a file whose identity is the one it had when it arrived has
// the digests it arrived with and is not read again. Once installed, records (when given)
// get every current and every new file for SaveInstalledRecords. True when installed.
bool InstallFiles(const UpdaterValues& values, const std::vector<std::string>& names, const KnownFiles& known = {},
                  FileRecords* records = nullptr);

// Deletes the temporary directory, unless a journal there still has files to put back.
void RemoveTemporaryDirectory(const UpdaterValues& values);

// At start-up, before anything else touches the installation: an installation that a
// crash interrupted is completed with the verified files it left, or rolled back when that
// fails; then the temporary directory goes. Nothing happens without a journal. A journal
// naming anything but plain file names was not written by an installation: nothing of it
// is installed, its other files are put back, and it goes.
void RecoverInterruptedInstallation(const UpdaterValues& values);

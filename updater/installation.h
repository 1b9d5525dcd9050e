#pragma once
// The installation of verified files: each is moved from the temporary directory into
// the installation folder (a rename, not a second write of the data), so that at every
// instant each name holds a complete file, the old one or the new one. A journal in the
// temporary directory, on the disk before the first file is touched, lets the next start
// bring the whole installation back to one version after a crash.

#include "updater/process_values.h"

#include <string>
#include <vector>

// Names in the temporary directory that the installation writes itself; no update entry
// may use them.
inline constexpr char kJournalFileName[] = "install.journal";
inline constexpr char kNewSettingsFileName[] = "sys.ini.new";
bool IsInstallationWorkFile(const std::string& name);

// Moves each named file of the temporary directory into the installation (a replaced
// file stays as its name followed by "bak"), then records the server's version in
// "sys.ini", replacing that file in one step. On any failure every file is put back as
// it was (files new to the installation go again) and nothing is recorded. An empty list
// only records the version. True when installed.
bool InstallFiles(const UpdaterValues& values, const std::vector<std::string>& names);

// Deletes the temporary directory, unless a journal there still has files to put back.
void RemoveTemporaryDirectory(const UpdaterValues& values);

// At start-up, before anything else touches the installation: an installation that a
// crash interrupted is completed with the verified files it left, or rolled back when that
// fails; then the temporary directory goes. Nothing happens without a journal.
void RecoverInterruptedInstallation(const UpdaterValues& values);

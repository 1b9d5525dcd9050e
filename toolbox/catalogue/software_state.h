#pragma once
// Whether a software entry's package is downloaded, its program installed, and the
// installed copy older than the catalogue's.

#include "skin/catalogue_records.h"
#include "toolbox/catalogue/installed_programs.h"

#include <string>
#include <vector>

// Sets entry's state, uninstallString, installLocation and installedVersion.
// packageNames: the bare file names in the package directory.
void DecideSoftwareState(const std::vector<InstalledProgram>& programs, const std::vector<std::string>& packageNames,
                         DuiSoft& entry);

// Whether the program's display name names the entry: entry name found at position 0 to 10.
bool ProgramMatchesEntry(const InstalledProgram& program, const std::string& entryName);

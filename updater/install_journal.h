#pragma once
// The installation's record, kept in the temporary directory beside the new files. It is
// on the disk before the first installed file is touched, so that a start after a crash
// or a power cut knows which files to finish or to put back.

#include "shared/win32_result.h"

#include <optional>
#include <string>
#include <vector>

struct JournalEntry {
    std::string name;
    bool replacesFile = false;  // false: the file is new to the installation
};

struct InstallJournal {
    std::string version;  // what "sys.ini" records once every file is in place
    std::vector<JournalEntry> entries;
};

// Written and flushed to the disk; a failure means it is not there in full.
Win32Result WriteJournal(const std::string& path, const InstallJournal& journal);
// Nothing when the file is missing or incomplete: a journal cut short was being written,
// and no installed file had been touched yet.
std::optional<InstallJournal> ReadJournal(const std::string& path);

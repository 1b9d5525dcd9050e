#pragma once
// A temporary installation folder for the updater's tests: the stand-in program as
// "Veltrin.exe", a "sys.ini" on request, and every stand-in started from the folder ended
// when the folder goes.

#include "shared/unique_handle.h"
#include "tests/support/pattern_bytes.h"
#include "tests/support/programs.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

#include <windows.h>

#include <string>
#include <vector>

class InstallFolder : public TempDir {
public:
    InstallFolder();
    ~InstallFolder();

    std::string MainProgramPath() const { return Child("Veltrin.exe"); }
    std::string TempDirectory() const { return Child("uploadtemp"); }

    void WriteSettings(const std::string& version) const;
    // The built updater variant as "Morvane.exe", with the skin library and archive it loads.
    bool PlaceUpdater(const std::string& builtVariant) const;
    // "Ver" of section "Soft" as the file holds it, or "<missing>".
    std::string RecordedVersion() const;

    // Copies the stand-in into the folder under another name and starts it there.
    UniqueKernelHandle StartStandInAs(const std::string& name, const std::string& arguments = "") const;

    // Process ids recorded by starts of the stand-in named name (default "Veltrin.exe").
    std::vector<DWORD> Starts(const std::string& name = "Veltrin.exe") const;
    bool WaitForStarts(size_t count, DWORD timeoutMilliseconds = 20000, const std::string& name = "Veltrin.exe") const;
    // Ends every program running from the folder.
    void EndStandIns() const;
};

// An entry of the update list as JSON: the content's digest (in capitals when asked) as its id.
std::string UpdateListEntry(const std::string& name, const std::string& url, const std::string& content,
                            bool capitalDigest = false);

// Writes bytes of the same length over the file's own, then sets its last-write time back:
// a change that only the change time tells.
bool RewriteKeepingLengthAndTime(const std::string& path, const std::string& bytes);

#pragma once
// A temporary installation folder for the updater's tests: the stand-in program as
// "Veltrin.exe", a "sys.ini" on request, and every stand-in started from the folder ended
// when the folder goes.

#include "shared/unique_handle.h"
#include "tests/support/temp_dir.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Polls the condition every 25 ms until it holds or the time is up; returns the condition.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMilliseconds = 20000);

// Starts a program by its path with optional arguments; empty handle on failure.
UniqueKernelHandle StartProgram(const std::string& path, const std::string& arguments = "");
// Exit code of a process that ends within the time; -1 when it does not.
long WaitForExitCode(HANDLE process, DWORD timeoutMilliseconds);

class InstallFolder {
public:
    InstallFolder();
    ~InstallFolder();
    InstallFolder(const InstallFolder&) = delete;
    InstallFolder& operator=(const InstallFolder&) = delete;

    const std::string& Path() const { return dir_.Path(); }
    std::string Child(const std::string& name) const { return dir_.Child(name); }
    std::string MainProgramPath() const { return Child("Veltrin.exe"); }
    std::string TempDirectory() const { return Child("uploadtemp"); }

    void WriteSettings(const std::string& version) const;
    // "Ver" of section "Soft" as the file holds it, or "<missing>".
    std::string RecordedVersion() const;

    // Copies the stand-in into the folder under another name and starts it there.
    UniqueKernelHandle StartStandInAs(const std::string& name, const std::string& arguments = "") const;

    // Process ids recorded by starts of the stand-in named name (default "Veltrin.exe").
    std::vector<DWORD> Starts(const std::string& name = "Veltrin.exe") const;
    bool WaitForStarts(size_t count, DWORD timeoutMilliseconds = 20000, const std::string& name = "Veltrin.exe") const;
    // Ends every program running from the folder.
    void EndStandIns() const;

private:
    TempDir dir_;
};

std::string StandInProgramPath();

// Digest of the bytes as 32 lowercase hexadecimal digits.
std::string Md5Of(const std::string& bytes);
// count bytes of a fixed pattern that differs with seed.
std::string PatternBytes(size_t count, int seed);

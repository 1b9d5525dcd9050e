#pragma once
// The catalogue entries the row controls draw. Both the programs and the skin library
// compile this one definition, with the same compiler and C++ runtime.

#include "skin/skin_api.h"

#include <atomic>
#include <cstdint>
#include <string>

// Local state of a software entry; read by download workers while the window changes it.
enum SoftwareState : int32_t {
    NotDownloaded = 0,
    Downloaded = 1,
    Installed = 2,
    UpdateAvailable = 3,
    Downloading = 4,
};

// Where a software entry's installed program was found in the registry; its version and
// program locators are read in the same place.
enum RegistryView : int32_t {
    MachineView32 = 0,  // HKEY_LOCAL_MACHINE as 32-bit programs see it
    MachineView64 = 1,  // HKEY_LOCAL_MACHINE as 64-bit programs see it
    UserView = 2,       // HKEY_CURRENT_USER
};

// A row control owns its record and frees it with itself. The records count themselves in
// the library, whichever module creates them, so tests can see that none is left behind.
struct SKIN_API DuiSoft {
    DuiSoft();
    ~DuiSoft();
    DuiSoft(const DuiSoft&) = delete;
    DuiSoft& operator=(const DuiSoft&) = delete;

    std::string oldVer;       // "subkey:value" locating the installed version
    std::string viewName;
    std::string execName;     // "subkey:value[:suffix]" locating the installed program
    int32_t reserved1 = 0;
    std::string iconPath;     // local icon file, or empty
    std::string name;
    std::string content;
    float score = 0.0f;
    std::string reserved2;
    std::string size;
    std::atomic<int32_t> state{NotDownloaded};
    std::string downName;
    std::string url;
    std::string uninstallString;
    std::string date;
    std::string ver;
    std::string installedVersion;
    std::string installLocation;
    int32_t registryView = MachineView32;  // a RegistryView
    // What a signed catalogue names (empty and -1 in an unsigned one): the package's
    // SHA-256 (64 lowercase hexadecimal digits) and exact length, and the icon's SHA-256.
    std::string sha256;
    int64_t bytes = -1;
    std::string iconSha256;
};

struct SKIN_API DuiFile {
    DuiFile();
    DuiFile(const DuiFile& other);
    DuiFile& operator=(const DuiFile& other) = default;
    ~DuiFile();

    std::string id;
    std::string name;
    int32_t type = 0;  // 0 and 10: folder; 1: document
    std::string url;
    int32_t reserved[2] = {0, 0};
    // What a signed catalogue names for a document (empty and -1 in an unsigned one).
    std::string sha256;
    int64_t bytes = -1;
};

// Records alive right now.
SKIN_API long LiveDuiSoftCount();
SKIN_API long LiveDuiFileCount();

#pragma once
// What the catalogues need from the main program's process-wide values, and the
// folders below the installation directory where downloads land.

#include <windows.h>

#include <string>

struct CatalogueContext {
    std::string installDir;     // no trailing separator
    std::string serverBaseUrl;  // scheme and host, no trailing slash
    std::string taxCode;
    HWND messageOwner = nullptr;  // owns the boxes a load shows (the main window)
    // The maker's public keys that must have signed the catalogues (comma-separated);
    // empty: catalogues are not signed, and nothing of theirs is verified.
    std::string keys{};

    bool Signed() const { return !keys.empty(); }
};

inline std::string PackageDirectory(const CatalogueContext& context) { return context.installDir + "\\soft"; }
inline std::string DocumentDirectory(const CatalogueContext& context) { return context.installDir + "\\file"; }

#pragma once
// The main program's process-wide values. Start-up fills them on the window thread before
// any window or worker exists; afterwards only the window thread changes them.

#include <windows.h>

#include <string>

class GG;

struct ToolboxValues {
    std::string InstallDir;  // directory of the running executable, no trailing separator
    std::string TaxCode;     // the value of every "tax=" query parameter

    // Server base URL (scheme and host, no trailing slash) and the request prefixes built
    // from it; every request is a prefix + TaxCode + what the caller appends.
    std::string ServerBaseUrl;
    std::string StatusUrlPrefix;        // "/S?tax="
    std::string SoftwareUrlPrefix;      // "/F?tax="
    std::string DocumentUrlPrefix;      // "/D?tax="
    std::string AnnouncementUrlPrefix;  // "/GG.html?tax="
    std::string HomeUrlPrefix;          // "/new.html?tax="
    std::string LinksUrlPrefix;         // "/url.html?tax="
    // The tax portal of another site, opened in the user's default browser.
    std::string PortalUrl;
    // The maker's public keys (X||Y, 128 hexadecimal digits each, comma-separated) that
    // must have signed the catalogues, the update lists' keys; empty: catalogues are not signed.
    std::string CatalogueKeys;

    HWND MainWindowHandle = nullptr;
    GG* AnnouncementWindow = nullptr;
    HWND AnnouncementWindowHandle = nullptr;
    // Set the first time the status check decides to show the announcement; never reset.
    bool AnnouncementShown = false;

    // Rebuilds every request prefix from another base URL.
    void SetServerBaseUrl(const std::string& baseUrl);
};

// The values, with the server and portal addresses and the keys fixed at build time.
ToolboxValues& Toolbox();

// Paths below the installation directory.
std::string PackageDirectory();   // InstallDir + "\soft"
std::string DocumentDirectory();  // InstallDir + "\file"

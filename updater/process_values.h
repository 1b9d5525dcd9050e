#pragma once
// The updater's process-wide values. Start-up writes them on the only thread before the
// update window exists; the window, its worker and the installation only read them.

#include <string>

struct UpdaterValues {
    std::string InstallDir;     // directory of the running executable, no trailing separator
    std::string ServerVersion;  // the server's version text, trailing CR and LF dropped
    std::string VersionUrl;     // server base URL + "/V"
    std::string UpdateListUrl;  // server base URL + "/U"
    std::string SignatureUrl;   // server base URL + "/U.sig"
    // The maker's public keys (X||Y, 128 hexadecimal digits each, comma-separated) that
    // must have signed an update list; empty: updates are not signed.
    std::string UpdateKeys;

    // Paths below the installation directory.
    std::string SettingsFile() const { return InstallDir + "\\sys.ini"; }
    std::string MainProgram() const;
    std::string TempDirectory() const { return InstallDir + "\\uploadtemp"; }
};

// The URLs start from the server address fixed at build time, and the keys are fixed
// there too: this file is the only one built with them, so a program built for another
// server or key is the same logic with another copy of this one object.
UpdaterValues& Updater();

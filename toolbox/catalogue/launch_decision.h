#pragma once
// How an installed program that a catalogue entry locates may be started. The toolbox
// runs as administrator; a path that anyone but an administrator could have written, or
// that server text could steer, must never be started with its rights.

#include "skin/catalogue_records.h"

#include <string>

enum class LaunchRoad {
    Elevated,  // with the toolbox's own rights
    AsUser,    // through the desktop shell, with the user's own rights
    Refused,   // not at all
};

struct LaunchDecision {
    LaunchRoad road = LaunchRoad::Refused;
    std::string path;               // what is started
    const char* refusal = nullptr;  // why not, when refused
};

// registryText: the value that the locator read in view; suffix: the locator's third piece
// (server text, may be empty). Elevated only for a value of HKEY_LOCAL_MACHINE that is a
// local absolute path on a fixed drive, a suffix without "..", ":" or a leading "\", a
// final path inside the value's folder, and an existing file. A value of the user's own
// registry goes to the shell with the user's rights.
LaunchDecision DecideLaunch(RegistryView view, const std::string& registryText, const std::string& suffix);

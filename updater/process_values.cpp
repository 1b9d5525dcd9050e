#include "updater/process_values.h"

#include "shared/process.h"

#ifndef KESTROVA_SERVER_URL
#error "KESTROVA_SERVER_URL (scheme and host of the maker's server) is set by the build"
#endif
#ifndef KESTROVA_UPDATE_KEY
#error "KESTROVA_UPDATE_KEY (the maker's public keys, or empty for unsigned updates) is set by the build"
#endif

std::string UpdaterValues::MainProgram() const { return InstallDir + "\\" + kMainProgramExeName; }

UpdaterValues& Updater() {
    static UpdaterValues values{"",
                                "",
                                KESTROVA_SERVER_URL "/V",
                                KESTROVA_SERVER_URL "/U",
                                KESTROVA_SERVER_URL "/U.sig",
                                KESTROVA_UPDATE_KEY};
    return values;
}

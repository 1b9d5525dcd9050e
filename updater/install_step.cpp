#include "updater/install_step.h"

#include "shared/diagnostic_log.h"

#include <windows.h>

void EndIfAskedAtStep(const char* step, const std::string& file) {
    char asked[512] = {};
    const DWORD length = ::GetEnvironmentVariableA("KESTROVA_INSTALL_FAULT", asked, sizeof(asked));
    if (length == 0 || length >= sizeof(asked)) return;
    const std::string here = file.empty() ? std::string(step) : std::string(step) + ":" + file;
    if (here != asked) return;
    LogLine("ending the process at installation step %s, as the test asked", here.c_str());
    ::TerminateProcess(::GetCurrentProcess(), kEndedAtStepExitCode);
}

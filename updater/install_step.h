#pragma once
// Test builds only (the CMake option KESTROVA_INSTALL_FAULTS): the updater ends itself at
// the installation step that the environment variable KESTROVA_INSTALL_FAULT names, so
// that tests can see what the next start makes of every state a crash can leave. Without
// the option the steps compile to nothing.

#include <string>

#ifdef KESTROVA_INSTALL_FAULTS
// The exit code of a process that ended itself at a step.
inline constexpr unsigned kEndedAtStepExitCode = 86;
// Ends the process at once when the variable is "step" (no file) or "step:file".
void EndIfAskedAtStep(const char* step, const std::string& file = std::string());
#define KESTROVA_INSTALL_STEP(...) EndIfAskedAtStep(__VA_ARGS__)
#else
#define KESTROVA_INSTALL_STEP(...) ((void)0)
#endif

#pragma once
// Registers the updater's logon task (shared/logon_task.h) with the Task Scheduler at every
// start, next to the Run value: it also repairs a task that was deleted or points at an
// older installation folder.

#include <string>

// Creates or replaces the task for the updater in installDir. Initialises COM for the
// call when the thread has not. False on any failure, which the caller may ignore: the
// toolbox runs without it.
bool RegisterLogonTask(const std::string& installDir);

#pragma once
// Registers the updater's logon task (shared/logon_task.h) with the Task Scheduler when it
// is missing, next to the Run value. A task that is there is the installer's, or an
// administrator's choice, and is never changed: a copy started once from a Downloads
// folder must not point every user's logon at it.

#include <string>

enum class LogonTaskRegistration {
    Created,
    AlreadyThere,  // left as it is, wherever it points
    Failed,        // the toolbox runs without it
};

// Creates the task for the updater in installDir unless a task of that name exists.
// Initialises COM for the call when the thread has not.
LogonTaskRegistration RegisterLogonTask(const std::string& installDir);

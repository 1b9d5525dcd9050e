#pragma once
// The Task Scheduler's root folder as the tests see it. Wine's "schtasks /query" reports
// success for any name, so existence is asked through ITaskFolder::GetTask.

#include <string>

// Whether a task of that name is registered.
bool ScheduledTaskExists(const wchar_t* name);
// Removes the task when there is one; true when none is left.
bool RemoveScheduledTask(const wchar_t* name);
// Registers a task from its definition, replacing one of that name, as an administrator may have.
bool RegisterScheduledTask(const wchar_t* name, const std::wstring& xml);
// The task's definition as the scheduler gives it back (Wine keeps its registration
// information, not its triggers or actions); empty when there is none.
std::wstring ScheduledTaskXml(const wchar_t* name);

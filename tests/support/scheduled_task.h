#pragma once
// The Task Scheduler's root folder as the tests see it. Wine's "schtasks /query" reports
// success for any name, so existence is asked through ITaskFolder::GetTask.

// Whether a task of that name is registered.
bool ScheduledTaskExists(const wchar_t* name);
// Removes the task when there is one; true when none is left.
bool RemoveScheduledTask(const wchar_t* name);

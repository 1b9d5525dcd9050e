#pragma once
// The Task Scheduler task that starts the updater at every logon. Windows with UAC on
// skips Run-key entries of programs that ask for administrator rights, so the Run value
// alone never starts the updater there; a logon task with the highest available run
// level does. The installer and the toolbox register the same definition.

#include <string>

inline constexpr wchar_t kLogonTaskName[] = L"Kestrova Updater";
// Members of Users (BUILTIN\Users): the task runs at the logon of any of them.
inline constexpr wchar_t kLogonTaskGroupSid[] = L"S-1-5-32-545";

// The task definition for the updater of the installation in installDir (an ANSI text,
// no trailing separator), as UTF-16 text without a byte-order mark: what the Task
// Scheduler's own interface takes.
std::wstring LogonTaskXml(const std::string& installDir);

// The same definition as the bytes of an XML file: a UTF-16LE byte-order mark, then the
// text in UTF-16LE, which is how "schtasks /create /xml" reads it whatever the paths hold.
std::string LogonTaskXmlFile(const std::string& installDir);

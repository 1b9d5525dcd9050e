#include "shared/logon_task.h"

#include "shared/text.h"

#include <windows.h>

namespace {

// Text for element content or an attribute value: a folder may be named "R&D".
std::wstring XmlEscaped(const std::wstring& text) {
    std::wstring escaped;
    escaped.reserve(text.size());
    for (const wchar_t c : text) {
        switch (c) {
            case L'&': escaped += L"&amp;"; break;
            case L'<': escaped += L"&lt;"; break;
            case L'>': escaped += L"&gt;"; break;
            case L'"': escaped += L"&quot;"; break;
            case L'\'': escaped += L"&apos;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

}  // namespace

std::wstring LogonTaskXml(const std::string& installDir) {
    const std::wstring folder = AnsiToWide(installDir);
    // Quoted, so that a folder with spaces cannot be read as a shorter program. Started in
    // its folder, as from the shortcut: the main program it starts saves a file there.
    const std::wstring command = L"\"" + folder + L"\\Morvane.exe\"";
    // A logon trigger without a user fires for everyone the principal's group covers.
    // The task's defaults would stop the updater on battery power and after three days,
    // and start it (and the main program it starts) at below-normal priority: all off.
    return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
           L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
           L"  <RegistrationInfo>\r\n"
           L"    <Author>Kestrova</Author>\r\n"
           L"  </RegistrationInfo>\r\n"
           L"  <Triggers>\r\n"
           L"    <LogonTrigger>\r\n"
           L"      <Enabled>true</Enabled>\r\n"
           L"    </LogonTrigger>\r\n"
           L"  </Triggers>\r\n"
           L"  <Principals>\r\n"
           L"    <Principal id=\"Author\">\r\n"
           L"      <GroupId>" + std::wstring(kLogonTaskGroupSid) + L"</GroupId>\r\n"
           L"      <RunLevel>HighestAvailable</RunLevel>\r\n"
           L"    </Principal>\r\n"
           L"  </Principals>\r\n"
           L"  <Settings>\r\n"
           L"    <MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>\r\n"
           L"    <DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>\r\n"
           L"    <StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>\r\n"
           L"    <Enabled>true</Enabled>\r\n"
           L"    <ExecutionTimeLimit>PT0S</ExecutionTimeLimit>\r\n"
           L"    <Priority>4</Priority>\r\n"
           L"  </Settings>\r\n"
           L"  <Actions Context=\"Author\">\r\n"
           L"    <Exec>\r\n"
           L"      <Command>" + XmlEscaped(command) + L"</Command>\r\n"
           L"      <WorkingDirectory>" + XmlEscaped(folder + L"\\") + L"</WorkingDirectory>\r\n"
           L"    </Exec>\r\n"
           L"  </Actions>\r\n"
           L"</Task>\r\n";
}

std::string LogonTaskXmlFile(const std::string& installDir) {
    const std::wstring text = L"\xFEFF" + LogonTaskXml(installDir);
    std::string bytes;
    bytes.reserve(text.size() * 2);
    for (const wchar_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>((unit >> 8) & 0xFF);
    }
    return bytes;
}

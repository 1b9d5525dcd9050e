#include "tests/updater/install_folder.h"

#include <tlhelp32.h>

#include <cctype>
#include <cstring>
#include <sstream>

InstallFolder::InstallFolder() {
    ::CopyFileA(StandInProgramPath().c_str(), MainProgramPath().c_str(), FALSE);
}

InstallFolder::~InstallFolder() { EndStandIns(); }

void InstallFolder::WriteSettings(const std::string& version) const {
    WriteFileBytes(Child("sys.ini"), "[Soft]\r\nVer=" + version + "\r\n");
}

bool InstallFolder::PlaceUpdater(const std::string& builtVariant) const {
    if (!::CopyFileA(BuiltFile(builtVariant).c_str(), Child("Morvane.exe").c_str(), FALSE)) return false;
    for (const char* name : {"KestrovaSkin.dll", "upload.zip"}) {
        if (!::CopyFileA(BuiltFile(name).c_str(), Child(name).c_str(), FALSE)) return false;
    }
    return true;
}

std::string InstallFolder::RecordedVersion() const {
    if (!PathExists(Child("sys.ini"))) return "<missing>";
    std::istringstream lines(ReadFileBytes(Child("sys.ini")));
    std::string line;
    bool inSoft = false;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line.front() == '[') {
            inSoft = line == "[Soft]";
        } else if (inSoft && line.rfind("Ver=", 0) == 0) {
            return line.substr(4);
        }
    }
    return "<missing>";
}

UniqueKernelHandle InstallFolder::StartStandInAs(const std::string& name, const std::string& arguments) const {
    const std::string path = Child(name);
    if (!PathExists(path)) ::CopyFileA(StandInProgramPath().c_str(), path.c_str(), FALSE);
    const size_t before = Starts(name).size();
    UniqueKernelHandle process = StartProgram(path, arguments);
    if (process) WaitForStarts(before + 1, 20000, name);
    return process;
}

std::vector<DWORD> InstallFolder::Starts(const std::string& name) const {
    std::vector<DWORD> ids;
    std::istringstream lines(ReadFileBytes(Child(name) + ".started"));
    unsigned long id = 0;
    while (lines >> id) ids.push_back(id);
    return ids;
}

bool InstallFolder::WaitForStarts(size_t count, DWORD timeoutMilliseconds, const std::string& name) const {
    return WaitUntil([&] { return Starts(name).size() >= count; }, timeoutMilliseconds);
}

void InstallFolder::EndStandIns() const {
    // By image path rather than by the recorded ids: a copy started a moment ago may not
    // have recorded itself yet, and must not outlive the test with its window.
    std::string prefix = Path() + "\\";
    UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more; more = ::Process32Next(snapshot.get(), &entry)) {
        UniqueKernelHandle process(
            ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
        if (!process) continue;
        char image[MAX_PATH];
        DWORD length = MAX_PATH;
        if (!::QueryFullProcessImageNameA(process.get(), 0, image, &length)) continue;
        if (length <= prefix.size() || ::_strnicmp(image, prefix.c_str(), prefix.size()) != 0) continue;
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), 5000);
    }
}

std::string UpdateListEntry(const std::string& name, const std::string& url, const std::string& content,
                            bool capitalDigest) {
    std::string digest = Md5Of(content);
    if (capitalDigest) {
        for (char& c : digest) c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
    }
    return "{\"id\":\"" + digest + "\",\"name\":\"" + name + "\",\"url\":\"" + url + "\"}";
}

bool RewriteKeepingLengthAndTime(const std::string& path, const std::string& bytes) {
    UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    FILETIME lastWrite{};
    LARGE_INTEGER size{};
    DWORD written = 0;
    if (!file || !::GetFileTime(file.get(), nullptr, nullptr, &lastWrite) || !::GetFileSizeEx(file.get(), &size) ||
        static_cast<size_t>(size.QuadPart) != bytes.size()) {
        return false;
    }
    ::Sleep(20);  // a later change time than the file had, whatever the clock's grain
    return ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && ::SetFileTime(file.get(), nullptr, nullptr, &lastWrite);
}

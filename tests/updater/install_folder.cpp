#include "tests/updater/install_folder.h"

#include "shared/md5.h"

#include <tlhelp32.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <thread>

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMilliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return condition();
}

UniqueKernelHandle StartProgram(const std::string& path, const std::string& arguments) {
    std::string commandLine = "\"" + path + "\"";
    if (!arguments.empty()) commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    // The wine server has been seen to refuse a start now and then under load; one more try,
    // and the reason on record, keep such a hiccup from passing for a fault of the program.
    for (int attempt = 0;; ++attempt) {
        if (::CreateProcessA(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info)) {
            break;
        }
        std::fprintf(stderr, "CreateProcess(%s) failed: error %lu\n", path.c_str(), ::GetLastError());
        if (attempt == 1) return UniqueKernelHandle();
        ::Sleep(500);
    }
    UniqueKernelHandle thread(info.hThread);
    return UniqueKernelHandle(info.hProcess);
}

long WaitForExitCode(HANDLE process, DWORD timeoutMilliseconds) {
    if (process == nullptr || ::WaitForSingleObject(process, timeoutMilliseconds) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    if (!::GetExitCodeProcess(process, &code)) return -1;
    return static_cast<long>(code);
}

std::string StandInProgramPath() { return TestProgramDir() + "\\kestrova_stand_in.exe"; }

InstallFolder::InstallFolder() {
    ::CopyFileA(StandInProgramPath().c_str(), MainProgramPath().c_str(), FALSE);
}

InstallFolder::~InstallFolder() { EndStandIns(); }

void InstallFolder::WriteSettings(const std::string& version) const {
    WriteFileBytes(Child("sys.ini"), "[Soft]\r\nVer=" + version + "\r\n");
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

std::string Md5Of(const std::string& bytes) {
    TempDir dir;
    WriteFileBytes(dir.Child("bytes"), bytes);
    return FileMd5(dir.Child("bytes")).value_or("");
}

std::string PatternBytes(size_t count, int seed) {
    std::string bytes(count, '\0');
    unsigned value = 2166136261u ^ static_cast<unsigned>(seed);
    for (size_t i = 0; i < count; ++i) {
        value = value * 16777619u + 13u;
        bytes[i] = static_cast<char>(value >> 24);
    }
    return bytes;
}

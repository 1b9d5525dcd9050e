#include "shared/process.h"

#include "shared/unique_handle.h"
#include "tests/support/programs.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>
#include <utility>

namespace {

// A copy of the stand-in program started under the given file name.
class RunningCopy {
public:
    RunningCopy(const std::string& dir, const std::string& name) : m_path(dir + "\\" + name) {
        ::CreateDirectoryA(dir.c_str(), nullptr);
        if (!::CopyFileA(StandInProgramPath().c_str(), m_path.c_str(), FALSE)) return;
        m_process = StartProgram(m_path, "--windowless");
        if (m_process) {
            m_id = ::GetProcessId(m_process.get());
            WaitUntil([&] { return PathExists(m_path + ".started"); });
        }
    }
    ~RunningCopy() {
        if (m_process && IsRunning()) ::TerminateProcess(m_process.get(), 1);
        if (m_process) ::WaitForSingleObject(m_process.get(), 5000);
    }
    DWORD Id() const { return m_id; }
    bool IsRunning() const { return ::WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT; }
    bool EndsWithCode(DWORD expected) const {
        if (::WaitForSingleObject(m_process.get(), 10000) != WAIT_OBJECT_0) return false;
        DWORD code = 999;
        return ::GetExitCodeProcess(m_process.get(), &code) && code == expected;
    }

private:
    std::string m_path;
    UniqueKernelHandle m_process;
    DWORD m_id = 0;
};

// Both programs' install folder: the path up to its last separator of either kind.
TEST(InstallDir, IsThePathUpToItsLastSeparator) {
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\Program Files\\Kestrova\\Morvane.exe", "C:\\Program Files\\Kestrova"},
        {"C:/Kestrova/bin/Morvane.exe", "C:/Kestrova/bin"},
        {"C:\\Kestrova/Morvane.exe", "C:\\Kestrova"},
        {"C:/Kestrova\\Morvane.exe", "C:/Kestrova"},
        {"Morvane.exe", "Morvane.exe"},
        {"C:\\Program Files\\Kestrova\\Veltrin.exe", "C:\\Program Files\\Kestrova"},
        {"C:/Kestrova/Veltrin.exe", "C:/Kestrova"},
        {"C:\\a/b\\Veltrin.exe", "C:\\a/b"},
        {"C:\\a\\b/Veltrin.exe", "C:\\a\\b"},
        {"D:\\Veltrin.exe", "D:"},
        {"Veltrin.exe", "Veltrin.exe"},  // no separator: the whole path
    };
    for (const auto& [path, folder] : cases) EXPECT_EQ(InstallDirFromPath(path), folder) << path;
    EXPECT_EQ(ProgramFolder(), TestProgramDir());
}

TEST(MainProgramProcesses, OnlyTheExactNameIsFoundAndEnded) {
    TempDir dir;
    RunningCopy shouting(dir.Child("upper"), "VELTRIN.EXE");
    ASSERT_NE(shouting.Id(), 0u);
    ASSERT_TRUE(shouting.IsRunning());
    EXPECT_EQ(FindProcessByName(kMainProgramExeName), 0u);
    EXPECT_FALSE(TerminateProcessesByName(kMainProgramExeName));

    RunningCopy first(dir.Child("one"), "Veltrin.exe");
    RunningCopy second(dir.Child("two"), "Veltrin.exe");
    ASSERT_NE(first.Id(), 0u);
    ASSERT_NE(second.Id(), 0u);
    // Another user's session: its toolbox is neither found nor ended.
    const DWORD otherSession = CurrentSessionId() + 1;
    EXPECT_EQ(FindProcessByName(kMainProgramExeName, otherSession), 0u);
    EXPECT_FALSE(TerminateProcessesByName(kMainProgramExeName, otherSession));
    EXPECT_TRUE(first.IsRunning());
    const DWORD found = FindProcessByName(kMainProgramExeName);
    EXPECT_TRUE(found == first.Id() || found == second.Id());

    EXPECT_TRUE(TerminateProcessesByName(kMainProgramExeName));
    EXPECT_TRUE(first.EndsWithCode(0));
    EXPECT_TRUE(second.EndsWithCode(0));
    EXPECT_TRUE(shouting.IsRunning());
    EXPECT_TRUE(WaitUntil([] { return FindProcessByName(kMainProgramExeName) == 0; }));
}

TEST(RunProgram, PathWithSpacesStartsThatProgramAndNoShorterOne) {
    TempDir dir;
    const std::string program = dir.Child("my tools\\stand in.exe");
    const std::string decoy = dir.Child("my.exe");  // what an unquoted command line would start
    ASSERT_TRUE(::CreateDirectoryA(dir.Child("my tools").c_str(), nullptr));
    ASSERT_TRUE(::CopyFileA(StandInProgramPath().c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(::CopyFileA(StandInProgramPath().c_str(), decoy.c_str(), FALSE));

    EXPECT_TRUE(RunProgram(program));
    // The record exists as soon as the copy opens it; its id is there once the line ends.
    EXPECT_TRUE(WaitUntil([&] { return ReadFileBytes(program + ".started").find('\n') != std::string::npos; }));
    EXPECT_FALSE(PathExists(decoy + ".started"));

    // The started copy is ours to end: read its id from its record.
    const DWORD id = std::stoul(ReadFileBytes(program + ".started"));
    UniqueKernelHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
    ASSERT_TRUE(process);
    ::TerminateProcess(process.get(), 0);
    ::WaitForSingleObject(process.get(), 5000);
}

TEST(RunProgram, MissingProgramReportsFalse) {
    TempDir dir;
    EXPECT_FALSE(RunProgram(dir.Child("absent.exe")));
}

}  // namespace

#include "tests/support/temp_dir.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    char base[MAX_PATH];
    ::GetTempPathA(MAX_PATH, base);
    std::string root(base);
    if (!root.empty() && (root.back() == '\\' || root.back() == '/')) root.pop_back();
    for (;;) {
        m_path = root + "\\kestrova-test-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++counter);
        if (::CreateDirectoryA(m_path.c_str(), nullptr)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(std::filesystem::u8path(m_path), ignored);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool PathExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string TestProgramDir() {
    char path[MAX_PATH];
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir(path, length);
    return dir.substr(0, dir.find_last_of("\\/"));
}

std::string BuiltFile(const std::string& name) { return TestProgramDir() + "\\" + name; }

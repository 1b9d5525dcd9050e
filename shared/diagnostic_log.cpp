#include "shared/diagnostic_log.h"

#include "shared/unique_handle.h"

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

std::string TimeStamp() {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

long long FileSize(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::mutex g_programLogMutex;
// Shared, so that a line being written on a worker survives the log being opened anew.
std::shared_ptr<DiagnosticLog> g_programLog;

}  // namespace

DiagnosticLog::DiagnosticLog(std::string folder, std::string name, size_t maxBytes)
    : m_folder(std::move(folder)), m_name(std::move(name)), m_maxBytes(maxBytes) {}

void DiagnosticLog::Write(const std::string& text) {
    std::string line = TimeStamp() + " [" + std::to_string(::GetCurrentProcessId()) + "] ";
    // One entry per line, whatever the text holds.
    for (char c : text) line.push_back(c == '\r' || c == '\n' ? ' ' : c);
    line += "\r\n";

    const std::lock_guard<std::mutex> lock(m_mutex);
    ::CreateDirectoryA(m_folder.c_str(), nullptr);
    const std::string path = Path();
    if (FileSize(path) + static_cast<long long>(line.size()) > static_cast<long long>(m_maxBytes)) {
        ::MoveFileExA(path.c_str(), OldPath().c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    // Opened for each line and written in one call, so that a line is whole on disk even
    // when the process is killed right after, and no handle blocks the rotation.
    UniqueFileHandle file(::CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return;
    DWORD written = 0;
    ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

void OpenProgramLog(const std::string& installDir, const std::string& programName) {
    const std::lock_guard<std::mutex> lock(g_programLogMutex);
    g_programLog = std::make_shared<DiagnosticLog>(installDir + "\\log", programName);
}

void LogLine(const char* format, ...) {
    std::shared_ptr<DiagnosticLog> log;
    {
        const std::lock_guard<std::mutex> lock(g_programLogMutex);
        log = g_programLog;
    }
    if (log == nullptr) return;
    va_list arguments;
    va_start(arguments, format);
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length >= 0) {
        std::vector<char> text(static_cast<size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, arguments);
        log->Write(std::string(text.data(), static_cast<size_t>(length)));
    }
    va_end(arguments);
}

#pragma once
// A small log for support staff, who otherwise cannot tell why an update did not arrive
// or a download failed: one file per program in the "log" folder of the installation, a
// line per decision. It stays small (at a fixed size the file becomes the one old file
// kept, "<name>.1.log") and is never a reason to fail: its own errors are ignored.

#include <cstddef>
#include <mutex>
#include <string>

class DiagnosticLog {
public:
    static constexpr size_t kDefaultMaxBytes = 256 * 1024;

    // Lines go to folder\name.log; the folder is created when missing.
    DiagnosticLog(std::string folder, std::string name, size_t maxBytes = kDefaultMaxBytes);
    DiagnosticLog(const DiagnosticLog&) = delete;
    DiagnosticLog& operator=(const DiagnosticLog&) = delete;

    // Appends one line with the time and the process id; safe from any thread.
    void Write(const std::string& text);

    std::string Path() const { return m_folder + "\\" + m_name + ".log"; }
    std::string OldPath() const { return m_folder + "\\" + m_name + ".1.log"; }

private:
    std::mutex m_mutex;
    std::string m_folder;
    std::string m_name;
    size_t m_maxBytes;
};

// The program's log: "log\<programName>.log" in its installation folder. Until it is
// opened, lines are dropped.
void OpenProgramLog(const std::string& installDir, const std::string& programName);
// printf-style; ANSI text.
void LogLine(const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)));

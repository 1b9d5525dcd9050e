#include "tests/support/stream_capture.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <fstream>
#include <sstream>

StreamCapture::StreamCapture(FILE* stream) : m_pStream(stream) {
    char dir[MAX_PATH];
    char file[MAX_PATH];
    ::GetTempPathA(MAX_PATH, dir);
    ::GetTempFileNameA(dir, "cap", 0, file);
    m_path = file;
    std::fflush(m_pStream);
    m_savedDescriptor = ::_dup(::_fileno(m_pStream));
    const int target = ::_open(m_path.c_str(), _O_WRONLY | _O_TRUNC | _O_CREAT | _O_BINARY, 0600);
    ::_dup2(target, ::_fileno(m_pStream));
    ::_close(target);
}

StreamCapture::~StreamCapture() {
    std::fflush(m_pStream);
    if (m_savedDescriptor >= 0) {
        ::_dup2(m_savedDescriptor, ::_fileno(m_pStream));
        ::_close(m_savedDescriptor);
    }
    std::remove(m_path.c_str());
}

std::string StreamCapture::Text() const {
    std::fflush(m_pStream);
    std::ifstream in(m_path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> StreamCapture::Lines() const {
    std::vector<std::string> lines;
    std::istringstream in(Text());
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

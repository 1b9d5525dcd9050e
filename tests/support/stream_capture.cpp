#include "tests/support/stream_capture.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <fstream>
#include <sstream>

StreamCapture::StreamCapture(FILE* stream) : stream_(stream) {
    char dir[MAX_PATH];
    char file[MAX_PATH];
    ::GetTempPathA(MAX_PATH, dir);
    ::GetTempFileNameA(dir, "cap", 0, file);
    path_ = file;
    std::fflush(stream_);
    savedDescriptor_ = ::_dup(::_fileno(stream_));
    const int target = ::_open(path_.c_str(), _O_WRONLY | _O_TRUNC | _O_CREAT | _O_BINARY, 0600);
    ::_dup2(target, ::_fileno(stream_));
    ::_close(target);
}

StreamCapture::~StreamCapture() {
    std::fflush(stream_);
    if (savedDescriptor_ >= 0) {
        ::_dup2(savedDescriptor_, ::_fileno(stream_));
        ::_close(savedDescriptor_);
    }
    std::remove(path_.c_str());
}

std::string StreamCapture::Text() const {
    std::fflush(stream_);
    std::ifstream in(path_, std::ios::binary);
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

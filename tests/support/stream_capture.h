#pragma once
// Sends everything written to a C runtime stream (stdout or stderr) into a file while
// alive, so tests can read the diagnostic lines the code under test prints.

#include <cstdio>
#include <string>
#include <vector>

class StreamCapture {
public:
    explicit StreamCapture(FILE* stream);
    ~StreamCapture();
    StreamCapture(const StreamCapture&) = delete;
    StreamCapture& operator=(const StreamCapture&) = delete;

    std::string Text() const;
    std::vector<std::string> Lines() const;

private:
    FILE* m_pStream;
    int m_savedDescriptor = -1;
    std::string m_path;
};

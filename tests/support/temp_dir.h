#pragma once
// A fresh directory under the temporary folder, removed with everything in it at the end;
// the base of every folder a test arranges.

#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string Child(const std::string& name) const { return m_path + "\\" + name; }

private:
    std::string m_path;
};

// Small file helpers for arranging and checking test folders.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
bool PathExists(const std::string& path);
// The directory that holds the running test program (and its helper programs).
std::string TestProgramDir();
// A file the build put beside the test program: a program, a library, a packed skin.
std::string BuiltFile(const std::string& name);

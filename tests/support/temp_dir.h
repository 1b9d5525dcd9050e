#pragma once
// A fresh directory under the temporary folder, removed with everything in it at the end.

#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    std::string Child(const std::string& name) const { return path_ + "\\" + name; }

private:
    std::string path_;
};

// Small file helpers for arranging and checking test folders.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
bool PathExists(const std::string& path);
// The directory that holds the running test program (and its helper programs).
std::string TestProgramDir();

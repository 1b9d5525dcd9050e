#pragma once
// Copies every file of one directory over another, keeping each replaced file as its
// name followed by "bak", and puts the replaced files back when any entry fails.

#include <string>
#include <vector>

class FolderCopier {
public:
    // True when every entry was copied. On false the files replaced so far have their
    // old content again; files that did not exist before stay as written.
    bool Copy(const std::string& source, const std::string& destination);

private:
    bool CopyEntry(const std::string& name);
    void RollBack();

    std::string source_;
    std::string destination_;
    std::vector<std::string> backups_;  // of the running copy, in the order made
};

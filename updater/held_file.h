#pragma once
// A new file of the installation, held open from its check to its rename by one handle
// that lets no one else write, rename or delete it: what was hashed is what goes in.

#include "shared/unique_handle.h"

#include <optional>
#include <string>

class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    bool valid() const { return m_file.valid(); }

    // SHA-256 of the whole file as 64 lowercase hexadecimal digits, read through the handle.
    std::optional<std::string> Sha256();

    // Renames the file through the handle to target (a full path on the same volume),
    // replacing a file there when replace is set; on the disk when it returns.
    bool MoveTo(const std::string& target, bool replace);

private:
    UniqueFileHandle m_file;
};

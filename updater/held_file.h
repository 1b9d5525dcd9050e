#pragma once
// A new file of the installation, held open from its check to its rename by one handle
// that lets no one else write, rename or delete it: what was hashed is what goes in.

#include "shared/file_identity.h"
#include "shared/unique_handle.h"
#include "shared/win32_result.h"

#include <optional>
#include <string>

class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    bool valid() const { return m_file.valid(); }
    // How the open went: the code of its failure, taken as it failed.
    Win32Result Opened() const { return m_opened; }

    // The digests of the whole file, read through the handle.
    std::optional<FileDigests> Digests();
    // The file's identity now, through the handle; taken before MoveTo (through the handle
    // it was renamed under, Wine 8 gives the volume serial as 0).
    std::optional<FileIdentity> Identity() const;

    // Renames the file through the handle to target (a full path on the same volume),
    // replacing a file there when replace is set; on the disk when it returns.
    Win32Result MoveTo(const std::string& target, bool replace);

private:
    UniqueFileHandle m_file;
    Win32Result m_opened;
};

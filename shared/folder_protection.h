#pragma once
// The installation folder's protection. Both programs run as administrator from that
// folder, so whoever may write there may run code as administrator. A folder outside
// Program Files (D:\Kestrova, common in this market) inherits "Authenticated Users: Modify"
// from its drive's root: such a folder gets the protection Program Files has. The
// installer's helper applies it, the updater repairs copies already installed, and the
// toolbox registers the updater's start at logon only from a folder that has it.

#include "shared/unique_handle.h"
#include "shared/win32_result.h"

#include <windows.h>

#include <string>

using UniqueLocalSecurityDescriptor = UniqueHandle<NullableHandleTraits<PSECURITY_DESCRIPTOR, ::LocalFree>>;

// Owner Administrators, so that no earlier owner keeps the right to change it back;
// Administrators and SYSTEM full control, Users read and execute, each inherited by every
// file and folder below; protected: nothing is inherited from the folder's parent.
// Null only when the system cannot build it.
UniqueLocalSecurityDescriptor ProtectedFolderDescriptor();

// Whether a standard user may add, change, delete or re-permit something in a folder with
// this access list: through Everyone, Users, Authenticated Users or Interactive, on the
// folder itself or on what it holds (inheritable entries count). A null list lets anyone
// do anything.
bool GrantsWriteToStandardUsers(const ACL* dacl);

// What the decision needs to know of a folder.
struct FolderFacts {
    std::wstring path;              // full, on its drive letter, links followed when it exists
    bool localPath = false;         // on a drive letter: no share, no device, nothing relative
    bool driveRoot = false;         // "X:\"
    bool exists = false;
    bool underProgramFiles = false; // either view; Program Files itself counts
    bool grantsWrite = false;       // GrantsWriteToStandardUsers, or its list cannot be read
    bool empty = true;
    bool holdsKestrova = false;     // "Veltrin.exe" or "Morvane.exe" is there
};

FolderFacts ExamineFolder(const std::wstring& folder);

enum class FolderUse {
    Installing,  // the installer: every folder outside Program Files is protected
    Running,     // an installed copy: repaired when standard users may write there
};

enum class FolderProtection {
    Protected,     // nothing to do: Program Files' own, or given before
    Needed,        // the decision: it must be given
    Applied,       // given now, and read back
    NotLocal,      // refused: a share, a device or a relative path
    DriveRoot,     // refused: a drive's root holds everything else on the drive
    ForeignFiles,  // refused: it holds files of something else, whose users would lose access
    Failed,        // it could not be given, or did not hold
};

FolderProtection DecideFolderProtection(const FolderFacts& facts, FolderUse use);

// Decides and, when needed, gives the folder the protection (creating it, and its missing
// parents, when it is not there). Protected, Applied, a refusal, or Failed (*error, when
// given, then holds the failing call's result).
FolderProtection ProtectFolder(const std::wstring& folder, FolderUse use, Win32Result* error = nullptr);

// True for a copy whose folder standard users cannot write: the only kind from which the
// updater may be started at every logon.
bool IsProtectedFolder(const std::wstring& folder);

// A few words for the log: "already protected", "a drive's root", ...
const char* DescribeFolderProtection(FolderProtection protection);

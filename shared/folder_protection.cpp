#include "shared/folder_protection.h"

#include <aclapi.h>
#include <sddl.h>

#include <optional>
#include <vector>

namespace {

// Program Files' protection, the owner aside (there TrustedInstaller, which an installer
// cannot give).
constexpr wchar_t kProtectedFolderSddl[] =
    L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// What lets a user plant or replace a program or library: adding files and folders,
// writing or deleting them, and changing their permissions or owner. Attributes and
// extended attributes change no content.
constexpr ACCESS_MASK kWriteRights =
    FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER;

constexpr const wchar_t* kKestrovaPrograms[] = {L"Veltrin.exe", L"Morvane.exe"};

bool SameText(const wchar_t* a, size_t aLength, const wchar_t* b, size_t bLength) {
    return ::CompareStringOrdinal(a, static_cast<int>(aLength), b, static_cast<int>(bLength), TRUE) == CSTR_EQUAL;
}

bool IsDriveAbsolute(const std::wstring& path) {
    return path.size() >= 3 && ((path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z')) &&
           path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
}

// "X:\..." in full, without a trailing separator (the root keeps its own); nothing for a
// share, a device, a relative or a drive-relative path ("C:" names drive C's current folder).
std::optional<std::wstring> LocalFolderPath(std::wstring path) {
    constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
    if (path.compare(0, 4, kLongPrefix) == 0 && IsDriveAbsolute(path.substr(4))) path.erase(0, 4);
    if (!IsDriveAbsolute(path)) return std::nullopt;
    const DWORD length = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return std::nullopt;
    std::wstring full(length, L'\0');
    const DWORD written = ::GetFullPathNameW(path.c_str(), length, full.data(), nullptr);
    if (written == 0 || written >= length) return std::nullopt;
    full.resize(written);
    // "C:\x\CON" is the device, whatever its folder.
    if (!IsDriveAbsolute(full)) return std::nullopt;
    while (full.size() > 3 && full.back() == L'\\') full.pop_back();
    return full;
}

// Where the folder really is: a junction or link at its path leads elsewhere, perhaps to
// a drive's root or a share. The path as given when it cannot be opened.
std::optional<std::wstring> FinalFolderPath(const std::wstring& path) {
    UniqueFileHandle folder(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!folder) return path;
    const DWORD flags = FILE_NAME_NORMALIZED | VOLUME_NAME_DOS;
    const DWORD length = ::GetFinalPathNameByHandleW(folder.get(), nullptr, 0, flags);
    if (length == 0) return path;
    std::wstring final(length, L'\0');
    const DWORD written = ::GetFinalPathNameByHandleW(folder.get(), final.data(), length, flags);
    if (written == 0 || written >= length) return path;
    final.resize(written);
    return LocalFolderPath(final);
}

// Read from the machine's own registry, which only administrators change: the
// environment's %ProgramFiles% comes from the user who started the program.
std::vector<std::wstring> ProgramFilesFolders() {
    std::vector<std::wstring> folders;
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        UniqueRegistryKey key;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                            KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) {
            continue;
        }
        for (const wchar_t* name : {L"ProgramFilesDir", L"ProgramFilesDir (x86)", L"ProgramW6432Dir"}) {
            wchar_t value[MAX_PATH] = {};
            DWORD size = sizeof(value) - sizeof(wchar_t);
            DWORD type = 0;
            if (::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
                    ERROR_SUCCESS ||
                type != REG_SZ) {
                continue;
            }
            const std::optional<std::wstring> local = LocalFolderPath(value);
            if (!local || local->size() <= 3) continue;
            const std::optional<std::wstring> final = FinalFolderPath(*local);
            if (final) folders.push_back(*final);
        }
    }
    return folders;
}

bool IsUnder(const std::wstring& path, const std::wstring& folder) {
    return path.size() >= folder.size() && SameText(path.c_str(), folder.size(), folder.c_str(), folder.size()) &&
           (path.size() == folder.size() || path[folder.size()] == L'\\');
}

bool ReadGrantsWrite(const std::wstring& path) {
    PACL dacl = nullptr;
    UniqueLocalSecurityDescriptor descriptor;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, descriptor.put()) != ERROR_SUCCESS) {
        return true;  // what cannot be read cannot be trusted
    }
    return GrantsWriteToStandardUsers(dacl);
}

void ReadContents(const std::wstring& path, FolderFacts* facts) {
    const std::wstring pattern = path + (path.back() == L'\\' ? L"*" : L"\\*");
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(::FindFirstFileW(pattern.c_str(), &found));
    if (!search) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        facts->empty = false;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
        for (const wchar_t* program : kKestrovaPrograms) {
            if (SameText(name.c_str(), name.size(), program, wcslen(program))) facts->holdsKestrova = true;
        }
    } while (::FindNextFileW(search.get(), &found));
}

struct SidBuffer {
    explicit SidBuffer(WELL_KNOWN_SID_TYPE type) {
        DWORD size = sizeof(bytes);
        valid = ::CreateWellKnownSid(type, nullptr, bytes, &size) != FALSE;
    }
    PSID sid() { return bytes; }
    BYTE bytes[SECURITY_MAX_SID_SIZE] = {};
    bool valid = false;
};

// Every standard user's token holds these groups.
bool IsStandardUserGroup(PSID sid) {
    static SidBuffer groups[] = {SidBuffer(WinWorldSid), SidBuffer(WinBuiltinUsersSid),
                                 SidBuffer(WinAuthenticatedUserSid), SidBuffer(WinInteractiveSid)};
    for (SidBuffer& group : groups) {
        if (group.valid && ::EqualSid(group.sid(), sid)) return true;
    }
    return false;
}

// Whom an entry of a folder's list serves: the folder itself, the files in it (and so
// the programs), the folders below it.
enum class Scope { Folder, Files, Subfolders };

bool AppliesTo(BYTE aceFlags, Scope scope) {
    switch (scope) {
        case Scope::Folder: return (aceFlags & INHERIT_ONLY_ACE) == 0;
        case Scope::Files: return (aceFlags & OBJECT_INHERIT_ACE) != 0;
        case Scope::Subfolders: return (aceFlags & CONTAINER_INHERIT_ACE) != 0;
    }
    return false;
}

// As the system reads a list for a token holding every standard user's group: entries in
// order, a right denied before it is allowed stays denied.
bool GrantsWriteIn(const ACL* dacl, Scope scope) {
    GENERIC_MAPPING fileMapping = {FILE_GENERIC_READ, FILE_GENERIC_WRITE, FILE_GENERIC_EXECUTE, FILE_ALL_ACCESS};
    ACCESS_MASK allowed = 0;
    ACCESS_MASK denied = 0;
    for (DWORD index = 0; index < dacl->AceCount; ++index) {
        void* entry = nullptr;
        if (!::GetAce(const_cast<ACL*>(dacl), index, &entry)) return true;
        const auto* header = static_cast<const ACE_HEADER*>(entry);
        if (!AppliesTo(header->AceFlags, scope)) continue;
        // The allowed, denied and callback-allowed entries share one layout. Other kinds
        // (object, audit) say nothing of a file's access.
        const bool allows = header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_ALLOWED_CALLBACK_ACE_TYPE;
        if (!allows && header->AceType != ACCESS_DENIED_ACE_TYPE) continue;
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if (!IsStandardUserGroup(&ace->SidStart)) continue;
        ACCESS_MASK mask = ace->Mask;
        ::MapGenericMask(&mask, &fileMapping);
        if (allows) {
            allowed |= mask & ~denied;
        } else {
            denied |= mask & ~allowed;
        }
    }
    return (allowed & kWriteRights) != 0;
}

Win32Result CreateProtectedFolder(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor) {
    // Missing parents get their usual permissions: what matters is the folder itself.
    for (size_t separator = path.find(L'\\', 3); separator != std::wstring::npos;
         separator = path.find(L'\\', separator + 1)) {
        const std::wstring parent = path.substr(0, separator);
        const Win32Result made = Win32Result::Of(::CreateDirectoryW(parent.c_str(), nullptr));
        if (!made && made.Code() != ERROR_ALREADY_EXISTS) return made;
    }
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    // A folder that appeared since it was examined is someone else's: it fails here.
    return Win32Result::Of(::CreateDirectoryW(path.c_str(), &attributes));
}

Win32Result SetProtection(const std::wstring& path, PSECURITY_DESCRIPTOR descriptor) {
    BOOL present = FALSE;
    BOOL defaulted = FALSE;
    PACL dacl = nullptr;
    PSID owner = nullptr;
    if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) ||
        !::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted)) {
        return Win32Result::LastError();
    }
    // The system hands the inheritable entries on to everything below, replacing what
    // those inherited from the drive's root.
    std::wstring name = path;
    return Win32Result::FromCode(::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT,
                                                         OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                                             PROTECTED_DACL_SECURITY_INFORMATION,
                                                         owner, nullptr, dacl, nullptr));
}

}  // namespace

UniqueLocalSecurityDescriptor ProtectedFolderDescriptor() {
    UniqueLocalSecurityDescriptor descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(kProtectedFolderSddl, SDDL_REVISION_1,
                                                                descriptor.put(), nullptr)) {
        return UniqueLocalSecurityDescriptor();
    }
    return descriptor;
}

bool GrantsWriteToStandardUsers(const ACL* dacl) {
    if (dacl == nullptr) return true;
    return GrantsWriteIn(dacl, Scope::Folder) || GrantsWriteIn(dacl, Scope::Files) ||
           GrantsWriteIn(dacl, Scope::Subfolders);
}

FolderFacts ExamineFolder(const std::wstring& folder) {
    FolderFacts facts;
    std::optional<std::wstring> path = LocalFolderPath(folder);
    if (!path) return facts;
    facts.exists = ::GetFileAttributesW(path->c_str()) != INVALID_FILE_ATTRIBUTES;
    if (facts.exists) path = FinalFolderPath(*path);
    if (!path) return facts;
    facts.path = *path;
    facts.localPath = true;
    facts.driveRoot = path->size() == 3;
    for (const std::wstring& programFiles : ProgramFilesFolders()) {
        if (IsUnder(*path, programFiles)) facts.underProgramFiles = true;
    }
    if (facts.exists) {
        facts.grantsWrite = ReadGrantsWrite(*path);
        ReadContents(*path, &facts);
        // A file of that name is no folder to install into.
        if ((::GetFileAttributesW(path->c_str()) & FILE_ATTRIBUTE_DIRECTORY) == 0) facts.empty = false;
    }
    return facts;
}

FolderProtection DecideFolderProtection(const FolderFacts& facts, FolderUse use) {
    if (!facts.localPath) return FolderProtection::NotLocal;
    if (facts.driveRoot) return FolderProtection::DriveRoot;
    // Program Files' own protection is inherited, unless someone changed it.
    const bool needed = facts.grantsWrite || (use == FolderUse::Installing && !facts.underProgramFiles);
    if (!needed) return FolderProtection::Protected;
    if (!facts.empty && !facts.holdsKestrova) return FolderProtection::ForeignFiles;
    return FolderProtection::Needed;
}

FolderProtection ProtectFolder(const std::wstring& folder, FolderUse use, Win32Result* error) {
    Win32Result ignored;
    Win32Result& outcome = error != nullptr ? *error : ignored;
    outcome = Win32Result();
    const FolderFacts facts = ExamineFolder(folder);
    const FolderProtection decision = DecideFolderProtection(facts, use);
    if (decision != FolderProtection::Needed) return decision;
    const UniqueLocalSecurityDescriptor descriptor = ProtectedFolderDescriptor();
    if (!descriptor) {
        outcome = Win32Result::LastError();
        return FolderProtection::Failed;
    }
    outcome = facts.exists ? SetProtection(facts.path, descriptor.get())
                           : CreateProtectedFolder(facts.path, descriptor.get());
    if (!outcome) return FolderProtection::Failed;
    // A volume that keeps no permissions (FAT) takes the call and keeps nothing.
    const FolderFacts after = ExamineFolder(facts.path);
    if (!after.exists || after.grantsWrite) {
        outcome = Win32Result::Failure(ERROR_NOT_SUPPORTED);
        return FolderProtection::Failed;
    }
    return FolderProtection::Applied;
}

bool IsProtectedFolder(const std::wstring& folder) {
    const FolderFacts facts = ExamineFolder(folder);
    return facts.exists && DecideFolderProtection(facts, FolderUse::Running) == FolderProtection::Protected;
}

const char* DescribeFolderProtection(FolderProtection protection) {
    switch (protection) {
        case FolderProtection::Protected: return "protected already";
        case FolderProtection::Needed: return "to be protected";
        case FolderProtection::Applied: return "protected now";
        case FolderProtection::NotLocal: return "not a folder on a local drive";
        case FolderProtection::DriveRoot: return "a drive's root";
        case FolderProtection::ForeignFiles: return "it holds files of other programs";
        case FolderProtection::Failed: return "the protection could not be given";
    }
    return "?";
}

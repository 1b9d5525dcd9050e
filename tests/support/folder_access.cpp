#include "tests/support/folder_access.h"

#include "shared/folder_protection.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

bool LetEveryoneWrite(const std::string& folder) {
    UniqueLocalSecurityDescriptor descriptor;
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    std::string name = folder;
    return ::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;FA;;;WD)", SDDL_REVISION_1,
                                                                  descriptor.put(), nullptr) &&
           ::GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted) &&
           ::SetNamedSecurityInfoA(name.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl,
                                   nullptr) == ERROR_SUCCESS;
}

bool EveryoneMayWrite(const std::string& folder) {
    PACL dacl = nullptr;
    UniqueLocalSecurityDescriptor descriptor;
    BYTE everyone[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(everyone);
    if (::GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, descriptor.put()) != ERROR_SUCCESS ||
        dacl == nullptr || !::CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size)) {
        return true;
    }
    void* entry = nullptr;
    for (DWORD i = 0; i < dacl->AceCount && ::GetAce(dacl, i, &entry); ++i) {
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        const ACCESS_MASK write = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | GENERIC_WRITE | GENERIC_ALL;
        if (ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && ::EqualSid(&ace->SidStart, everyone) && (ace->Mask & write)) {
            return true;
        }
    }
    return false;
}

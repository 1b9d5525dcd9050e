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
    if (::GetNamedSecurityInfoA(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, descriptor.put()) != ERROR_SUCCESS) {
        return true;
    }
    if (dacl == nullptr) return true;
    BYTE everyone[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(everyone);
    if (!::CreateWellKnownSid(WinWorldSid, nullptr, everyone, &size)) return true;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!::GetAce(dacl, i, &entry)) return true;
        auto* ace = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if (ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE && ::EqualSid(&ace->SidStart, everyone) &&
            (ace->Mask & (FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | GENERIC_WRITE | GENERIC_ALL))) {
            return true;
        }
    }
    return false;
}

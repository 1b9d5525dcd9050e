#include "updater/single_instance.h"

#include <sddl.h>

namespace {

// Administrators and the system own the name; every signed-in user may wait on it, so a
// copy running without elevation (UAC off, a standard user) still sees the first one.
constexpr char kMutexSecurity[] = "D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100000;;;AU)";  // SYNCHRONIZE

}  // namespace

SingleUpdater::SingleUpdater(const char* name, DWORD waitMs) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ::ConvertStringSecurityDescriptorToSecurityDescriptorA(kMutexSecurity, SDDL_REVISION_1, &descriptor, nullptr);
    const UniqueHandle<NullableHandleTraits<HLOCAL, ::LocalFree>> ownedDescriptor(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};

    m_mutex.reset(::CreateMutexA(descriptor != nullptr ? &attributes : nullptr, TRUE, name));
    if (m_mutex) {
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return;  // ours until the process ends
    } else {
        // Not allowed to create it (no right to make global names) or to take it whole:
        // a copy that exists can still be waited for; without one this copy works alone.
        m_mutex.reset(::OpenMutexA(SYNCHRONIZE, FALSE, name));
        if (!m_mutex) return;
    }
    m_first = false;
    // Ends with the first copy: released, or abandoned when that copy exits holding it.
    ::WaitForSingleObject(m_mutex.get(), waitMs);
}

#include "toolbox/logon_task_registration.h"

#include "shared/com_helpers.h"
#include "shared/com_ptr.h"
#include "shared/logon_task.h"

#include <windows.h>

#include <taskschd.h>

LogonTaskRegistration RegisterLogonTask(const std::string& installDir) {
    constexpr LogonTaskRegistration kFailed = LogonTaskRegistration::Failed;
    ComScope com;
    if (!com.usable()) return kFailed;

    ComPtr<ITaskService> service;
    if (FAILED(::CoCreateInstance(__uuidof(TaskScheduler), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(service.put())))) {
        return kFailed;
    }
    VARIANT none;
    ::VariantInit(&none);  // the local machine, as the current user
    if (FAILED(service->Connect(none, none, none, none))) return kFailed;

    const UniqueBstr rootPath = MakeBstr(L"\\");
    ComPtr<ITaskFolder> root;
    if (!rootPath || FAILED(service->GetFolder(rootPath.get(), root.put()))) return kFailed;

    const UniqueBstr name = MakeBstr(kLogonTaskName);
    const UniqueBstr definition = MakeBstr(LogonTaskXml(installDir));
    if (!name || !definition) return kFailed;
    // The principal is the group the definition names; no account, no password. Creating
    // only, in one call, leaves no moment between a look and a write.
    ComPtr<IRegisteredTask> registered;
    const HRESULT result = root->RegisterTask(name.get(), definition.get(), TASK_CREATE, none, none,
                                              TASK_LOGON_GROUP, none, registered.put());
    if (result == HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)) return LogonTaskRegistration::AlreadyThere;
    return SUCCEEDED(result) ? LogonTaskRegistration::Created : kFailed;
}

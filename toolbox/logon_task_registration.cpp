#include "toolbox/logon_task_registration.h"

#include "shared/com_helpers.h"
#include "shared/com_ptr.h"
#include "shared/logon_task.h"

#include <windows.h>

#include <taskschd.h>

bool RegisterLogonTask(const std::string& installDir) {
    ComScope com;
    if (!com.usable()) return false;

    ComPtr<ITaskService> service;
    if (FAILED(::CoCreateInstance(__uuidof(TaskScheduler), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(service.put())))) {
        return false;
    }
    VARIANT none;
    ::VariantInit(&none);  // the local machine, as the current user
    if (FAILED(service->Connect(none, none, none, none))) return false;

    const UniqueBstr rootPath = MakeBstr(L"\\");
    ComPtr<ITaskFolder> root;
    if (!rootPath || FAILED(service->GetFolder(rootPath.get(), root.put()))) return false;

    const UniqueBstr name = MakeBstr(kLogonTaskName);
    const UniqueBstr definition = MakeBstr(LogonTaskXml(installDir));
    if (!name || !definition) return false;
    // The principal is the group the definition names; no account, no password.
    ComPtr<IRegisteredTask> registered;
    return SUCCEEDED(root->RegisterTask(name.get(), definition.get(), TASK_CREATE_OR_UPDATE, none, none,
                                        TASK_LOGON_GROUP, none, registered.put()));
}

#include "tests/support/scheduled_task.h"

#include "shared/com_helpers.h"
#include "shared/com_ptr.h"

#include <windows.h>

#include <taskschd.h>

namespace {

// use(root folder) with COM set up; false when the scheduler cannot be reached.
template <typename Use>
bool WithRootFolder(Use use) {
    ComScope com;
    ComPtr<ITaskService> service;
    ComPtr<ITaskFolder> root;
    VARIANT none;
    ::VariantInit(&none);
    return SUCCEEDED(::CoCreateInstance(__uuidof(TaskScheduler), nullptr, CLSCTX_INPROC_SERVER,
                                        IID_PPV_ARGS(service.put()))) &&
           SUCCEEDED(service->Connect(none, none, none, none)) &&
           SUCCEEDED(service->GetFolder(MakeBstr(L"\\").get(), root.put())) && use(root.get());
}

}  // namespace

bool ScheduledTaskExists(const wchar_t* name) {
    return WithRootFolder([&](ITaskFolder* root) {
        ComPtr<IRegisteredTask> task;
        return SUCCEEDED(root->GetTask(MakeBstr(name).get(), task.put()));
    });
}

bool RemoveScheduledTask(const wchar_t* name) {
    WithRootFolder([&](ITaskFolder* root) { return SUCCEEDED(root->DeleteTask(MakeBstr(name).get(), 0)); });
    return !ScheduledTaskExists(name);
}

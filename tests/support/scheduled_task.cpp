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

bool RegisterScheduledTask(const wchar_t* name, const std::wstring& xml) {
    return WithRootFolder([&](ITaskFolder* root) {
        VARIANT none;
        ::VariantInit(&none);
        ComPtr<IRegisteredTask> task;
        return SUCCEEDED(root->RegisterTask(MakeBstr(name).get(), MakeBstr(xml).get(), TASK_CREATE_OR_UPDATE, none,
                                            none, TASK_LOGON_GROUP, none, task.put()));
    });
}

std::wstring ScheduledTaskXml(const wchar_t* name) {
    std::wstring xml;
    WithRootFolder([&](ITaskFolder* root) {
        ComPtr<IRegisteredTask> task;
        UniqueBstr text;
        if (FAILED(root->GetTask(MakeBstr(name).get(), task.put())) || FAILED(task->get_Xml(text.put()))) return false;
        xml = text.get() != nullptr ? text.get() : L"";
        return true;
    });
    return xml;
}

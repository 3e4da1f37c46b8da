#include "elevate/task.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>
#include <taskschd.h>

#include "catalogue/mConfig.h"
#include "toolkit/com.h"

namespace elevate {

namespace {

constexpr GUID kTaskSchedulerClass = {
    0x0f87369f, 0xa4e5, 0x4cfc, {0xbd, 0x3e, 0x73, 0xe6, 0x15, 0x45, 0x72, 0xdd}};

class Bstr {
  public:
    explicit Bstr(const std::wstring& text) : value_(SysAllocString(text.c_str())) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    ~Bstr() { SysFreeString(value_); }
    operator BSTR() const { return value_; }

  private:
    BSTR value_;
};

HRESULT registerTask(ITaskService& service, ITaskFolder& folder, const TaskDefinition& definition) {
    tk::com_ptr<ITaskDefinition> task;
    tk::com_ptr<IPrincipal> principal;
    tk::com_ptr<ITaskSettings> settings;
    tk::com_ptr<IActionCollection> actions;
    tk::com_ptr<IAction> action;
    tk::com_ptr<IExecAction> exec;
    tk::com_ptr<IRegisteredTask> registered;
    VARIANT none;
    VariantInit(&none);
    const Bstr path(definition.path), arguments(definition.arguments), name(definition.name),
        limit(L"PT10M");
    // Any setting the scheduler cannot take leaves no task: one that ran without highest
    // privileges would only fail at every switch.
    HRESULT hr = service.NewTask(0, task.putTyped());
    if (SUCCEEDED(hr)) hr = task->get_Principal(principal.putTyped());
    if (SUCCEEDED(hr)) hr = principal->put_LogonType(TASK_LOGON_INTERACTIVE_TOKEN);
    if (SUCCEEDED(hr))
        hr =
            principal->put_RunLevel(definition.highest ? TASK_RUNLEVEL_HIGHEST : TASK_RUNLEVEL_LUA);
    if (SUCCEEDED(hr)) hr = task->get_Settings(settings.putTyped());
    if (SUCCEEDED(hr)) hr = settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE);
    if (SUCCEEDED(hr)) hr = settings->put_StopIfGoingOnBatteries(VARIANT_FALSE);
    if (SUCCEEDED(hr)) hr = settings->put_ExecutionTimeLimit(limit);
    // A switch while the last one still runs is applied after it, never beside it.
    if (SUCCEEDED(hr)) hr = settings->put_MultipleInstances(TASK_INSTANCES_QUEUE);
    if (SUCCEEDED(hr)) hr = task->get_Actions(actions.putTyped());
    if (SUCCEEDED(hr)) hr = actions->Create(TASK_ACTION_EXEC, action.putTyped());
    if (SUCCEEDED(hr)) hr = action->QueryInterface(__uuidof(IExecAction), exec.put());
    if (SUCCEEDED(hr)) hr = exec->put_Path(path);
    if (SUCCEEDED(hr)) hr = exec->put_Arguments(arguments);
    if (SUCCEEDED(hr))
        hr = folder.RegisterTaskDefinition(name, task.get(), TASK_CREATE_OR_UPDATE, none, none,
                                           TASK_LOGON_INTERACTIVE_TOKEN, none,
                                           registered.putTyped());
    return hr;
}

TaskResult callScheduler(TaskOperation operation, const TaskDefinition& definition) {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    HRESULT hr = S_OK;
    bool unreachable = false;
    {
        tk::com_ptr<ITaskService> service;
        tk::com_ptr<ITaskFolder> folder;
        tk::com_ptr<IRegisteredTask> task;
        tk::com_ptr<IRunningTask> running;
        VARIANT none;
        VariantInit(&none);
        const Bstr root(L"\\"), name(definition.name);
        hr = CoCreateInstance(kTaskSchedulerClass, nullptr, CLSCTX_INPROC_SERVER,
                              __uuidof(ITaskService), service.put());
        if (SUCCEEDED(hr)) hr = service->Connect(none, none, none, none);
        if (SUCCEEDED(hr)) hr = service->GetFolder(root, folder.putTyped());
        // A scheduler that cannot be reached is missing, whatever the code says (Wine answers
        // "access denied" for a class whose library it cannot load).
        if (FAILED(hr)) unreachable = true;
        if (SUCCEEDED(hr)) {
            switch (operation) {
            case TaskOperation::Create:
                hr = registerTask(*service.get(), *folder.get(), definition);
                break;
            case TaskOperation::Remove:
                hr = folder->DeleteTask(name, 0);
                break;
            case TaskOperation::Run:
                hr = folder->GetTask(name, task.putTyped());
                if (SUCCEEDED(hr)) hr = task->Run(none, running.putTyped());
                break;
            case TaskOperation::Query:
                hr = folder->GetTask(name, task.putTyped());
                break;
            }
        }
    }
    if (SUCCEEDED(init)) CoUninitialize();
    return {unreachable ? TaskStatus::Unavailable : taskStatusOf(hr), hr};
}

std::vector<std::wstring> programFilesFolders() {
    std::vector<std::wstring> folders;
    for (const auto& id : {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86}) {
        PWSTR path = nullptr;
        if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)) && path) folders.push_back(path);
        CoTaskMemFree(path);
    }
    return folders;
}

TaskResult schedule(TaskOperation operation) {
    return taskSchedulerSeam.call(callScheduler, operation,
                                  rulesTaskDefinition(tk::executablePath()));
}

} // namespace

TaskResult createRulesTask() {
    if (!insideFolders(tk::executablePath(), protectedFoldersSeam.call(programFilesFolders)))
        return {TaskStatus::Unprotected, 0};
    return schedule(TaskOperation::Create);
}

TaskResult removeRulesTask() {
    return schedule(TaskOperation::Remove);
}

TaskResult runRulesTask() {
    return schedule(TaskOperation::Run);
}

TaskResult queryRulesTask() {
    return schedule(TaskOperation::Query);
}

std::wstring retireRulesTask(std::wstring_view settingsPath) {
    const auto lines = mConfig::networkRuleLines(settingsPath);
    if (!lines || !lines->empty()) return {};
    const TaskResult removed = removeRulesTask();
    switch (removed.status) {
    case TaskStatus::Done:
        return L"No rule is left, so the rules task is removed too.";
    case TaskStatus::NotFound:
    case TaskStatus::Unavailable:
        return {};
    case TaskStatus::Denied:
        return L"No rule is left, but the rules task stays until it is removed with "
               L"administrator rights: keldrast /rules-task off";
    case TaskStatus::Unprotected:
    case TaskStatus::Failed:
        break;
    }
    return taskMessage(TaskOperation::Remove, removed);
}

} // namespace elevate

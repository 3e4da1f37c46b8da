// The rules task in the Task Scheduler (ITaskService): created and removed by the elevated
// copy, started by the notification area as the signed-in user. The definition comes from
// rulestask.h; the COM calls sit behind a replaceable entry point, so that a test sees exactly
// what would be registered.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "elevate/rulestask.h"
#include "toolkit/platform.h"

namespace elevate {

// One call of the Task Scheduler: Create registers (or replaces) the definition's task, Remove
// deletes it, Run starts it with no arguments, Query asks whether it is there. Replaceable (no
// handler: the Task Scheduler's COM interface).
using TaskSchedulerHandler =
    std::function<TaskResult(TaskOperation operation, const TaskDefinition& definition)>;
inline tk::Seam<TaskSchedulerHandler> taskSchedulerSeam;
using ScopedTaskScheduler = tk::ScopedHandler<taskSchedulerSeam>;

// The folders only administrators may change: both Program Files folders, as the system's
// known-folder settings name them (never the environment, which the user sets). Replaceable.
using ProtectedFoldersHandler = std::function<std::vector<std::wstring>()>;
inline tk::Seam<ProtectedFoldersHandler> protectedFoldersSeam;
using ScopedProtectedFolders = tk::ScopedHandler<protectedFoldersSeam>;

// Creates or replaces the task for this program; Unprotected, with nothing registered, when the
// program is not inside a protected folder. Needs administrator rights.
TaskResult createRulesTask();
// Removes it; NotFound when there was none. Needs administrator rights.
TaskResult removeRulesTask();
// Starts it (as the signed-in user may, without a prompt); NotFound when there is none.
TaskResult runRulesTask();
TaskResult queryRulesTask();

// Once the settings file at settingsPath keeps no rule, the rules task has nothing left to do:
// it is removed. The sentence to tell the user, or nothing when there was nothing to say (a
// rule is left, there was no task, or there is no Task Scheduler).
std::wstring retireRulesTask(std::wstring_view settingsPath);

} // namespace elevate

// The scheduled task that lets the notification area switch DNS for a network without an
// elevation prompt each time: what it runs and with which rights, decided here and nowhere
// else, and what each outcome of the Task Scheduler means for the user. Pure.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace elevate {

inline constexpr std::wstring_view kRulesTaskName = L"Keldrast DNS rules";
// The only command the task runs. It takes nothing from whoever starts the task: the elevated
// copy reads the networks and the rules itself.
inline constexpr std::wstring_view kApplyRulesArguments = L"/apply-rules";

struct TaskDefinition {
    std::wstring name{};      // in the Task Scheduler's root folder
    std::wstring path{};      // the program the task starts, a full path
    std::wstring arguments{}; // its command line after the program
    bool highest = false;     // runs with highest privileges (elevated, no prompt)
    bool operator==(const TaskDefinition&) const = default;
};

// The task for this program at exePath: "/apply-rules", highest privileges, for the user who
// creates it, only while that user is signed in.
TaskDefinition rulesTaskDefinition(std::wstring exePath);

// Whether path lies inside one of the folders (compared without regard to letter case, on
// whole folder names; "..", "." and short forms make a path not inside). An elevated task may
// only start a program that only administrators can replace.
bool insideFolders(std::wstring_view path, const std::vector<std::wstring>& folders);

enum class TaskStatus {
    Done,
    NotFound,    // there is no such task
    Unavailable, // no Task Scheduler, its service is not running, or it cannot do what is asked
    Denied,      // needs administrator rights
    Unprotected, // the program is in a folder that others than administrators may change
    Failed,
};
struct TaskResult {
    TaskStatus status = TaskStatus::Failed;
    std::int32_t code = 0; // the HRESULT, when the Task Scheduler gave one
    bool operator==(const TaskResult&) const = default;
};

// What an HRESULT of the Task Scheduler's interface means here.
TaskStatus taskStatusOf(std::int32_t hresult);

enum class TaskOperation { Create, Remove, Run, Query };
// One or two sentences for the user: what happened and, when it failed, how Keldrast carries on.
std::wstring taskMessage(TaskOperation operation, const TaskResult& result,
                         std::wstring_view exePath = {});

} // namespace elevate

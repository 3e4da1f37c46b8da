#include "elevate/rulestask.h"

#include <algorithm>

namespace elevate {

namespace {

wchar_t folded(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c == L'/' ? L'\\' : c;
}

std::wstring foldedPath(std::wstring_view path) {
    std::wstring out(path.size(), L'\0');
    std::transform(path.begin(), path.end(), out.begin(), folded);
    while (!out.empty() && out.back() == L'\\')
        out.pop_back();
    return out;
}

std::wstring hexCode(std::int32_t code) {
    constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    auto value = static_cast<std::uint32_t>(code);
    std::wstring text(8, L'0');
    for (int i = 7; i >= 0; --i, value >>= 4)
        text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return L"0x" + text;
}

} // namespace

TaskDefinition rulesTaskDefinition(std::wstring exePath) {
    return {std::wstring(kRulesTaskName), std::move(exePath), std::wstring(kApplyRulesArguments),
            true};
}

bool insideFolders(std::wstring_view path, const std::vector<std::wstring>& folders) {
    const std::wstring p = foldedPath(path);
    // A part that the system would resolve differently from its text never counts as inside.
    const std::wstring bounded = p + L"\\";
    if (bounded.find(L"\\..\\") != std::wstring::npos ||
        bounded.find(L"\\.\\") != std::wstring::npos || p.find(L'~') != std::wstring::npos ||
        p.starts_with(L"\\\\"))
        return false;
    return std::any_of(folders.begin(), folders.end(), [&](const std::wstring& folder) {
        const std::wstring f = foldedPath(folder);
        return f.size() >= 3 && p.size() > f.size() + 1 && p.starts_with(f) && p[f.size()] == L'\\';
    });
}

TaskStatus taskStatusOf(std::int32_t hresult) {
    switch (static_cast<std::uint32_t>(hresult)) {
    case 0:
        return TaskStatus::Done;
    case 0x80070002U: // ERROR_FILE_NOT_FOUND
    case 0x80070003U: // ERROR_PATH_NOT_FOUND
        return TaskStatus::NotFound;
    case 0x80070005U: // E_ACCESSDENIED
        return TaskStatus::Denied;
    case 0x80040154U: // REGDB_E_CLASSNOTREG: no Task Scheduler
    case 0x80041315U: // SCHED_E_SERVICE_NOT_RUNNING
    case 0x80004001U: // E_NOTIMPL
    case 0x8007007EU: // ERROR_MOD_NOT_FOUND
    case 0x80070422U: // ERROR_SERVICE_DISABLED
        return TaskStatus::Unavailable;
    default:
        return hresult >= 0 ? TaskStatus::Done : TaskStatus::Failed;
    }
}

std::wstring taskMessage(TaskOperation operation, const TaskResult& result,
                         std::wstring_view exePath) {
    const std::wstring task = L"The scheduled task \"" + std::wstring(kRulesTaskName) + L"\"";
    constexpr std::wstring_view kAsking =
        L"Keldrast asks for administrator rights at each switch of network instead.";
    switch (result.status) {
    case TaskStatus::Done:
        switch (operation) {
        case TaskOperation::Create:
            return task + L" is in place: Keldrast switches DNS for your networks without asking "
                          L"each time.";
        case TaskOperation::Remove:
            return task + L" is removed: each switch of network asks for administrator rights.";
        case TaskOperation::Run:
            return task + L" was started.";
        case TaskOperation::Query:
            return task + L" is in place.";
        }
        break;
    case TaskStatus::NotFound:
        return operation == TaskOperation::Remove
                   ? task + L" is not there: nothing to remove."
                   : task + L" is not there. " + std::wstring(kAsking);
    case TaskStatus::Unavailable:
        return L"The Task Scheduler is missing here" +
               (result.code ? L" (error " + hexCode(result.code) + L")" : std::wstring()) +
               L": its service is not running, or it cannot run a task with highest privileges. " +
               std::wstring(kAsking);
    case TaskStatus::Denied:
        return task + L" can only be " +
               (operation == TaskOperation::Run ? L"started by the user it was made for."
                                                : L"changed with administrator rights.") +
               L" " + std::wstring(kAsking);
    case TaskStatus::Unprotected:
        return L"The scheduled task would start " + std::wstring(exePath) +
               L" with administrator rights, but others than administrators may replace the "
               L"program in that folder. Put keldrast.exe in Program Files to switch without "
               L"asking. " +
               std::wstring(kAsking);
    case TaskStatus::Failed:
        break;
    }
    const wchar_t* verb = operation == TaskOperation::Create   ? L" could not be created"
                          : operation == TaskOperation::Remove ? L" could not be removed"
                          : operation == TaskOperation::Run    ? L" could not be started"
                                                               : L" could not be read";
    return task + verb + L" (error " + hexCode(result.code) + L")." +
           (operation == TaskOperation::Remove ? std::wstring() : L" " + std::wstring(kAsking));
}

} // namespace elevate

#include "toolkit/elevation.h"

#include <shellapi.h>

#include "toolkit/open_as_user.h"
#include "toolkit/platform.h"

namespace tk {

unique_handle relaunchElevated(const std::wstring& parameters) {
    if (const auto handler = relaunchElevatedSeam.get()) return handler(parameters);
    const std::wstring file = executablePath();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (file.empty() || !ShellExecuteExW(&info)) return {};
    return unique_handle(info.hProcess);
}

bool relaunchedElevated(const std::wstring& parameters) {
    return !isElevated() && relaunchElevated(parameters);
}

} // namespace tk

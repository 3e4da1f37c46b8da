#include "toolkit/elevation.h"

#include <shellapi.h>

#include <utility>

#include "toolkit/open_as_user.h"

namespace tk {

std::wstring executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

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

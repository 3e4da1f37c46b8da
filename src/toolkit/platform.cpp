#include "toolkit/platform.h"
#include "toolkit/handles.h"

#include <exception>

#include <shellapi.h>

namespace tk {

void logSwallowed(const wchar_t* where) noexcept {
    try {
        std::wstring text = L"Keldrast: an exception was swallowed in ";
        text += where;
        try {
            throw;
        } catch (const std::exception& e) {
            text += L": ";
            for (const char* c = e.what(); *c; ++c)
                text += static_cast<wchar_t>(static_cast<unsigned char>(*c));
        } catch (...) {
        }
        text += L'\n';
        OutputDebugStringW(text.c_str());
    } catch (...) {
        OutputDebugStringW(L"Keldrast: an exception was swallowed\n");
    }
}

namespace {

int systemMessageBox(HWND owner, std::wstring_view text, std::wstring_view title, UINT flags) {
    const std::wstring t(text), c(title);
    return MessageBoxW(owner, t.c_str(), c.c_str(), flags);
}

ProcessRun systemStartProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                              int showCommand, DWORD waitMs) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(showCommand);
    PROCESS_INFORMATION process{};
    // CreateProcessW may write into the command line, so it gets its own copy.
    std::wstring line = commandLine;
    ProcessRun run;
    run.started =
        CreateProcessW(applicationPath.empty() ? nullptr : applicationPath.c_str(), line.data(),
                       nullptr, nullptr, FALSE, showCommand ? 0 : CREATE_NO_WINDOW, nullptr,
                       nullptr, &startup, &process) != FALSE;
    const unique_handle thread(process.hThread), owned(process.hProcess);
    DWORD code = 0;
    if (run.started && waitMs && WaitForSingleObject(owned.get(), waitMs) == WAIT_OBJECT_0 &&
        GetExitCodeProcess(owned.get(), &code))
        run.exitCode = code;
    return run;
}

bool systemShellOpen(HWND owner, const std::wstring& target, int showCommand) {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(owner, nullptr, target.c_str(), nullptr, nullptr, showCommand));
    return result > 32;
}

} // namespace

int messageBox(HWND owner, std::wstring_view text, std::wstring_view title, UINT flags) {
    return messageBoxSeam.call(systemMessageBox, owner, text, title, flags);
}

ProcessRun startProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                        int showCommand, DWORD waitMs) {
    return startProcessSeam.call(systemStartProcess, applicationPath, commandLine, showCommand,
                                 waitMs);
}

bool shellOpen(HWND owner, const std::wstring& target, int showCommand) {
    return shellOpenSeam.call(systemShellOpen, owner, target, showCommand);
}

std::wstring systemDirectory() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const UINT length = GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(length); // too small: `length` is the size needed, with the terminator
    }
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    return path;
}

std::wstring executablePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        // A cut name fills the whole buffer; try again with a larger one.
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}

std::wstring executableDirectory() {
    std::wstring path = executablePath();
    const std::size_t slash = path.find_last_of(L"\\/");
    path.resize(slash == std::wstring::npos ? 0 : slash);
    return path;
}

std::optional<std::wstring> fullPath(const std::wstring& path) {
    const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return std::nullopt;
    std::wstring full(size, L'\0');
    const DWORD n = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (n == 0 || n >= size) return std::nullopt;
    full.resize(n);
    return full;
}

} // namespace tk

// The program's only ways to show a standard message box, start a process and open a document
// or web address, plus the two folders it needs. Each of the three calls can be replaced (tests
// record and answer them instead of blocking or starting anything):
//
//     tk::ScopedMessageBox answer{[&](HWND, std::wstring_view text, std::wstring_view, UINT) {
//         shown.emplace_back(text);
//         return IDYES;
//     }};
//
// While `answer` lives, tk::messageBox calls the lambda; afterwards the previous handler (the
// system call unless another scope is open) is back. The set*Handler functions do the same
// without a scope: they return the previous handler, and an empty function means the system
// call. Everything here is meant for the user-interface thread.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>
#include <utility>

namespace tk {

// Called inside a catch (...) that swallows an exception at a window, hook or timer boundary:
// says where, and what when it is a std::exception, through OutputDebugStringW.
void logSwallowed(const wchar_t* where) noexcept;

// MessageBoxW; returns the button pressed (IDOK, IDYES = 6, ...), 0 when no box could be shown.
int messageBox(HWND owner, std::wstring_view text, std::wstring_view title, UINT flags);

// CreateProcessW with STARTF_USESHOWWINDOW and `showCommand` (0 = hidden). The process is not
// awaited and its handles are closed at once. False when it could not be started.
// `applicationPath` should be a full path: empty leaves the search to the system, which looks
// in the program's own folder first.
bool startProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                  int showCommand);

// ShellExecuteW with the default verb; true when the system reports success (result > 32).
bool shellOpen(HWND owner, const std::wstring& target, int showCommand = SW_SHOWNORMAL);

// The system folder (System32), without a trailing backslash.
std::wstring systemDirectory();
// The folder of the running executable, without a trailing backslash; long paths work too.
std::wstring executableDirectory();

using MessageBoxHandler =
    std::function<int(HWND owner, std::wstring_view text, std::wstring_view title, UINT flags)>;
using StartProcessHandler = std::function<bool(const std::wstring& applicationPath,
                                               const std::wstring& commandLine, int showCommand)>;
using ShellOpenHandler =
    std::function<bool(HWND owner, const std::wstring& target, int showCommand)>;

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);
StartProcessHandler setStartProcessHandler(StartProcessHandler handler);
ShellOpenHandler setShellOpenHandler(ShellOpenHandler handler);

// Installs a handler for its lifetime and puts the previous one back.
template <typename Handler, Handler (*Install)(Handler)> class ScopedHandler {
  public:
    explicit ScopedHandler(Handler handler) : previous_(Install(std::move(handler))) {}
    ScopedHandler(const ScopedHandler&) = delete;
    ScopedHandler& operator=(const ScopedHandler&) = delete;
    ~ScopedHandler() { Install(std::move(previous_)); }

  private:
    Handler previous_;
};

using ScopedMessageBox = ScopedHandler<MessageBoxHandler, &setMessageBoxHandler>;
using ScopedStartProcess = ScopedHandler<StartProcessHandler, &setStartProcessHandler>;
using ScopedShellOpen = ScopedHandler<ShellOpenHandler, &setShellOpenHandler>;

} // namespace tk

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
// system call unless another scope is open) is back. Every replaceable entry point of the
// program is a Seam like these three, declared beside its ScopedHandler.
#pragma once

#include "toolkit/thread.h"

#include <windows.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace tk {

// A replaceable entry point: the handler installed in it, or none for the real call. The
// handler is copied out under a lock, so a worker thread may call it while the user-interface
// thread replaces it.
template <typename Handler> class Seam {
  public:
    using handler_type = Handler;

    Handler get() const {
        std::lock_guard lock(mutex_);
        return handler_;
    }
    // Installs `handler` (empty: none) and returns the one it replaces.
    Handler exchange(Handler handler) {
        std::lock_guard lock(mutex_);
        return std::exchange(handler_, std::move(handler));
    }
    // What the installed handler answers, or `real` when there is none.
    template <typename Real, typename... Args>
    typename Handler::result_type call(Real&& real, Args&&... args) const {
        if (const Handler handler = get()) return handler(std::forward<Args>(args)...);
        return std::forward<Real>(real)(std::forward<Args>(args)...);
    }

  private:
    mutable Lock mutex_;
    Handler handler_;
};

// Installs a handler in the seam `Entry` for its lifetime and puts the previous one back.
template <auto& Entry> class ScopedHandler {
    using Handler = typename std::remove_reference_t<decltype(Entry)>::handler_type;

  public:
    explicit ScopedHandler(Handler handler) : previous_(Entry.exchange(std::move(handler))) {}
    ScopedHandler(const ScopedHandler&) = delete;
    ScopedHandler& operator=(const ScopedHandler&) = delete;
    ~ScopedHandler() { Entry.exchange(std::move(previous_)); }

  private:
    Handler previous_;
};

// Called inside a catch (...) that swallows an exception at a window, hook or timer boundary:
// says where, and what when it is a std::exception, through OutputDebugStringW.
void logSwallowed(const wchar_t* where) noexcept;

// MessageBoxW; returns the button pressed (IDOK, IDYES = 6, ...), 0 when no box could be shown.
int messageBox(HWND owner, std::wstring_view text, std::wstring_view title, UINT flags);

// CreateProcessW with STARTF_USESHOWWINDOW and `showCommand` (0 = hidden), given none of this
// program's handles. With waitMs it is awaited that long, and its exit code is known when it
// ended in time; without, its handles are closed at once. `applicationPath` should be a full
// path: empty leaves the search to the system, which looks in the program's own folder first.
struct ProcessRun {
    bool started = false;
    std::optional<DWORD> exitCode{}; // awaited and ended in time
};
ProcessRun startProcess(const std::wstring& applicationPath, const std::wstring& commandLine,
                        int showCommand, DWORD waitMs = 0);

// ShellExecuteW with the default verb; true when the system reports success (result > 32).
bool shellOpen(HWND owner, const std::wstring& target, int showCommand = SW_SHOWNORMAL);

// The system folder (System32), without a trailing backslash.
std::wstring systemDirectory();
// The running executable's full path, and its folder without a trailing backslash; long
// paths work too.
std::wstring executablePath();
std::wstring executableDirectory();
// The path made absolute as the system makes it (GetFullPathNameW); nothing when it cannot be.
std::optional<std::wstring> fullPath(const std::wstring& path);

using MessageBoxHandler =
    std::function<int(HWND owner, std::wstring_view text, std::wstring_view title, UINT flags)>;
using StartProcessHandler =
    std::function<ProcessRun(const std::wstring& applicationPath, const std::wstring& commandLine,
                             int showCommand, DWORD waitMs)>;
using ShellOpenHandler =
    std::function<bool(HWND owner, const std::wstring& target, int showCommand)>;

inline Seam<MessageBoxHandler> messageBoxSeam;
inline Seam<StartProcessHandler> startProcessSeam;
inline Seam<ShellOpenHandler> shellOpenSeam;
using ScopedMessageBox = ScopedHandler<messageBoxSeam>;
using ScopedStartProcess = ScopedHandler<startProcessSeam>;
using ScopedShellOpen = ScopedHandler<shellOpenSeam>;

} // namespace tk

// Keldrast: changes the DNS servers of one network adapter. Without arguments it opens the
// window; with /tray it stays in the notification area; with other arguments it runs one
// command of the command line and ends with its code.
#include "app/frmMain.h"
#include "cli/cli.h"
#include "cli/command.h"
#include "cli/report.h"
#include "toolkit/elevation.h"
#include "tray/tray.h"

#include <windows.h>
#include <commctrl.h>

#include <csignal>
#include <exception>
#include <new>
#include <stdexcept>
#include <typeinfo>
#include <cstdlib>
#include <variant>

namespace {

int runWindow(int showCommand) {
    INITCOMMONCONTROLSEX icc{sizeof(icc),
                             ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&icc);

    frmMain form;
    if (!form.load(showCommand)) return 1;

    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (form.preTranslateMessage(msg)) continue;
        HWND root = GetAncestor(msg.hwnd, GA_ROOT);
        if (root && IsDialogMessageW(root, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

// A crash or an abort ends the program with an exit code of its own, so that a script (or the
// copy that started an elevated one) never takes it for a declined elevation.
LONG WINAPI exitOnCrash(EXCEPTION_POINTERS*) {
    TerminateProcess(GetCurrentProcess(), cli::kInternalError);
    return EXCEPTION_EXECUTE_HANDLER;
}
void exitOnAbort(int) {
    TerminateProcess(GetCurrentProcess(), cli::kInternalError);
}

} // namespace

// A C++ fault that reaches std::terminate ends the program at once. The runtime's own handler
// would print the exception's demangled type first, to a console this program does not have,
// and it brings a 45 KB name demangler into the exe.
#ifdef __GLIBCXX__
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx

// The library's own errors (a substr past the end, a number out of range...) are still thrown
// and caught as before, by catch (...) or as std::exception, but without their message: the
// runtime's versions carry it in a reference-counted string of their own, which brings about
// 30 KB of string code into the exe for texts nobody reads.
namespace {
struct LibraryError final : std::exception {
    const char* what() const noexcept override { return "C++ library error"; }
};
} // namespace
namespace std {
void __throw_bad_exception() {
    throw bad_exception();
}
void __throw_bad_alloc() {
    throw bad_alloc();
}
void __throw_bad_array_new_length() {
    throw bad_array_new_length();
}
void __throw_bad_cast() {
    throw bad_cast();
}
void __throw_bad_typeid() {
    throw bad_typeid();
}
void __throw_logic_error(const char*) {
    throw LibraryError();
}
void __throw_domain_error(const char*) {
    throw LibraryError();
}
void __throw_invalid_argument(const char*) {
    throw LibraryError();
}
void __throw_length_error(const char*) {
    throw LibraryError();
}
void __throw_out_of_range(const char*) {
    throw LibraryError();
}
void __throw_out_of_range_fmt(const char*, ...) {
    throw LibraryError();
}
void __throw_runtime_error(const char*) {
    throw LibraryError();
}
void __throw_range_error(const char*) {
    throw LibraryError();
}
void __throw_overflow_error(const char*) {
    throw LibraryError();
}
void __throw_underflow_error(const char*) {
    throw LibraryError();
}
} // namespace std
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
    // The program may run elevated: DLLs come from the system directory only.
    using SetDllDirsFn = BOOL(WINAPI*)(DWORD);
    if (auto setDllDirs = reinterpret_cast<SetDllDirsFn>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories"))))
        setDllDirs(LOAD_LIBRARY_SEARCH_SYSTEM32);

    SetUnhandledExceptionFilter(exitOnCrash);
    std::signal(SIGABRT, exitOnAbort);

    const auto args = cli::processArguments();
    if (args.empty()) {
        // The window asks for elevation once; "/window" is how the elevated copy is started,
        // so a copy that still is not elevated opens as it is instead of asking again.
        if (tk::relaunchedElevated(L"/window")) return 0;
        return runWindow(showCommand);
    }
    const auto parsed = cli::parse(args);
    const auto* command = std::get_if<cli::Command>(&parsed);
    if (command && command->verb == cli::Verb::Window && args.size() == 1)
        return runWindow(showCommand);
    // The icon stays unelevated: each change asks for elevation when it is made.
    if (command && command->verb == cli::Verb::Tray && args.size() == 1) return tray::run();
    cli::ConsoleOutput output;
    return cli::run(args, output);
}

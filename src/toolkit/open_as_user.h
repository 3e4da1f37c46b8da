// Opening a web address or document for the user. The program runs elevated, and whatever
// ShellExecute starts from here inherits that: a browser running as administrator. So an
// elevated program asks the desktop's own shell, which runs as the signed-in user, to open it;
// where there is no such shell (no desktop window, or a system without it) it opens nothing,
// and the caller shows the address instead.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "toolkit/platform.h"

namespace tk {

enum class OpenedBy { DesktopShell, Direct, Nothing };

// Opens target (with parameters, for a program) as the signed-in user where that can be done,
// and says how it was opened; Nothing when it could not be opened without elevation.
OpenedBy openAsUser(HWND owner, const std::wstring& target, const std::wstring& parameters = {});

// Whether this process runs with an administrator's elevated token. Replaceable (no handler:
// the process token).
using ElevatedHandler = std::function<bool()>;
bool isElevated();
inline Seam<ElevatedHandler> elevatedSeam;
using ScopedElevated = ScopedHandler<elevatedSeam>;

// The desktop shell's ShellExecute; false when it cannot be reached. Replaceable (no handler:
// the desktop window's IShellDispatch2).
using DesktopShellOpenHandler =
    std::function<bool(const std::wstring& target, const std::wstring& parameters)>;
inline Seam<DesktopShellOpenHandler> desktopShellOpenSeam;
using ScopedDesktopShellOpen = ScopedHandler<desktopShellOpenSeam>;

} // namespace tk

// Starting this program again with an administrator's rights: the "runas" verb of
// ShellExecuteExW, which shows the elevation prompt. Whether this process is elevated already
// is tk::isElevated (open_as_user.h).
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "toolkit/handles.h"
#include "toolkit/platform.h"

namespace tk {

// Starts this executable elevated with parameters (a command line without the program name).
// The new process, or an empty handle when the user declined or it could not be started.
// Replaceable (no handler: ShellExecuteExW with "runas").
unique_handle relaunchElevated(const std::wstring& parameters);
using RelaunchElevatedHandler = std::function<unique_handle(const std::wstring& parameters)>;
inline Seam<RelaunchElevatedHandler> relaunchElevatedSeam;
using ScopedRelaunchElevated = ScopedHandler<relaunchElevatedSeam>;

// When this process is not elevated, starts it again elevated with parameters: true when that
// copy runs and this one should end; false when this one is elevated already or the user
// declined.
bool relaunchedElevated(const std::wstring& parameters);

} // namespace tk

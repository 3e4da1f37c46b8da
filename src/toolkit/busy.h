// Work that takes seconds (asking DNS servers and the system's resolver), run from a menu
// without freezing the program: the work runs on a worker thread while this thread keeps
// dispatching messages, so windows still paint and the system does not call them hung.
#pragma once

#include <windows.h>

#include <functional>

namespace tk {

// Runs `work` to its end. `owner` (may be null) is disabled meanwhile, so the user cannot
// start anything else in it; it is enabled again afterwards if it was before. When no thread
// can be started, the work runs on this thread.
void runWhileResponsive(HWND owner, const std::function<void()>& work);

} // namespace tk

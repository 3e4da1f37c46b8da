#include "toolkit/busy.h"

#include "toolkit/handles.h"
#include "toolkit/platform.h"
#include "toolkit/thread.h"

#include <optional>

namespace tk {

void runWhileResponsive(HWND owner, const std::function<void()>& work) {
    const auto guarded = [&work] {
        try {
            work();
        } catch (...) {
            logSwallowed(L"work on a worker thread");
        }
    };
    unique_handle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    Thread worker;
    if (!done || !worker.start([&] {
            guarded();
            SetEvent(done.get());
        })) {
        guarded();
        return;
    }
    const bool reenable = owner && !EnableWindow(owner, FALSE);
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    HANDLE handle = done.get();
    std::optional<WPARAM> quit;
    while (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            // A quit asked for meanwhile is passed on once the work is done.
            if (msg.message == WM_QUIT) {
                quit = msg.wParam;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    worker.join();
    if (reenable) EnableWindow(owner, TRUE);
    SetCursor(previous);
    if (quit) PostQuitMessage(static_cast<int>(*quit));
}

} // namespace tk

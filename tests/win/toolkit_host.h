// A top-level form for the toolkit tests that routes its children's notifications like the
// main window does, and a message pump that runs IsDialogMessageW like the program's loop.
#pragma once

#include "toolkit/control.h"
#include "toolkit/window.h"

namespace testing_toolkit {

class Host : public tk::Window {
  public:
    bool open() {
        registerClass(L"KeldrastToolkitTestHost", 0, GetSysColorBrush(COLOR_BTNFACE));
        if (!create(L"KeldrastToolkitTestHost", WS_EX_CONTROLPARENT, WS_OVERLAPPEDWINDOW, L"host",
                    0, 0, 400, 240, nullptr))
            return false;
        return ShowWindow(hwnd(), SW_SHOWNOACTIVATE), true;
    }

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        LRESULT result = 0;
        if (tk::routeToChild(message, wParam, lParam, result)) return result;
        return defaultHandling(message, wParam, lParam);
    }
};

inline void pumpLikeTheProgram(HWND form) {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (IsDialogMessageW(form, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace testing_toolkit

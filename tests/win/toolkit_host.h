// A top-level form for the toolkit tests that routes its children's notifications like the
// main window does.
#pragma once

#include "toolkit/control.h"
#include "toolkit/window.h"

namespace testing_toolkit {

class Host : public tk::Window {
  public:
    bool open(int width = 400, int height = 240) {
        registerClass(L"KeldrastToolkitTestHost", 0, GetSysColorBrush(COLOR_BTNFACE));
        if (!create(L"KeldrastToolkitTestHost", WS_EX_CONTROLPARENT, WS_OVERLAPPEDWINDOW, L"host",
                    0, 0, width, height, nullptr))
            return false;
        ShowWindow(hwnd(), SW_SHOWNOACTIVATE);
        return true;
    }

  protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        LRESULT result = 0;
        if (tk::routeToChild(message, wParam, lParam, result)) return result;
        return defaultHandling(message, wParam, lParam);
    }
};

// Runs the thread's queue through IsDialogMessageW, as the program's message loop does, until
// nothing is left.
inline void pumpLikeTheProgram(HWND form) {
    MSG msg{};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (IsDialogMessageW(form, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace testing_toolkit

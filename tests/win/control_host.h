// A plain top-level window to host controls in the Win32 tests, and real input for them.
#pragma once

#include <windows.h>

#include <cstdint>

namespace testhost {

class Host {
  public:
    explicit Host(int width = 420, int height = 260) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
        wc.lpszClassName = L"KeldrastTestHost";
        RegisterClassExW(&wc);
        hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, L"KeldrastTestHost", L"Controls",
                                WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 60, 60, width,
                                height, nullptr, nullptr, wc.hInstance, nullptr);
        SetForegroundWindow(hwnd_);
        SetActiveWindow(hwnd_);
    }
    ~Host() { DestroyWindow(hwnd_); }
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;
    HWND hwnd() const { return hwnd_; }

  private:
    HWND hwnd_ = nullptr;
};

// Runs the message loop for about `milliseconds`.
inline void pump(DWORD milliseconds = 50) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= end) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

// The centre of a window, or a point of its client area, in screen coordinates.
inline POINT screenPoint(HWND window, int x = -1, int y = -1) {
    RECT client{};
    GetClientRect(window, &client);
    POINT p{x < 0 ? client.right / 2 : x, y < 0 ? client.bottom / 2 : y};
    ClientToScreen(window, &p);
    return p;
}

inline void sendMouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
}

inline void moveTo(POINT p) {
    SetCursorPos(p.x, p.y);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(input));
    pump();
}

inline void leftDown() {
    sendMouse(MOUSEEVENTF_LEFTDOWN);
    pump();
}
inline void leftUp() {
    sendMouse(MOUSEEVENTF_LEFTUP);
    pump();
}
inline void click(POINT p) {
    moveTo(p);
    leftDown();
    leftUp();
}

// Pixel colours of a DC's rectangle.
inline bool anyPixel(HDC dc, const RECT& r, COLORREF colour) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (GetPixel(dc, x, y) == colour) return true;
    return false;
}

} // namespace testhost

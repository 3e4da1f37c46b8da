// A plain top-level window to host controls in the Win32 tests, and real input for them.
#pragma once

#include <windows.h>

#include "controls/ControlSurface.h"
#include "toolkit/handles.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <vector>

namespace testhost {

struct Host {
    HWND hwnd = nullptr;
    Host() {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KeldrastTestHost";
        RegisterClassExW(&wc);
        hwnd = CreateWindowExW(WS_EX_CONTROLPARENT, wc.lpszClassName, L"Controls",
                               WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 60, 60, 420, 260, nullptr,
                               nullptr, wc.hInstance, nullptr);
        SetForegroundWindow(hwnd);
    }
    ~Host() { DestroyWindow(hwnd); }
};

// Runs the message loop for about `milliseconds`.
inline void pump(DWORD milliseconds = 50) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

// A point of a window's client area (its centre by default) in screen coordinates.
inline POINT screenPoint(HWND window, int x = -1, int y = -1) {
    RECT client{};
    GetClientRect(window, &client);
    POINT p{x < 0 ? client.right / 2 : x, y < 0 ? client.bottom / 2 : y};
    ClientToScreen(window, &p);
    return p;
}

// Real mouse input: a move to `p` (absolute) or button flags, then the messages run.
inline void mouse(DWORD flags, POINT p = {}) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_MOVE) {
        SetCursorPos(p.x, p.y);
        input.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        input.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        input.mi.dwFlags |= MOUSEEVENTF_ABSOLUTE;
    }
    SendInput(1, &input, sizeof(input));
    pump();
}
inline const auto moveTo = [](POINT p) { mouse(MOUSEEVENTF_MOVE, p); };
inline const auto leftDown = [] { mouse(MOUSEEVENTF_LEFTDOWN); };
inline const auto leftUp = [] { mouse(MOUSEEVENTF_LEFTUP); };

// Real keys, each pressed and released (with the key `held`, such as VK_SHIFT, held around
// them) and followed by a message loop like the program's: `preTranslate` first, then the
// dialog keys.
inline void keys(std::initializer_list<WORD> codes, WORD held = 0,
                 const std::function<bool(const MSG&)>& preTranslate = {}) {
    auto send = [&](WORD code, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = code;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        SendInput(1, &input, sizeof(input));
        for (const ULONGLONG end = GetTickCount64() + 40; GetTickCount64() < end; Sleep(5)) {
            MSG msg{};
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (preTranslate && preTranslate(msg)) continue;
                if (IsDialogMessageW(GetAncestor(msg.hwnd, GA_ROOT), &msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    };
    if (held) send(held, false);
    for (WORD code : codes) {
        send(code, false);
        send(code, true);
    }
    if (held) send(held, true);
}

inline RECT screenRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

// What the screen shows in `area` (screen coordinates): one 0x00RRGGBB value per pixel, row
// by row.
inline std::vector<std::uint32_t> screenPixels(const RECT& area) {
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width > 0 ? width * height : 0));
    if (pixels.empty()) return pixels;
    tk::unique_window_dc screen(nullptr);
    tk::unique_hdc memory(CreateCompatibleDC(screen.get()));
    tk::unique_hbitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    {
        tk::select_object selected(memory.get(), bitmap.get());
        BitBlt(memory.get(), 0, 0, width, height, screen.get(), area.left, area.top, SRCCOPY);
    }
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    GetDIBits(memory.get(), bitmap.get(), 0, static_cast<UINT>(height), pixels.data(), &info,
              DIB_RGB_COLORS);
    return pixels;
}

// The look each control drew last (0: none yet), heard through the Painted seam.
struct Paints {
    std::map<const ControlSurface*, int> latest;
    ScopedPainted listen{
        [this](const ControlSurface& control, int look) { latest[&control] = look; }};
    int of(const ControlSurface& control) const {
        const auto it = latest.find(&control);
        return it == latest.end() ? 0 : it->second;
    }
};

} // namespace testhost

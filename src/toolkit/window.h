// Base of every window the program creates itself: one static window procedure that finds
// the C++ object (stored at WM_NCCREATE) and hands each message to handleMessage.
#pragma once

#include <windows.h>

namespace tk {

class Window {
  public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND hwnd() const noexcept { return hwnd_; }

    // The module of the running program (the exe, also when the code sits in a test exe).
    static HINSTANCE instance() noexcept;

  protected:
    // Registers the class on first use; `classStyle` only counts the first time.
    static bool registerClass(const wchar_t* className, UINT classStyle = CS_DBLCLKS,
                              HBRUSH background = nullptr, HICON icon = nullptr);
    bool create(const wchar_t* className, DWORD exStyle, DWORD style, const wchar_t* text, int x,
                int y, int width, int height, HWND parent, HMENU menuOrId = nullptr);

    // Default handling is DefWindowProcW. Never lets an exception out.
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT defaultHandling(UINT message, WPARAM wParam, LPARAM lParam) noexcept {
        return DefWindowProcW(hwnd_, message, wParam, lParam);
    }

  private:
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
    HWND hwnd_ = nullptr;
};

// DPI of the monitor a window is on (96 when the system cannot say).
UINT dpiForWindow(HWND window) noexcept;
// WM_DPICHANGED of a resizable window: moves and sizes it to the rectangle the system suggests
// (lParam), which keeps it under the cursor on the new monitor.
void moveToSuggestedRect(HWND window, LPARAM lParam) noexcept;
// Outer size for a client size, for a window style and DPI.
SIZE windowSizeForClient(int clientWidth, int clientHeight, DWORD style, DWORD exStyle,
                         UINT dpi) noexcept;

} // namespace tk

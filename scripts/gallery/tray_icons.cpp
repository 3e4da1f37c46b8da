// Shows the notification-area icon as the taskbar gets it (tray::makeIcon) at 16, 20, 24 and 32
// pixels on a dark and a light taskbar, each also enlarged four times, for a few seconds, so
// that a screenshot can be taken (scripts/gallery/run tray). Not a test.
#include <windows.h>

#include <vector>

#include "tray/tray.h"
#include "tray/trayicon.h"

namespace {

constexpr int kSizes[] = {16, 20, 24, 32};
constexpr int kZoom = 4;
constexpr int kRow = 32 * kZoom + 24;
constexpr COLORREF kTaskbars[] = {RGB(0x20, 0x20, 0x20), RGB(0xF3, 0xF3, 0xF3)};

// The icon's own pixels, each drawn as a kZoom square blended over the taskbar's colour.
void drawEnlarged(HDC dc, int left, int top, int size, bool light, COLORREF under) {
    const auto pixels = tray::iconPixels(size, light);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const auto p = pixels[static_cast<std::size_t>(y) * size + x];
            const unsigned a = p >> 24;
            auto mix = [&](unsigned c, unsigned u) { return (c * a + u * (255 - a)) / 255; };
            const COLORREF c =
                RGB(mix((p >> 16) & 0xFF, GetRValue(under)), mix((p >> 8) & 0xFF, GetGValue(under)),
                    mix(p & 0xFF, GetBValue(under)));
            HBRUSH brush = CreateSolidBrush(c);
            const RECT r{left + x * kZoom, top + y * kZoom, left + (x + 1) * kZoom,
                         top + (y + 1) * kZoom};
            FillRect(dc, &r, brush);
            DeleteObject(brush);
        }
}

LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        for (int row = 0; row < 2; ++row) {
            const bool light = row == 1;
            HBRUSH brush = CreateSolidBrush(kTaskbars[row]);
            const RECT band{0, row * kRow, 2000, (row + 1) * kRow};
            FillRect(dc, &band, brush);
            DeleteObject(brush);
            int left = 12;
            for (const int size : kSizes) {
                const int top = row * kRow + 12;
                // As the taskbar shows it: the real icon handle, drawn at its own size.
                const auto icon = tray::makeIcon(size, light);
                DrawIconEx(dc, left, top, icon.get(), size, size, 0, nullptr, DI_NORMAL);
                drawEnlarged(dc, left + size + 12, top, size, light, kTaskbars[row]);
                left += size + 12 + size * kZoom + 24;
            }
        }
        EndPaint(window, &paint);
        return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

int wmain() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KeldrastTrayIcons";
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    RegisterClassExW(&wc);
    int width = 12;
    for (const int size : kSizes)
        width += size + 12 + size * kZoom + 24;
    HWND window =
        CreateWindowExW(0, wc.lpszClassName, L"Notification-area icon", WS_POPUP | WS_VISIBLE, 0, 0,
                        width, 2 * kRow, nullptr, nullptr, wc.hInstance, nullptr);
    SetTimer(window, 1, 5000, nullptr);
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER) DestroyWindow(window);
        DispatchMessageW(&msg);
    }
    return 0;
}

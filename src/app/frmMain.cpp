#include "app/frmMain.h"

#include "app/appinfo.h"
#include "toolkit/scale.h"

namespace {

constexpr wchar_t kClassName[] = L"KeldrastMain";
constexpr int kIconResource = 1;

} // namespace

bool frmMain::load(int showCommand) {
    auto icon = static_cast<HICON>(LoadImageW(instance(), MAKEINTRESOURCEW(kIconResource),
                                              IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (!registerClass(kClassName, CS_DBLCLKS, GetSysColorBrush(COLOR_BTNFACE), icon)) return false;
    // Created hidden with the stored title; the load sequence runs before it is first shown.
    const std::wstring title = app::applicationTitle();
    if (!create(kClassName, 0, kStyle, title.c_str(), CW_USEDEFAULT, CW_USEDEFAULT, 100, 100,
                nullptr))
        return false;
    applyDpi(static_cast<int>(tk::dpiForWindow(hwnd())));

    WhenLoad();
    circleAngle = 0;

    centreOnMonitor();
    ShowWindow(hwnd(), showCommand);
    UpdateWindow(hwnd());
    return true;
}

void frmMain::WhenLoad() {
    SetUniText(hwnd(), app::windowCaption());
}

void frmMain::SetUniText(HWND window, const std::wstring& text) {
    DefWindowProcW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void frmMain::applyDpi(int dpi) {
    dpi_ = dpi;
    // Tahoma 8.25 pt: the height in pixels for this DPI, as a negative character height.
    defaultFont_.reset(CreateFontW(-tk::roundHalfEven(8.25 * dpi / 72.0), 0, 0, 0, FW_NORMAL, 0, 0,
                                   0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                   DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"Tahoma"));
    const SIZE size = tk::windowSizeForClient(tk::twipsToPixels(kClientWidthTwips, dpi),
                                              tk::twipsToPixels(kClientHeightTwips, dpi), kStyle, 0,
                                              static_cast<UINT>(dpi));
    SetWindowPos(hwnd(), nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmMain::centreOnMonitor() {
    RECT window{};
    GetWindowRect(hwnd(), &window);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(hwnd(), MONITOR_DEFAULTTOPRIMARY), &mi);
    const RECT& area = mi.rcWork;
    const int w = window.right - window.left;
    const int h = window.bottom - window.top;
    SetWindowPos(hwnd(), nullptr, area.left + (area.right - area.left - w) / 2,
                 area.top + (area.bottom - area.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void frmMain::unload() {}

LRESULT frmMain::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DPICHANGED: {
        applyDpi(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd(), nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        DestroyWindow(hwnd());
        return 0;
    case WM_DESTROY:
        unload();
        PostQuitMessage(0);
        return 0;
    default:
        return defaultHandling(message, wParam, lParam);
    }
}

#include "toolkit/panel.h"
#include "toolkit/control.h"

namespace tk {

namespace {
constexpr wchar_t kClassName[] = L"KeldrastPanel";
}

bool Panel::create(HWND parent, const RECT& rect, int id, bool border) {
    if (hwnd() || !parent) return false;
    if (!registerClass(kClassName, 0, GetSysColorBrush(COLOR_BTNFACE))) return false;
    const DWORD exStyle = WS_EX_CONTROLPARENT | (border ? WS_EX_CLIENTEDGE : 0);
    return Window::create(kClassName, exStyle,
                          WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, L"", rect.left,
                          rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)));
}

bool Panel::move(const RECT& rect) noexcept {
    return hwnd() && SetWindowPos(hwnd(), nullptr, rect.left, rect.top, rect.right - rect.left,
                                  rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Panel::visible() const noexcept {
    return hwnd() && (GetWindowLongW(hwnd(), GWL_STYLE) & WS_VISIBLE);
}

void Panel::setVisible(bool visible) noexcept {
    if (!hwnd()) return;
    const HWND focus = GetFocus();
    const bool heldFocus = !visible && focus && IsChild(hwnd(), focus);
    ShowWindow(hwnd(), visible ? SW_SHOWNA : SW_HIDE);
    // Otherwise a hidden control could keep the focus and go on taking keys.
    if (heldFocus && GetFocus() == focus) SetFocus(GetParent(hwnd()));
}

bool Panel::enabled() const noexcept {
    return hwnd() && IsWindowEnabled(hwnd());
}

void Panel::setEnabled(bool enabled) noexcept {
    if (hwnd()) EnableWindow(hwnd(), enabled);
}

LRESULT Panel::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (routeToChild(message, wParam, lParam, result)) return result;
    switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        if (HWND parent = GetParent(hwnd())) return SendMessageW(parent, message, wParam, lParam);
        break;
    case WM_GETFONT:
        // Children created in the panel take the form's font until given their own.
        if (HWND parent = GetParent(hwnd())) return SendMessageW(parent, WM_GETFONT, 0, 0);
        break;
    default:
        break;
    }
    return defaultHandling(message, wParam, lParam);
}

} // namespace tk

#include "controls/ControlSurface.h"

#include "controls/accessible_role.h"

#include "toolkit/colour_win.h"
#include "toolkit/font_win.h"
#include "toolkit/scale.h"

#include <windowsx.h>

namespace {

constexpr wchar_t kClassName[] = L"KeldrastControlSurface";

short shiftState(WPARAM mouseKeys) {
    short shift = 0;
    if (mouseKeys & MK_SHIFT) shift |= 1;
    if (mouseKeys & MK_CONTROL) shift |= 2;
    if (GetKeyState(VK_MENU) < 0) shift |= 4;
    return shift;
}

short keyboardShiftState() {
    WPARAM keys = 0;
    if (GetKeyState(VK_SHIFT) < 0) keys |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0) keys |= MK_CONTROL;
    return shiftState(keys);
}

short heldButtons(WPARAM mouseKeys) {
    short buttons = 0;
    if (mouseKeys & MK_LBUTTON) buttons |= 1;
    if (mouseKeys & MK_RBUTTON) buttons |= 2;
    if (mouseKeys & MK_MBUTTON) buttons |= 4;
    return buttons;
}

} // namespace

ControlSurface::ControlSurface() : font_(tk::makeFont()), ambientFont_(font_) {}

ControlSurface::~ControlSurface() {
    destroy();
}

bool ControlSurface::create(HWND parent, const RECT& pixels) {
    return create(parent, pixels, Placement{});
}

bool ControlSurface::create(HWND parent, const RECT& pixels, const Placement& placement) {
    if (hwnd() || !registerClass(kClassName, CS_DBLCLKS)) return false;
    if (placement.ambientFont) ambientFont_ = placement.ambientFont;
    font_ = ambientFont_;
    dpi_ = placement.dpi > 0 ? placement.dpi : static_cast<int>(tk::dpiForWindow(parent));
    terminated_ = false;
    const DWORD style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | extraStyle() |
                        (borderStyle_ ? WS_BORDER : 0);
    if (!tk::Window::create(kClassName, extraExStyle(), style, L"", pixels.left, pixels.top,
                            pixels.right - pixels.left, pixels.bottom - pixels.top, parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(placement.id))))
        return false;
    if (!image_) onSize();

    Initialize();
    if (placement.stored)
        ReadProperties(*placement.stored);
    else
        InitProperties();
    ready_ = true;
    Resize();
    if (placement.visible) setVisible(true);
    return hwnd() != nullptr;
}

void ControlSurface::move(const RECT& pixels) {
    if (!hwnd()) return;
    SetWindowPos(hwnd(), nullptr, pixels.left, pixels.top, pixels.right - pixels.left,
                 pixels.bottom - pixels.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void ControlSurface::setSizePixels(int width, int height) {
    if (!hwnd()) return;
    SetWindowPos(hwnd(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ControlSurface::setDpi(int dpi) {
    if (dpi <= 0 || dpi == dpi_) return;
    dpi_ = dpi;
    selectFont();
    if (ready_) Resize();
}

void ControlSurface::setVisible(bool visible) {
    if (!hwnd()) return;
    const bool was = IsWindowVisible(hwnd()) != FALSE;
    ShowWindow(hwnd(), visible ? SW_SHOWNA : SW_HIDE);
    if (visible && !was && ready_) Show();
}

void ControlSurface::destroy() {
    if (!hwnd()) return;
    DestroyWindow(hwnd());
}

bool ControlSurface::setBackColor(std::uint32_t colour) {
    if (!tk::isValidColour(colour)) return false;
    backColor_ = colour;
    return true;
}

bool ControlSurface::setForeColor(std::uint32_t colour) {
    if (!tk::isValidColour(colour)) return false;
    foreColor_ = colour;
    selectColours();
    return true;
}

bool ControlSurface::setFont(tk::FontPtr font) {
    if (!font) return false;
    font_ = std::move(font);
    selectFont();
    return true;
}

void ControlSurface::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (hwnd()) EnableWindow(hwnd(), enabled ? TRUE : FALSE);
}

bool ControlSurface::setBackStyle(short style) {
    if (style != 0 && style != 1) return false;
    backStyle_ = style;
    return true;
}

bool ControlSurface::setBorderStyle(short style) {
    if (style != 0 && style != 1) return false;
    borderStyle_ = style;
    if (hwnd()) {
        LONG_PTR windowStyle = GetWindowLongPtrW(hwnd(), GWL_STYLE);
        windowStyle = style ? (windowStyle | WS_BORDER) : (windowStyle & ~LONG_PTR{WS_BORDER});
        SetWindowLongPtrW(hwnd(), GWL_STYLE, windowStyle);
        SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    return true;
}

void ControlSurface::clear() {
    HDC dc = image_.dc();
    if (!dc) return;
    const RECT all{0, 0, image_.width(), image_.height()};
    HWND parent = hwnd() ? GetParent(hwnd()) : nullptr;
    if (backStyle_ == 0 && parent) {
        // Transparent: the container paints its own background into the image.
        POINT origin{0, 0};
        MapWindowPoints(hwnd(), parent, &origin, 1);
        POINT previous{};
        SetViewportOrgEx(dc, -origin.x, -origin.y, &previous);
        SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
        SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
        return;
    }
    tk::unique_hbrush brush(CreateSolidBrush(tk::toColorRef(backColor_)));
    FillRect(dc, &all, brush.get());
}

void ControlSurface::imageChanged(int look) {
    if (const auto painted = paintedSeam.get()) painted(*this, look);
    if (hwnd()) InvalidateRect(hwnd(), nullptr, FALSE);
}

void ControlSurface::refreshWindow() {
    if (!hwnd()) return;
    InvalidateRect(hwnd(), nullptr, FALSE);
    UpdateWindow(hwnd());
}

void ControlSurface::notifyChanged(const std::wstring& name) {
    if (PropertyChanged) PropertyChanged(name);
}

void ControlSurface::setCaptionText(const std::wstring& text) {
    if (hwnd()) DefWindowProcW(hwnd(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ControlSurface::makeImage(int width, int height) {
    const tk::unique_window_dc screen(hwnd());
    if (!image_.resize(screen.get(), width, height, tk::toColorRef(backColor_))) return;
    selectFont();
    selectColours();
}

void ControlSurface::selectFont() {
    if (!image_.dc() || !font_) return;
    auto handle = tk::sharedFontHandle(*font_, dpi_);
    if (!handle) return;
    SelectObject(image_.dc(), static_cast<HGDIOBJ>(handle.get()));
    selectedFont_ = std::move(handle);
}

void ControlSurface::selectColours() {
    if (!image_.dc()) return;
    SetTextColor(image_.dc(), tk::toColorRef(foreColor_));
    SetBkMode(image_.dc(), TRANSPARENT);
}

void ControlSurface::onSize() {
    RECT client{};
    GetClientRect(hwnd(), &client);
    if (image_ && client.right == image_.width() && client.bottom == image_.height()) return;
    makeImage(client.right, client.bottom);
    if (ready_) Resize();
}

void ControlSurface::mouseButton(UINT message, WPARAM wParam, LPARAM lParam) {
    short button = 1;
    if (message == WM_RBUTTONDOWN || message == WM_RBUTTONUP || message == WM_RBUTTONDBLCLK)
        button = 2;
    else if (message == WM_MBUTTONDOWN || message == WM_MBUTTONUP || message == WM_MBUTTONDBLCLK)
        button = 4;
    short shift = shiftState(wParam);
    auto x = static_cast<float>(GET_X_LPARAM(lParam));
    auto y = static_cast<float>(GET_Y_LPARAM(lParam));
    const HWND self = hwnd();

    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        if ((extraStyle() & WS_TABSTOP) && GetFocus() != self) SetFocus(self);
        if (!hwnd()) return;
        SetCapture(self);
        if (button == 1) clickArmed_ = true;
        onMouseDown(button, shift, x, y);
        return;
    case WM_LBUTTONDBLCLK:
        if ((extraStyle() & WS_TABSTOP) && GetFocus() != self) SetFocus(self);
        if (!hwnd()) return;
        clickArmed_ = false;
        onDblClick();
        return;
    default: {
        const bool click = button == 1 && clickArmed_;
        if (button == 1) clickArmed_ = false;
        if ((wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0 && GetCapture() == self) {
            releasedAt_ = lParam;
            ReleaseCapture();
        }
        const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        onMouseUp(button, shift, x, y);
        if (!hwnd() || !click) return;
        RECT client{};
        GetClientRect(self, &client);
        if (PtInRect(&client, at)) onClick();
        return;
    }
    }
}

LRESULT ControlSurface::onGetObject(WPARAM wParam, LPARAM lParam) {
    if (!accessibleRole()) return defaultHandling(WM_GETOBJECT, wParam, lParam);
    return answerGetObjectWithRole(hwnd(), wParam, lParam, accessibleRole());
}

LRESULT ControlSurface::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND:
        return TRUE;
    case WM_PAINT:
        image_.paint(hwnd());
        return 0;
    case WM_SIZE:
        onSize();
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        mouseButton(message, wParam, lParam);
        return 0;
    case WM_MOUSEMOVE: {
        // Ending the capture makes the system repeat the last position as a move; that is no
        // movement, and the release look stays until the mouse really moves.
        const bool repeated = lParam == releasedAt_ && heldButtons(wParam) == 0;
        releasedAt_ = -1;
        if (repeated) return 0;
        short button = heldButtons(wParam);
        short shift = shiftState(wParam);
        auto x = static_cast<float>(GET_X_LPARAM(lParam));
        auto y = static_cast<float>(GET_Y_LPARAM(lParam));
        onMouseMove(button, shift, x, y);
        return 0;
    }
    case WM_KEYDOWN:
    case WM_KEYUP: {
        short keyCode = static_cast<short>(wParam);
        short shift = keyboardShiftState();
        if (message == WM_KEYDOWN)
            onKeyDown(keyCode, shift);
        else
            onKeyUp(keyCode, shift);
        return 0;
    }
    case WM_CHAR: {
        short keyAscii = static_cast<short>(wParam);
        onKeyPress(keyAscii);
        return 0;
    }
    case WM_SETFOCUS:
        onFocusEnters();
        return 0;
    case WM_KILLFOCUS:
        onFocusLeaves();
        return 0;
    case WM_GETDLGCODE:
        return dialogCode(reinterpret_cast<const MSG*>(lParam));
    case WM_GETOBJECT:
        return onGetObject(wParam, lParam);
    case WM_DESTROY:
        if (!terminated_) {
            terminated_ = true;
            ready_ = false;
            Terminate();
        }
        return 0;
    case WM_NCDESTROY:
        image_.reset();
        selectedFont_.reset();
        return defaultHandling(message, wParam, lParam);
    default:
        return defaultHandling(message, wParam, lParam);
    }
}

#include "toolkit/control.h"
#include "toolkit/platform.h"

#include <commctrl.h>

namespace tk {

namespace {
constexpr UINT_PTR kSubclassId = 0x4B43; // one id for every control of this toolkit
// Where a container finds the wrapper of a child window.
constexpr wchar_t kWrapperProperty[] = L"KeldrastControl";
} // namespace

Control::~Control() {
    if (hwnd_) {
        HWND window = hwnd_;
        RemoveWindowSubclass(window, &Control::subclassProc, kSubclassId);
        RemovePropW(window, kWrapperProperty);
        hwnd_ = nullptr;
        DestroyWindow(window);
    }
}

int Control::id() const noexcept {
    return hwnd_ ? GetDlgCtrlID(hwnd_) : 0;
}

bool Control::createWindow(const wchar_t* className, DWORD style, DWORD exStyle, HWND parent,
                           const RECT& rect, int id, std::wstring_view text) {
    if (hwnd_ || !parent) return false;
    const std::wstring caption(text);
    // Overlapping siblings never paint over each other: the z-order decides what shows.
    HWND window = CreateWindowExW(
        exStyle, className, caption.c_str(), style | WS_CHILD | WS_CLIPSIBLINGS, rect.left,
        rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (!adopt(window)) return false;
    // Until a font is set, a child shows the container's font rather than the system one.
    if (HFONT parentFont = reinterpret_cast<HFONT>(SendMessageW(parent, WM_GETFONT, 0, 0)))
        setFont(parentFont);
    return true;
}

bool Control::adopt(HWND window) noexcept {
    if (!window) return false;
    if (hwnd_ || !SetPropW(window, kWrapperProperty, this) ||
        !SetWindowSubclass(window, &Control::subclassProc, kSubclassId,
                           reinterpret_cast<DWORD_PTR>(this))) {
        DestroyWindow(window);
        return false;
    }
    hwnd_ = window;
    return true;
}

LRESULT Control::sendPastSubclass(UINT message, WPARAM wParam, LPARAM lParam) const noexcept {
    const auto classProcedure = reinterpret_cast<WNDPROC>(GetClassLongPtrW(hwnd_, GCLP_WNDPROC));
    return classProcedure ? CallWindowProcW(classProcedure, hwnd_, message, wParam, lParam)
                          : SendMessageW(hwnd_, message, wParam, lParam);
}

bool Control::move(const RECT& rect) noexcept {
    return hwnd_ && SetWindowPos(hwnd_, nullptr, rect.left, rect.top, rect.right - rect.left,
                                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void Control::setFont(HFONT font) noexcept {
    if (hwnd_) SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

HFONT Control::font() const noexcept {
    return hwnd_ ? reinterpret_cast<HFONT>(SendMessageW(hwnd_, WM_GETFONT, 0, 0)) : nullptr;
}

bool Control::visible() const noexcept {
    return hwnd_ && (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE);
}

void Control::setVisible(bool visible) noexcept {
    if (hwnd_) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

bool Control::enabled() const noexcept {
    return hwnd_ && IsWindowEnabled(hwnd_);
}

void Control::setEnabled(bool enabled) noexcept {
    if (hwnd_) EnableWindow(hwnd_, enabled);
}

bool Control::setFocus() noexcept {
    if (!hwnd_ || !IsWindowVisible(hwnd_) || !IsWindowEnabled(hwnd_)) return false;
    SetFocus(hwnd_);
    return GetFocus() == hwnd_;
}

std::wstring Control::text() const {
    if (!hwnd_) return {};
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return text;
}

void Control::setText(std::wstring_view text) {
    if (!hwnd_) return;
    const std::wstring copy(text);
    SetWindowTextW(hwnd_, copy.c_str());
}

Control* Control::fromWindow(HWND window) noexcept {
    return window ? static_cast<Control*>(GetPropW(window, kWrapperProperty)) : nullptr;
}

LRESULT CALLBACK Control::subclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                       UINT_PTR, DWORD_PTR selfData) noexcept {
    auto* self = reinterpret_cast<Control*>(selfData);
    if (message == WM_NCDESTROY) {
        // The parent took the window with it: the object must not destroy it again.
        RemoveWindowSubclass(window, &Control::subclassProc, kSubclassId);
        RemovePropW(window, kWrapperProperty);
        if (self->hwnd_ == window) self->hwnd_ = nullptr;
        return DefSubclassProc(window, message, wParam, lParam);
    }
    try {
        LRESULT result = 0;
        if (self->onMessage(message, wParam, lParam, result)) return result;
    } catch (...) {
        logSwallowed(L"a control's subclass procedure");
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

bool routeToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) noexcept {
    try {
        switch (message) {
        case WM_COMMAND:
            if (Control* child = Control::fromWindow(reinterpret_cast<HWND>(lParam))) {
                if (child->onCommand(HIWORD(wParam))) {
                    result = 0;
                    return true;
                }
            }
            return false;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            if (Control* child = Control::fromWindow(reinterpret_cast<HWND>(lParam)))
                return child->onColor(message, reinterpret_cast<HDC>(wParam), result);
            return false;
        default:
            return false;
        }
    } catch (...) {
        // An event handler failed: the message counts as handled, nothing escapes the container.
        logSwallowed(L"a control's event handler");
        result = 0;
        return true;
    }
}

} // namespace tk

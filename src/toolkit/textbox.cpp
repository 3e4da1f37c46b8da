#include "toolkit/textbox.h"

#include <commctrl.h>

namespace tk {

namespace {

bool isEnterOrEscape(const MSG& msg) {
    if (msg.message == WM_KEYDOWN) return msg.wParam == VK_RETURN || msg.wParam == VK_ESCAPE;
    if (msg.message == WM_CHAR) return msg.wParam == L'\r' || msg.wParam == 27;
    return false;
}

} // namespace

bool TextBox::create(HWND parent, const RECT& rect, int id) {
    if (!createWindow(L"Edit", WS_VISIBLE | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                      parent, rect, id))
        return false;
    setMaxLength(maxLength_);
    return true;
}

void TextBox::setMaxLength(int length) noexcept {
    maxLength_ = length > 0 ? length : 0;
    if (hwnd()) SendMessageW(hwnd(), EM_SETLIMITTEXT, static_cast<WPARAM>(maxLength_), 0);
}

bool TextBox::onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_GETDLGCODE: {
        // Without this, IsDialogMessageW turns Enter into the default button and Escape into
        // IDCANCEL, and the text box never sees them.
        result = DefSubclassProc(hwnd(), message, wParam, lParam);
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg && isEnterOrEscape(*msg)) result |= DLGC_WANTMESSAGE;
        return true;
    }
    case WM_CHAR: {
        if (!KeyPress) return false;
        int key = static_cast<int>(wParam);
        KeyPress(key);
        if (key == 0 || !hwnd()) {
            result = 0;
            return true;
        }
        result = DefSubclassProc(hwnd(), message, static_cast<WPARAM>(key), lParam);
        return true;
    }
    default:
        return false;
    }
}

} // namespace tk

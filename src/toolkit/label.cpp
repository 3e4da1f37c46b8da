#include "toolkit/label.h"

namespace tk {

bool Label::create(HWND parent, const RECT& rect, int id, std::wstring_view text) {
    return createWindow(L"Static", WS_VISIBLE | SS_LEFTNOWORDWRAP | SS_NOTIFY, 0, parent, rect, id,
                        text);
}

void Label::setTextColor(COLORREF color) noexcept {
    textColor_ = color;
    if (hwnd()) InvalidateRect(hwnd(), nullptr, TRUE);
}

COLORREF Label::backColor() const noexcept {
    return backBrush_ ? backColor_ : GetSysColor(COLOR_BTNFACE);
}

void Label::setBackColor(COLORREF color) noexcept {
    backBrush_.reset(CreateSolidBrush(color));
    backColor_ = color;
    if (hwnd()) InvalidateRect(hwnd(), nullptr, TRUE);
}

bool Label::onCommand(WORD code) {
    if (code != STN_CLICKED) return false;
    if (Click) Click();
    return true;
}

bool Label::onColor(UINT message, HDC dc, LRESULT& result) {
    if (message != WM_CTLCOLORSTATIC) return false;
    SetTextColor(dc, textColor_);
    SetBkColor(dc, backColor());
    SetBkMode(dc, TRANSPARENT);
    HBRUSH brush = backBrush_ ? backBrush_.get() : GetSysColorBrush(COLOR_BTNFACE);
    result = reinterpret_cast<LRESULT>(brush);
    return true;
}

} // namespace tk

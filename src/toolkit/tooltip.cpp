#include "toolkit/tooltip.h"
#include "toolkit/window.h"

#include <commctrl.h>

namespace tk {

namespace {
constexpr int kMaxWidthAt96Dpi = 300;
}

bool ToolTip::create(HWND owner) {
    // A tool tip is an owned pop-up; the Control base adds WS_CHILD, so create it directly.
    if (hwnd() || !owner) return false;
    HWND window = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                  WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!adopt(window)) return false;
    setMaxWidth(MulDiv(kMaxWidthAt96Dpi, static_cast<int>(dpiForWindow(owner)), 96));
    return true;
}

bool ToolTip::add(HWND tool, std::wstring_view text) {
    if (!hwnd() || !tool) return false;
    std::wstring copy(text);
    TTTOOLINFOW info{};
    // The older, smaller layout: accepted by every version of the common controls.
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = GetParent(tool);
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = copy.data();
    SendMessageW(hwnd(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    return SendMessageW(hwnd(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

void ToolTip::setMaxWidth(int pixels) noexcept {
    if (hwnd()) SendMessageW(hwnd(), TTM_SETMAXTIPWIDTH, 0, pixels);
}

} // namespace tk

#include "toolkit/tooltip.h"
#include "toolkit/scale.h"
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
    setMaxWidth(scaleFrom96(kMaxWidthAt96Dpi, static_cast<int>(dpiForWindow(owner))));
    return true;
}

namespace {

bool addTool(HWND tooltip, HWND tool, wchar_t* text, UINT flags = 0) {
    if (!tooltip || !tool) return false;
    TTTOOLINFOW info{};
    // The older, smaller layout: accepted by every version of the common controls.
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS | flags;
    info.hwnd = GetParent(tool);
    info.uId = reinterpret_cast<UINT_PTR>(tool);
    info.lpszText = text;
    SendMessageW(tooltip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    return SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

} // namespace

bool ToolTip::add(HWND tool, std::wstring_view text) {
    std::wstring copy(text);
    return addTool(hwnd(), tool, copy.data());
}

bool ToolTip::addAsked(HWND tool, bool below) {
    return addTool(hwnd(), tool, LPSTR_TEXTCALLBACKW, below ? TTF_CENTERTIP : 0);
}

void ToolTip::answer(LPARAM notification, const std::wstring& text) noexcept {
    auto* info = reinterpret_cast<NMTTDISPINFOW*>(notification);
    info->lpszText = const_cast<wchar_t*>(text.c_str());
}

void ToolTip::setMaxWidth(int pixels) noexcept {
    if (hwnd()) SendMessageW(hwnd(), TTM_SETMAXTIPWIDTH, 0, pixels);
}

} // namespace tk

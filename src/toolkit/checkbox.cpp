#include "toolkit/checkbox.h"

namespace tk {

bool CheckBox::create(HWND parent, const RECT& rect, int id, std::wstring_view caption) {
    return createWindow(L"Button", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, parent, rect, id,
                        caption);
}

int CheckBox::value() const noexcept {
    return hwnd() && SendMessageW(hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

bool CheckBox::onCommand(WORD code) {
    if (code != BN_CLICKED) return false;
    if (Click) Click();
    return true;
}

} // namespace tk

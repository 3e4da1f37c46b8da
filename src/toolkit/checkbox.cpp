#include "toolkit/checkbox.h"

namespace tk {

bool CheckBox::create(HWND parent, const RECT& rect, int id, std::wstring_view caption) {
    return createWindow(L"Button", WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, parent, rect, id,
                        caption);
}

int CheckBox::value() const noexcept {
    return hwnd() && SendMessageW(hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

void CheckBox::setValue(int value) {
    const int wanted = value != 0 ? 1 : 0;
    if (!hwnd() || wanted == this->value()) return;
    SendMessageW(hwnd(), BM_SETCHECK, wanted ? BST_CHECKED : BST_UNCHECKED, 0);
    if (Click) Click();
}

bool CheckBox::onCommand(WORD code) {
    if (code != BN_CLICKED) return false;
    if (Click) Click();
    return true;
}

} // namespace tk

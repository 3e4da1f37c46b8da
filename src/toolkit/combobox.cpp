#include "toolkit/combobox.h"
#include "toolkit/handles.h"

#include <algorithm>

namespace tk {

namespace {

// The window of a drop-down list is the closed field plus its list.
RECT withList(const RECT& rect, int visibleItems) {
    RECT r = rect;
    const int rowHeight = rect.bottom - rect.top;
    r.bottom = rect.bottom + rowHeight * (visibleItems > 0 ? visibleItems : 1);
    return r;
}

} // namespace

bool ComboBox::create(HWND parent, const RECT& rect, int id, int visibleItems) {
    visibleItems_ = visibleItems;
    return createWindow(L"ComboBox", WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0,
                        parent, withList(rect, visibleItems), id);
}

bool ComboBox::move(const RECT& rect) noexcept {
    return Control::move(withList(rect, visibleItems_));
}

bool ComboBox::addItem(std::wstring_view item, int index) {
    if (!hwnd() || index < -1 || index > count()) return false;
    const std::wstring copy(item);
    const LRESULT at = SendMessageW(hwnd(), CB_INSERTSTRING, static_cast<WPARAM>(index),
                                    reinterpret_cast<LPARAM>(copy.c_str()));
    return at >= 0;
}

bool ComboBox::addItems(const std::vector<std::wstring>& items) {
    if (!hwnd()) return false;
    std::size_t characters = 0;
    for (const auto& item : items)
        characters += item.size() + 1;
    SendMessageW(hwnd(), CB_INITSTORAGE, items.size(), characters * sizeof(wchar_t));
    SendMessageW(hwnd(), WM_SETREDRAW, FALSE, 0);
    bool all = true;
    for (const auto& item : items)
        all = sendPastSubclass(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str())) >= 0 && all;
    SendMessageW(hwnd(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd(), nullptr, TRUE);
    return all;
}

bool ComboBox::removeItem(int index) {
    if (!hwnd() || index < 0 || index >= count()) return false;
    const bool wasSelected = listIndex() == index;
    if (SendMessageW(hwnd(), CB_DELETESTRING, static_cast<WPARAM>(index), 0) < 0) return false;
    if (wasSelected) SendMessageW(hwnd(), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    return true;
}

void ComboBox::clear() noexcept {
    if (hwnd()) SendMessageW(hwnd(), CB_RESETCONTENT, 0, 0);
}

int ComboBox::count() const noexcept {
    if (!hwnd()) return 0;
    const LRESULT n = SendMessageW(hwnd(), CB_GETCOUNT, 0, 0);
    return n > 0 ? static_cast<int>(n) : 0;
}

std::optional<std::wstring> ComboBox::item(int index) const {
    if (!hwnd() || index < 0 || index >= count()) return std::nullopt;
    const LRESULT length = SendMessageW(hwnd(), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length < 0) return std::nullopt;
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const LRESULT copied = SendMessageW(hwnd(), CB_GETLBTEXT, static_cast<WPARAM>(index),
                                        reinterpret_cast<LPARAM>(text.data()));
    if (copied < 0) return std::nullopt;
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

int ComboBox::listIndex() const noexcept {
    if (!hwnd()) return -1;
    const LRESULT index = SendMessageW(hwnd(), CB_GETCURSEL, 0, 0);
    return index >= 0 ? static_cast<int>(index) : -1;
}

bool ComboBox::setListIndex(int index) {
    if (!hwnd() || index < -1 || index >= count()) return false;
    SendMessageW(hwnd(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    if (Click) Click();
    return true;
}

std::wstring ComboBox::text() const {
    return item(listIndex()).value_or(std::wstring{});
}

void ComboBox::fitDroppedWidth() noexcept {
    const unique_window_dc dc(hwnd());
    if (!dc) return;
    const select_object font(dc.get(), this->font());
    int widest = 0;
    std::wstring text;
    for (int i = 0, n = count(); i < n; ++i) {
        const LRESULT length = sendPastSubclass(CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        if (length <= 0) continue;
        text.resize(static_cast<std::size_t>(length) + 1);
        sendPastSubclass(CB_GETLBTEXT, static_cast<WPARAM>(i),
                         reinterpret_cast<LPARAM>(text.data()));
        SIZE size{};
        if (GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(length), &size))
            widest = std::max(widest, static_cast<int>(size.cx));
    }
    // The item's margins, the list's border and a scroll bar beside the text.
    const int extra = GetSystemMetrics(SM_CXVSCROLL) + 4 * GetSystemMetrics(SM_CXEDGE) + 4;
    SendMessageW(hwnd(), CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + extra), 0);
}

bool ComboBox::onCommand(WORD code) {
    // Measured as it opens, so the items and the font (after a DPI change too) are current.
    if (code == CBN_DROPDOWN) fitDroppedWidth();
    if (code != CBN_SELCHANGE) return false;
    if (Click) Click();
    return true;
}

} // namespace tk

#include "app/frmRules.h"

#include "catalogue/mConfig.h"
#include "dns/networks.h"
#include "elevate/task.h"
#include "toolkit/font_win.h"
#include "toolkit/platform.h"
#include "toolkit/scale.h"

#include <commctrl.h>

namespace {

constexpr double kFontPoints = 8.25; // the main window's
constexpr wchar_t kClassName[] = L"KeldrastRules";
constexpr wchar_t kTitle[] = L"DNS per network";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr int kIconResource = 1;
// Sizes at 96 DPI.
constexpr int kWidth = 460, kHeight = 220, kMargin = 8, kButtonWidth = 84, kButtonHeight = 26;
constexpr const wchar_t* kColumns[] = {L"Network", L"Rule", L"Connected"};
constexpr int kColumnWidths[] = {190, 170, 70};

} // namespace

frmRules::frmRules(std::wstring settingsPath)
    : settingsPath_(std::move(settingsPath)),
      font_(tk::makeFont({L"Tahoma", kFontPoints, FW_NORMAL})) {}

bool frmRules::open(HWND owner) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    auto icon = static_cast<HICON>(LoadImageW(instance(), MAKEINTRESOURCEW(kIconResource),
                                              IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (!registerClass(kClassName, CS_DBLCLKS, GetSysColorBrush(COLOR_BTNFACE), icon)) return false;
    dpi_ = static_cast<int>(tk::dpiForWindow(owner));
    const SIZE size =
        tk::windowSizeForClient(tk::scaleFrom96(kWidth, dpi_), tk::scaleFrom96(kHeight, dpi_),
                                kStyle, WS_EX_CONTROLPARENT, static_cast<UINT>(dpi_));
    RECT ownerRect{};
    GetWindowRect(owner, &ownerRect);
    if (!create(kClassName, WS_EX_CONTROLPARENT, kStyle, kTitle,
                (ownerRect.left + ownerRect.right - size.cx) / 2,
                (ownerRect.top + ownerRect.bottom - size.cy) / 2, size.cx, size.cy, owner))
        return false;
    dpi_ = static_cast<int>(tk::dpiForWindow(hwnd()));
    if (!list_.create(WC_LISTVIEWW,
                      WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                          LVS_NOSORTHEADER,
                      WS_EX_CLIENTEDGE, hwnd(), kListId) ||
        !removeButton_.create(L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0, hwnd(), kRemoveId,
                              L"&Remove rule") ||
        !closeButton_.create(L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0, hwnd(), kCloseId, L"Close"))
        return false;
    ListView_SetExtendedListViewStyle(list_.hwnd(), LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    for (int i = 0; i < 3; ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT;
        column.pszText = const_cast<wchar_t*>(kColumns[i]);
        ListView_InsertColumn(list_.hwnd(), i, &column);
    }
    removeButton_.Click = [this] { removeSelected(); };
    closeButton_.Click = [this] { DestroyWindow(hwnd()); };
    applyDpi(dpi_);
    refresh();
    ShowWindow(hwnd(), SW_SHOWNORMAL);
    list_.setFocus();
    return true;
}

void frmRules::applyDpi(int dpi) {
    dpi_ = dpi;
    const HFONT font = tk::fontHandle(*font_, dpi_);
    for (tk::Control* c : {&list_, &removeButton_, &closeButton_})
        c->setFont(font);
    const auto px = [&](int v) { return tk::scaleFrom96(v, dpi_); };
    const auto rect = [&](int x, int y, int w, int h) {
        return RECT{px(x), px(y), px(x) + px(w), px(y) + px(h)};
    };
    const int buttonY = kHeight - kMargin - kButtonHeight;
    list_.move(rect(kMargin, kMargin, kWidth - 2 * kMargin, buttonY - 2 * kMargin));
    removeButton_.move(
        rect(kWidth - 2 * (kMargin + kButtonWidth), buttonY, kButtonWidth, kButtonHeight));
    closeButton_.move(rect(kWidth - kMargin - kButtonWidth, buttonY, kButtonWidth, kButtonHeight));
    for (int i = 0; i < 3; ++i)
        ListView_SetColumnWidth(list_.hwnd(), i, px(kColumnWidths[i]));
}

void frmRules::refresh() {
    rows_ = dns::ruleRows(dns::connectedNetworks(),
                          dns::networkRules(settingsPath_, mConfig::loadCatalogue(settingsPath_)));
    HWND list = list_.hwnd();
    ListView_DeleteAllItems(list);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        std::wstring cells[] = {rows_[i].name.empty() ? rows_[i].network : rows_[i].name,
                                rows_[i].rule, rows_[i].connected ? L"yes" : L"no"};
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = cells[0].data();
        ListView_InsertItem(list, &item);
        for (int c = 1; c < 3; ++c)
            ListView_SetItemText(list, static_cast<int>(i), c, cells[c].data());
    }
    if (!rows_.empty())
        ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    updateButtons();
}

int frmRules::selectedRow() const {
    return ListView_GetNextItem(list_.hwnd(), -1, LVNI_SELECTED);
}

void frmRules::updateButtons() {
    const int row = selectedRow();
    removeButton_.setEnabled(row >= 0 && rows_[static_cast<std::size_t>(row)].hasRule);
}

void frmRules::removeSelected() {
    const int row = selectedRow();
    if (row < 0 || !rows_[static_cast<std::size_t>(row)].hasRule) return;
    if (!dns::forgetNetworkRule(settingsPath_, rows_[static_cast<std::size_t>(row)].network))
        tk::messageBox(hwnd(),
                       L"The rule was not removed: the settings file " + settingsPath_ +
                           L" could not be written.",
                       kTitle, MB_ICONEXCLAMATION | MB_OK);
    else if (const auto retired = elevate::retireRulesTask(settingsPath_); !retired.empty())
        tk::messageBox(hwnd(), retired, kTitle, MB_ICONINFORMATION | MB_OK);
    refresh();
    if (removeButton_.hwnd() == GetFocus() && !IsWindowEnabled(removeButton_.hwnd()))
        list_.setFocus();
}

LRESULT frmRules::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT routed = 0;
    if (tk::routeToChild(message, wParam, lParam, routed)) return routed;
    switch (message) {
    case WM_DPICHANGED:
        tk::moveToSuggestedRect(hwnd(), lParam);
        applyDpi(HIWORD(wParam));
        return 0;
    case WM_NOTIFY: {
        const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
        if (header.idFrom == kListId && header.code == LVN_ITEMCHANGED) updateButtons();
        if (header.idFrom == kListId && header.code == LVN_KEYDOWN &&
            reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE)
            removeSelected();
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL) DestroyWindow(hwnd());
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd());
        return 0;
    }
    return defaultHandling(message, wParam, lParam);
}

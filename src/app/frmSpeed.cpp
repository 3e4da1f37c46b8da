#include "app/frmSpeed.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr wchar_t kClassName[] = L"KeldrastSpeed";
constexpr wchar_t kTitle[] = L"Find the fastest DNS";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
// Sizes at 96 DPI.
constexpr int kWidth = 440, kHeight = 300, kMargin = 8, kButtonWidth = 84, kButtonHeight = 26;

int compareNames(const std::wstring& a, const std::wstring& b) {
    return CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, a.c_str(),
                           static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                           nullptr, nullptr, 0) -
           CSTR_EQUAL;
}

// Figures ascending; "no answer" after them and an absent server after that, either way round.
double figureKey(const dns::ServerResult& server) {
    if (server.address.empty()) return INFINITY;
    const auto figure = server.medianMs();
    return figure ? *figure : HUGE_VAL / 2;
}

} // namespace

frmSpeed::frmSpeed(std::vector<app::CatalogueEntry> entries, dns::SpeedOptions options,
                   UseEntry use)
    : entries_(std::move(entries)), options_(options), use_(std::move(use)) {}

frmSpeed::~frmSpeed() {
    // The base class destroys the window without telling this object: stop the worker first.
    stop();
}

bool frmSpeed::open(HWND owner, HFONT font) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    if (!registerClass(kClassName, CS_DBLCLKS, GetSysColorBrush(COLOR_BTNFACE))) return false;
    dpi_ = static_cast<int>(tk::dpiForWindow(owner));
    const SIZE size = tk::windowSizeForClient(MulDiv(kWidth, dpi_, 96), MulDiv(kHeight, dpi_, 96),
                                              kStyle, 0, static_cast<UINT>(dpi_));
    RECT ownerRect{};
    GetWindowRect(owner, &ownerRect);
    const int x = (ownerRect.left + ownerRect.right - size.cx) / 2;
    const int y = (ownerRect.top + ownerRect.bottom - size.cy) / 2;
    if (!create(kClassName, 0, kStyle, kTitle, x, y, size.cx, size.cy, owner)) return false;
    createControls(font);
    ShowWindow(hwnd(), SW_SHOWNORMAL);

    results_.resize(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i)
        results_[i].name = entries_[i].name;
    const bool started = worker_.start([this, window = hwnd()] {
        dns::runSpeedTest(
            entries_, options_,
            [&](std::size_t index, const dns::EntryResult& result) {
                {
                    std::lock_guard lock(mutex_);
                    finished_.push_back(index);
                    finishedResults_.push_back(result);
                }
                PostMessageW(window, kEntryDone, 0, 0);
            },
            &cancel_);
        PostMessageW(window, kRunDone, 0, 0);
    });
    return started;
}

void frmSpeed::createControls(HFONT font) {
    const auto px = [&](int v) { return MulDiv(v, dpi_, 96); };
    const auto make = [&](const wchar_t* cls, const wchar_t* text, DWORD style, int id, int x,
                          int y, int w, int h, DWORD exStyle = 0) {
        HWND child = CreateWindowExW(
            exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, px(x), px(y), px(w), px(h), hwnd(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance(), nullptr);
        if (child && font) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        return child;
    };
    const int listHeight = kHeight - 3 * kMargin - kButtonHeight - 14 - kMargin;
    HWND list = make(WC_LISTVIEWW, L"", WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                     kListId, kMargin, kMargin, kWidth - 2 * kMargin, listHeight, WS_EX_CLIENTEDGE);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    const bool anyIpv6 = std::any_of(entries_.begin(), entries_.end(),
                                     [](const auto& e) { return !e.pair6.empty(); });
    struct Column {
        const wchar_t* caption;
        int width;
        int role;
    };
    std::vector<Column> columns{
        {L"DNS server", 150, -1}, {L"Preferred", 80, 0}, {L"Alternate", 80, 1}};
    if (anyIpv6) {
        columns[0].width = 110;
        columns.push_back({L"IPv6 pref.", 70, 2});
        columns.push_back({L"IPv6 alt.", 70, 3});
    }
    for (std::size_t i = 0; i < columns.size(); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = i ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = px(columns[i].width);
        column.pszText = const_cast<wchar_t*>(columns[i].caption);
        ListView_InsertColumn(list, static_cast<int>(i), &column);
        if (i) columnRoles_.push_back(columns[i].role);
    }
    const int progressY = kMargin + listHeight + kMargin;
    HWND progress = make(PROGRESS_CLASSW, L"", PBS_SMOOTH, kProgressId, kMargin, progressY,
                         kWidth - 2 * kMargin, 14);
    SendMessageW(progress, PBM_SETRANGE32, 0, static_cast<LPARAM>(entries_.size()));
    const int buttonY = kHeight - kMargin - kButtonHeight;
    HWND useButton =
        make(L"BUTTON", L"&Use this", WS_TABSTOP | BS_PUSHBUTTON, kUseId,
             kWidth - 2 * (kMargin + kButtonWidth), buttonY, kButtonWidth, kButtonHeight);
    EnableWindow(useButton, FALSE);
    make(L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, kCancelId,
         kWidth - kMargin - kButtonWidth, buttonY, kButtonWidth, kButtonHeight);
    SetFocus(list);
}

void frmSpeed::addFinishedEntries() {
    std::vector<std::size_t> indexes;
    std::vector<dns::EntryResult> finished;
    {
        std::lock_guard lock(mutex_);
        indexes.swap(finished_);
        finished.swap(finishedResults_);
    }
    HWND list = control(kListId);
    for (std::size_t k = 0; k < indexes.size(); ++k) {
        const std::size_t index = indexes[k];
        results_[index] = std::move(finished[k]);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = ListView_GetItemCount(list);
        item.lParam = static_cast<LPARAM>(index);
        item.pszText = const_cast<wchar_t*>(results_[index].name.c_str());
        const int row = ListView_InsertItem(list, &item);
        for (std::size_t c = 0; c < columnRoles_.size(); ++c) {
            std::wstring text = dns::serverText(results_[index].servers[columnRoles_[c]]);
            ListView_SetItemText(list, row, static_cast<int>(c + 1), text.data());
        }
    }
    if (!indexes.empty()) {
        sortBy(-1);
        SendMessageW(control(kProgressId), PBM_SETPOS, ListView_GetItemCount(list), 0);
    }
}

void frmSpeed::sortBy(int column) {
    if (column >= 0) {
        sortDescending_ = column == sortColumn_ ? !sortDescending_ : false;
        sortColumn_ = column;
    }
    const auto compare = [](LPARAM a, LPARAM b, LPARAM self) -> int {
        const auto& form = *reinterpret_cast<const frmSpeed*>(self);
        const auto& ra = form.results_[static_cast<std::size_t>(a)];
        const auto& rb = form.results_[static_cast<std::size_t>(b)];
        int order = 0;
        if (form.sortColumn_ == 0) {
            order = compareNames(ra.name, rb.name);
        } else {
            const int role = form.columnRoles_[static_cast<std::size_t>(form.sortColumn_ - 1)];
            const double ka = figureKey(ra.servers[role]), kb = figureKey(rb.servers[role]);
            order = ka < kb ? -1 : ka > kb ? 1 : 0;
        }
        if (form.sortDescending_) order = -order;
        // Ties keep the catalogue order.
        return order ? order : (a < b ? -1 : a > b ? 1 : 0);
    };
    ListView_SortItems(control(kListId), static_cast<PFNLVCOMPARE>(compare),
                       reinterpret_cast<LPARAM>(this));
}

void frmSpeed::finish() {
    done_ = true;
    if (worker_.joinable()) worker_.join();
    addFinishedEntries();
    SetDlgItemTextW(hwnd(), kCancelId, L"Close");
}

void frmSpeed::stop() noexcept {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
}

void frmSpeed::useSelected() {
    HWND list = control(kListId);
    const int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (row < 0) return;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!ListView_GetItem(list, &item)) return;
    if (use_) use_(results_[static_cast<std::size_t>(item.lParam)].name);
}

void frmSpeed::onNotify(const NMHDR& header) {
    if (header.idFrom != kListId) return;
    switch (header.code) {
    case LVN_COLUMNCLICK:
        sortBy(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
        break;
    case NM_DBLCLK:
        useSelected();
        break;
    case LVN_ITEMCHANGED:
        EnableWindow(control(kUseId),
                     ListView_GetNextItem(control(kListId), -1, LVNI_SELECTED) >= 0);
        break;
    }
}

LRESULT frmSpeed::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kEntryDone:
        addFinishedEntries();
        return 0;
    case kRunDone:
        finish();
        return 0;
    case WM_NOTIFY:
        onNotify(*reinterpret_cast<const NMHDR*>(lParam));
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == kUseId) {
            useSelected();
        } else if (LOWORD(wParam) == kCancelId || LOWORD(wParam) == IDCANCEL) {
            if (running()) {
                // Stops the test; what finished stays listed.
                stop();
                finish();
            } else {
                DestroyWindow(hwnd());
            }
        }
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd());
        return 0;
    case WM_DESTROY:
        stop();
        return 0;
    }
    return defaultHandling(message, wParam, lParam);
}

#include "toolkit/decimal.h"
#include "speed/frmSpeed.h"

#include "dns/dohquery.h"
#include "toolkit/font_win.h"
#include "toolkit/scale.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>

namespace {

// The size of the main window's own text, in points.
constexpr double kFontPoints = 8.25;

constexpr wchar_t kClassName[] = L"KeldrastSpeed";
constexpr wchar_t kTitle[] = L"Find the fastest DNS";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT;
constexpr int kIconResource = 1; // the program's icon, as the main window's
// Sizes at 96 DPI.
constexpr int kMargin = 8, kButtonWidth = 84, kButtonHeight = 26, kProgressHeight = 14, kGap = 6;
constexpr int kHeadingPadding = 26; // the heading's margins and the sort arrow
constexpr int kMaxNameWidth = 200;  // a longer name is cut, and shown whole on hover

int compareNames(const std::wstring& a, const std::wstring& b) {
    return CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, a.c_str(),
                           static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                           nullptr, nullptr, 0) -
           CSTR_EQUAL;
}

bool isText(dns::Column column) {
    return column == dns::Column::Name || column == dns::Column::Notes;
}

} // namespace

bool frmSpeed::SystemControl::onCommand(WORD code) {
    if (code != BN_CLICKED || !Click) return false;
    Click();
    return true;
}

frmSpeed::frmSpeed(std::vector<catalogue::CatalogueEntry> entries, dns::SpeedOptions options,
                   UseEntry use)
    : entries_(std::move(entries)), options_(options), use_(std::move(use)),
      font_(tk::makeFont({L"Tahoma", kFontPoints, FW_NORMAL})) {}

frmSpeed::~frmSpeed() {
    // The base class destroys the window without telling this object: stop the worker first.
    stop();
}

bool frmSpeed::open(HWND owner) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    auto icon = static_cast<HICON>(LoadImageW(instance(), MAKEINTRESOURCEW(kIconResource),
                                              IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (!registerClass(kClassName, CS_DBLCLKS, GetSysColorBrush(COLOR_BTNFACE), icon)) return false;
    dpi_ = static_cast<int>(tk::dpiForWindow(owner));
    SIZE size =
        tk::windowSizeForClient(tk::scaleFrom96(kWidth, dpi_), tk::scaleFrom96(kHeight, dpi_),
                                kStyle, kExStyle, static_cast<UINT>(dpi_));
    RECT ownerRect{};
    GetWindowRect(owner, &ownerRect);
    int x = (ownerRect.left + ownerRect.right - size.cx) / 2;
    int y = (ownerRect.top + ownerRect.bottom - size.cy) / 2;
    // Centred on the owner, but whole on its monitor.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        size.cx = std::min<LONG>(size.cx, work.right - work.left);
        size.cy = std::min<LONG>(size.cy, work.bottom - work.top);
        x = std::clamp<int>(x, work.left, work.right - size.cx);
        y = std::clamp<int>(y, work.top, work.bottom - size.cy);
    }
    if (!create(kClassName, kExStyle, kStyle, kTitle, x, y, size.cx, size.cy, owner)) return false;
    // The window may sit on another monitor than its owner.
    dpi_ = static_cast<int>(tk::dpiForWindow(hwnd()));
    if (!createControls()) return false;
    applyDpi(dpi_);
    ShowWindow(hwnd(), SW_SHOWNORMAL);
    // Focus rectangles as the last input asks: shown to whoever opened the window with the keys.
    SendMessageW(hwnd(), WM_CHANGEUISTATE,
                 MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);

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

bool frmSpeed::createControls() {
    if (!list_.create(WC_LISTVIEWW, WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                      WS_EX_CLIENTEDGE, hwnd(), kListId) ||
        !progress_.create(PROGRESS_CLASSW, PBS_SMOOTH, 0, hwnd(), kProgressId) ||
        !status_.create(hwnd(), RECT{}, kStatusId, L"Measuring\u2026") ||
        !useButton_.create(L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0, hwnd(), kUseId,
                           L"&Use this") ||
        !cancelButton_.create(L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0, hwnd(), kCancelId,
                              L"Cancel"))
        return false;
    HWND list = list_.hwnd();
    ListView_SetExtendedListViewStyle(list,
                                      LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
    columns_ =
        dns::windowColumns(dns::anyIpv6(entries_), dns::anyDoh(entries_, dns::loopbackOnly()));
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        std::wstring caption = dns::columnHeading(columns_[i]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_FMT;
        column.fmt = isText(columns_[i]) ? LVCFMT_LEFT : LVCFMT_RIGHT;
        column.pszText = caption.data();
        ListView_InsertColumn(list, static_cast<int>(i), &column);
    }
    SendMessageW(progress_.hwnd(), PBM_SETRANGE32, 0, static_cast<LPARAM>(entries_.size()));
    useButton_.setEnabled(false);
    useButton_.Click = [this] { useSelected(); };
    cancelButton_.Click = [this] {
        if (running()) {
            stop();
            finish(true);
        } else {
            DestroyWindow(hwnd());
        }
    };
    showSortArrow();
    list_.setFocus();
    return true;
}

void frmSpeed::applyDpi(int dpi) {
    dpi_ = dpi;
    const HFONT font = tk::fontHandle(*font_, dpi_);
    for (tk::Control* c : std::initializer_list<tk::Control*>{&list_, &progress_, &status_,
                                                              &useButton_, &cancelButton_})
        c->setFont(font);
    placeControls();
    fitColumns();
}

// The list takes what the progress bar and the buttons leave of the client area.
void frmSpeed::placeControls() {
    if (!list_.hwnd()) return;
    RECT client{};
    GetClientRect(hwnd(), &client);
    const auto px = [&](int v) { return tk::scaleFrom96(v, dpi_); };
    const int margin = px(kMargin), gap = px(kGap), buttonWidth = px(kButtonWidth),
              buttonHeight = px(kButtonHeight);
    const int right = std::max(margin, static_cast<int>(client.right) - margin);
    const int buttonY = client.bottom - margin - buttonHeight;
    const int progressY = buttonY - gap - px(kProgressHeight);
    list_.move(RECT{margin, margin, right, std::max(margin, progressY - gap)});
    progress_.move(RECT{margin, progressY, right, progressY + px(kProgressHeight)});
    const int cancelX = right - buttonWidth, useX = cancelX - margin - buttonWidth;
    status_.move(RECT{margin, buttonY + px(5), std::max(margin, useX - margin),
                      buttonY + buttonHeight - px(3)});
    useButton_.move(RECT{useX, buttonY, useX + buttonWidth, buttonY + buttonHeight});
    cancelButton_.move(RECT{cancelX, buttonY, right, buttonY + buttonHeight});
}

void frmSpeed::fitColumns() {
    // Wide enough for the heading and every cell. The heading's own measure leaves out the
    // sort arrow and, under Wine, part of the text: its width is checked here as well.
    HWND list = list_.hwnd();
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const int column = static_cast<int>(i);
        ListView_SetColumnWidth(list, column, LVSCW_AUTOSIZE_USEHEADER);
        const std::wstring heading = dns::columnHeading(columns_[i]);
        const int wanted =
            ListView_GetStringWidth(list, heading.c_str()) + tk::scaleFrom96(kHeadingPadding, dpi_);
        if (ListView_GetColumnWidth(list, column) < wanted)
            ListView_SetColumnWidth(list, column, wanted);
        const int widest = tk::scaleFrom96(kMaxNameWidth, dpi_);
        if (columns_[i] == dns::Column::Name && ListView_GetColumnWidth(list, column) > widest)
            ListView_SetColumnWidth(list, column, widest);
    }
}

// With no row selected, the first row holds the focus, so its rectangle shows where the
// keyboard is (otherwise the list has the focus and shows none).
void frmSpeed::focusFirstRow() {
    HWND list = list_.hwnd();
    if (ListView_GetItemCount(list) == 0 || ListView_GetNextItem(list, -1, LVNI_SELECTED) >= 0)
        return;
    ListView_SetItemState(list, 0, LVIS_FOCUSED, LVIS_FOCUSED);
}

void frmSpeed::addFinishedEntries() {
    std::vector<std::size_t> indexes;
    std::vector<dns::EntryResult> finished;
    {
        std::lock_guard lock(mutex_);
        indexes.swap(finished_);
        finished.swap(finishedResults_);
    }
    if (indexes.empty()) return;
    HWND list = list_.hwnd();
    for (std::size_t k = 0; k < indexes.size(); ++k) {
        const std::size_t index = indexes[k];
        results_[index] = std::move(finished[k]);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = ListView_GetItemCount(list);
        item.lParam = static_cast<LPARAM>(index);
        item.pszText = const_cast<wchar_t*>(results_[index].name.c_str());
        ListView_InsertItem(list, &item);
        ++listed_;
    }
    refreshRows();
    sortBy(-1);
    fitColumns();
    SendMessageW(progress_.hwnd(), PBM_SETPOS, static_cast<WPARAM>(listed_), 0);
    if (!done_)
        status_.setText(L"Measuring\u2026 " + tk::decimal(listed_) + L" of " +
                        tk::decimal(entries_.size()));
}

// Every row's figures, and the mark on the fastest entry so far (by the same order as the
// command line's table), which moves as results arrive.
void frmSpeed::refreshRows() {
    HWND list = list_.hwnd();
    std::vector<dns::EntryResult> listed;
    for (std::size_t i = 0; i < results_.size(); ++i)
        if (results_[i].finished) listed.push_back(results_[i]);
    dns::sortFastestFirst(listed);
    const bool anyFigure =
        !listed.empty() && listed.front().server(dns::ServerRole::Preferred).medianMs().has_value();
    const std::wstring fastest = anyFigure ? listed.front().name : std::wstring();
    const int rows = ListView_GetItemCount(list);
    for (int row = 0; row < rows; ++row) {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        if (!ListView_GetItem(list, &item)) continue;
        const auto& result = results_[static_cast<std::size_t>(item.lParam)];
        for (std::size_t c = 1; c < columns_.size(); ++c) {
            std::wstring text = dns::cellText(result, columns_[c]);
            if (columns_[c] == dns::Column::Notes && !fastest.empty() && result.name == fastest)
                text = text.empty() ? L"fastest" : L"fastest; " + text;
            ListView_SetItemText(list, row, static_cast<int>(c), text.data());
        }
    }
}

void frmSpeed::sortBy(int column) {
    if (column >= 0) {
        // A new column starts best first (A to Z for names); the same one again turns round.
        sortDescending_ = column == sortColumn_ ? !sortDescending_ : false;
        sortColumn_ = column;
        showSortArrow();
    }
    const auto compare = [](LPARAM a, LPARAM b, LPARAM self) -> int {
        const auto& form = *reinterpret_cast<const frmSpeed*>(self);
        const auto& ra = form.results_[static_cast<std::size_t>(a)];
        const auto& rb = form.results_[static_cast<std::size_t>(b)];
        const dns::Column sorted = form.columns_[static_cast<std::size_t>(form.sortColumn_)];
        int order = 0;
        if (sorted == dns::Column::Name) {
            order = compareNames(ra.name, rb.name);
        } else if (sorted == dns::Column::Notes) {
            order = compareNames(dns::cellText(ra, sorted), dns::cellText(rb, sorted));
        } else {
            const auto fa = dns::sortFigure(ra, sorted), fb = dns::sortFigure(rb, sorted);
            // Entries without a figure stay at the end either way round.
            if (fa.has_value() != fb.has_value()) return fa ? -1 : 1;
            if (fa && *fa != *fb) order = *fa < *fb ? -1 : 1;
        }
        if (form.sortDescending_) order = -order;
        // Ties keep the catalogue order.
        return order ? order : (a < b ? -1 : a > b ? 1 : 0);
    };
    ListView_SortItems(list_.hwnd(), static_cast<PFNLVCOMPARE>(compare),
                       reinterpret_cast<LPARAM>(this));
    focusFirstRow();
}

void frmSpeed::showSortArrow() {
    HWND header = ListView_GetHeader(list_.hwnd());
    for (int i = 0; i < static_cast<int>(columns_.size()); ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        if (!Header_GetItem(header, i, &item)) continue;
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (i == sortColumn_) item.fmt |= sortDescending_ ? HDF_SORTDOWN : HDF_SORTUP;
        Header_SetItem(header, i, &item);
    }
}

void frmSpeed::finish(bool cancelled) {
    const bool wasDone = done_;
    done_ = true;
    if (worker_.joinable()) worker_.join();
    addFinishedEntries();
    if (wasDone) return;
    status_.setText(cancelled ? L"Cancelled" : L"Done");
    cancelButton_.setText(L"Close");
}

void frmSpeed::stop() noexcept {
    cancel_ = true;
    if (worker_.joinable()) worker_.join();
}

void frmSpeed::useSelected() {
    HWND list = list_.hwnd();
    const int row = ListView_GetNextItem(list, -1, LVNI_SELECTED);
    if (row < 0) return;
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!ListView_GetItem(list, &item)) return;
    const dns::EntryResult entry = results_[static_cast<std::size_t>(item.lParam)];
    if (use_ && !use_(entry)) return;
    DestroyWindow(hwnd());
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
        useButton_.setEnabled(ListView_GetNextItem(list_.hwnd(), -1, LVNI_SELECTED) >= 0);
        break;
    case NM_SETFOCUS:
        focusFirstRow();
        break;
    }
}

LRESULT frmSpeed::handleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT routed = 0;
    if (tk::routeToChild(message, wParam, lParam, routed)) return routed;
    switch (message) {
    case kEntryDone:
        addFinishedEntries();
        return 0;
    case kRunDone:
        finish(cancel_.load());
        return 0;
    case WM_DPICHANGED:
        tk::moveToSuggestedRect(hwnd(), lParam);
        applyDpi(HIWORD(wParam));
        return 0;
    case WM_ACTIVATE:
        // As a dialog does: the focus comes back to where it was, the list at first.
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (HWND focus = GetFocus(); focus && IsChild(hwnd(), focus)) lastFocus_ = focus;
        } else if (!HIWORD(wParam)) {
            SetFocus(lastFocus_ && IsChild(hwnd(), lastFocus_) ? lastFocus_ : list_.hwnd());
        }
        return 0;
    case WM_SIZE:
        placeControls();
        return 0;
    case WM_GETMINMAXINFO: {
        const SIZE least = tk::windowSizeForClient(tk::scaleFrom96(kMinWidth, dpi_),
                                                   tk::scaleFrom96(kMinHeight, dpi_), kStyle,
                                                   kExStyle, static_cast<UINT>(dpi_));
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {least.cx, least.cy};
        return 0;
    }
    case WM_NOTIFY:
        onNotify(*reinterpret_cast<const NMHDR*>(lParam));
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && cancelButton_.Click) cancelButton_.Click();
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

// "Find the fastest DNS" from the main window's system menu, on a seeded settings file whose
// entries point at loopback responders only.
#include "app/frmMain.h"
#include "catalogue/mConfig.h"

#include "dns/dohclient.h"
#include "loopback_dns.h"
#include "toolkit/platform.h"
#include "toolkit/scale.h"
#include "toolkit/window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <utility>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using loopback::Plan;

// Runs the message loop until `done` or two seconds have passed.
template <typename Done> bool pumpUntil(Done done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done() && std::chrono::steady_clock::now() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    }
    return done();
}

std::wstring cell(HWND list, int row, int column) {
    wchar_t text[64] = {};
    ListView_GetItemText(list, row, column, text, 64);
    return text;
}

std::wstring textOf(HWND window) {
    wchar_t text[64] = {};
    GetWindowTextW(window, text, 64);
    return text;
}

// The column whose header shows the sort arrow, and whether it points up (best first).
std::pair<int, bool> sortArrow(HWND list) {
    HWND header = ListView_GetHeader(list);
    for (int i = 0; i < Header_GetItemCount(header); ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, i, &item);
        if (item.fmt & (HDF_SORTUP | HDF_SORTDOWN)) return {i, (item.fmt & HDF_SORTUP) != 0};
    }
    return {-1, false};
}

// The window's rectangle for its default client area at `dpi`, as the system suggests it on
// WM_DPICHANGED.
RECT sizedFor(const frmSpeed& speed, int dpi) {
    RECT window{};
    GetWindowRect(speed.hwnd(), &window);
    const SIZE size = tk::windowSizeForClient(
        tk::scaleFrom96(frmSpeed::kWidth, dpi), tk::scaleFrom96(frmSpeed::kHeight, dpi),
        static_cast<DWORD>(GetWindowLongW(speed.hwnd(), GWL_STYLE)),
        static_cast<DWORD>(GetWindowLongW(speed.hwnd(), GWL_EXSTYLE)), static_cast<UINT>(dpi));
    return {window.left, window.top, window.left + size.cx, window.top + size.cy};
}

void clickColumn(frmSpeed& speed, int column) {
    NMLISTVIEW click{};
    click.hdr = {speed.control(frmSpeed::kListId), frmSpeed::kListId, LVN_COLUMNCLICK};
    click.iItem = -1;
    click.iSubItem = column;
    SendMessageW(speed.hwnd(), WM_NOTIFY, frmSpeed::kListId, reinterpret_cast<LPARAM>(&click));
}

std::vector<std::wstring> names(HWND list) {
    std::vector<std::wstring> out;
    for (int row = 0; row < ListView_GetItemCount(list); ++row)
        out.push_back(cell(list, row, 0));
    return out;
}

class SpeedWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
        // The settings file in its own code page: the names are ASCII, "®" is one byte.
        std::string file;
        auto entries = responders.catalogue(layout);
        adjust(entries);
        for (wchar_t c : catalogue::settingsFileText(entries, mConfig::foldKey))
            file.push_back(static_cast<char>(c));
        std::ofstream(dir / "Keldrast.ini", std::ios::binary) << file;
        form = std::make_unique<frmMain>(dir.wstring());
        form->endsProgram = false;
        ASSERT_TRUE(form->load(SW_SHOWNOACTIVATE));
        ASSERT_EQ(form->cbDNSName.count(), static_cast<int>(entries.size()));
    }
    void TearDown() override {
        form.reset();
        fs::remove_all(dir);
    }
    virtual void adjust(std::vector<catalogue::CatalogueEntry>&) {}

    fs::path dir =
        fs::temp_directory_path() / ("keldrast-speed-" + std::to_string(GetCurrentProcessId()));
    const loopback::Responders responders{{Plan{.delayMs = 60}, Plan{}, Plan{.rcode = 5}}};
    const std::vector<loopback::Entry> layout{{L"Slow", {0}}, {L"Fast", {1, 0}}, {L"Refuses", {2}}};
    dns::ScopedServerPorts ports{responders.ports(layout)};
    tk::ScopedMessageBox boxes{
        [](HWND, std::wstring_view, std::wstring_view, UINT) { return IDOK; }};
    std::unique_ptr<frmMain> form;

    // The speed window the main window opened: the window it owns, and the object that the
    // toolkit keeps with every window it creates.
    frmSpeed* speedWindow() const {
        struct Search {
            HWND owner, found;
        } search{form->hwnd(), nullptr};
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                if (GetWindow(window, GW_OWNER) != s->owner || !IsWindowVisible(window))
                    return TRUE;
                s->found = window;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        if (!search.found) return nullptr;
        return dynamic_cast<frmSpeed*>(
            reinterpret_cast<tk::Window*>(GetWindowLongPtrW(search.found, GWLP_USERDATA)));
    }
};

} // namespace

TEST_F(SpeedWindowTest, AsANewUserReadsIt) {
    HMENU menu = GetSystemMenu(form->hwnd(), FALSE);
    wchar_t caption[64] = {};
    GetMenuStringW(menu, frmMain::kFastestDnsCommand, caption, 64, MF_BYCOMMAND);
    EXPECT_STREQ(caption, L"Find the &fastest DNS\u2026");
    RECT before{};
    GetWindowRect(form->cbDNSName.hwnd(), &before);

    SendMessageW(form->hwnd(), WM_SYSCOMMAND, frmMain::kFastestDnsCommand, 0);
    frmSpeed* speed = speedWindow();
    ASSERT_TRUE(speed && IsWindowVisible(speed->hwnd()));
    ASSERT_TRUE(pumpUntil([&] { return !speed->running(); }));
    HWND list = speed->control(frmSpeed::kListId);
    for (const int id : {frmSpeed::kListId, frmSpeed::kProgressId, frmSpeed::kStatusId,
                         frmSpeed::kUseId, frmSpeed::kCancelId})
        EXPECT_TRUE(IsWindowVisible(speed->control(id))) << "control " << id << " is shown";
    // Name, the two figures, reliability, notes; then 90th percentile and uncached.
    EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(list)), 7);
    EXPECT_EQ(names(list), (std::vector<std::wstring>{L"Fast", L"Slow", L"Refuses"}));
    EXPECT_EQ(cell(list, 1, 2), L"") << "Slow has no alternate";
    EXPECT_EQ(cell(list, 2, 1), L"error: REFUSED");
    EXPECT_EQ(cell(list, 0, 3), L"100%");
    EXPECT_EQ(cell(list, 0, 4), L"fastest");
    EXPECT_EQ(cell(list, 1, 4), L"");
    EXPECT_NE(cell(list, 0, 6), L"") << "the uncached time";
    EXPECT_EQ(sortArrow(list), std::make_pair(1, true));
    EXPECT_GE(ListView_GetColumnWidth(list, 1), ListView_GetStringWidth(list, L"error: REFUSED"));
    for (int column = 0; column < 7; ++column) {
        wchar_t heading[32] = {};
        LVCOLUMNW item{};
        item.mask = LVCF_TEXT;
        item.pszText = heading;
        item.cchTextMax = 32;
        ListView_GetColumn(list, column, &item);
        EXPECT_GT(ListView_GetColumnWidth(list, column),
                  ListView_GetStringWidth(list, heading) + 16)
            << "the heading and its sort arrow fit: " << column;
    }
    EXPECT_EQ(SendMessageW(speed->control(frmSpeed::kProgressId), PBM_GETPOS, 0, 0), 3);
    EXPECT_EQ(textOf(speed->control(frmSpeed::kStatusId)), L"Done");
    EXPECT_EQ(textOf(speed->control(frmSpeed::kCancelId)), L"Close");
    // The first click on a column sorts best first (A to Z for names), the next turns it round.
    clickColumn(*speed, 0);
    EXPECT_EQ(names(list), (std::vector<std::wstring>{L"Fast", L"Refuses", L"Slow"}));
    EXPECT_EQ(sortArrow(list), std::make_pair(0, true));
    clickColumn(*speed, 3);
    EXPECT_EQ(names(list).back(), L"Refuses") << "least reliable last";
    clickColumn(*speed, 3);
    EXPECT_EQ(sortArrow(list), std::make_pair(3, false));

    // Moved to a monitor at 144 DPI: the client area and its controls grow by half.
    RECT listBefore{}, window{};
    GetWindowRect(list, &listBefore);
    GetWindowRect(speed->hwnd(), &window);
    RECT suggested = sizedFor(*speed, 144);
    SendMessageW(speed->hwnd(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    RECT listAfter{};
    GetWindowRect(list, &listAfter);
    EXPECT_EQ(speed->dpi(), 144);
    EXPECT_NEAR((listAfter.right - listAfter.left) * 2, (listBefore.right - listBefore.left) * 3,
                4);

    // "Use this" selects the entry in the main window, applies nothing, and closes.
    ASSERT_EQ(form->cbDNSName.text(), L"Slow");
    const int fast = 0;
    clickColumn(*speed, 0);
    ListView_SetItemState(list, fast, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_TRUE(IsWindowEnabled(speed->control(frmSpeed::kUseId)));
    SendMessageW(speed->control(frmSpeed::kUseId), BM_CLICK, 0, 0);
    EXPECT_EQ(form->cbDNSName.text(), L"Fast");
    EXPECT_EQ(form->IP1.IPAddressAsString(), L"127.0.0.1") << "the fields follow the selection";
    EXPECT_FALSE(speed->hwnd()) << "the window closed";
    RECT after{};
    GetWindowRect(form->cbDNSName.hwnd(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));
}

TEST_F(SpeedWindowTest, CancelKeepsWhatWasMeasuredAndClosingStopsAtOnce) {
    SendMessageW(form->hwnd(), WM_SYSCOMMAND, frmMain::kFastestDnsCommand, 0);
    frmSpeed* speed = speedWindow();
    ASSERT_TRUE(speed && speed->running());
    SendMessageW(speed->control(frmSpeed::kCancelId), BM_CLICK, 0, 0);
    EXPECT_FALSE(speed->running());
    EXPECT_TRUE(IsWindow(speed->hwnd())) << "the results stay up";
    EXPECT_EQ(textOf(speed->control(frmSpeed::kStatusId)), L"Cancelled");
    EXPECT_EQ(textOf(speed->control(frmSpeed::kCancelId)), L"Close");
    SendMessageW(speed->control(frmSpeed::kCancelId), BM_CLICK, 0, 0);
    EXPECT_FALSE(speed->hwnd());

    SendMessageW(form->hwnd(), WM_SYSCOMMAND, frmMain::kFastestDnsCommand, 0);
    speed = speedWindow();
    ASSERT_TRUE(speed && speed->running());
    const auto start = std::chrono::steady_clock::now();
    SendMessageW(speed->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_FALSE(speed->hwnd());
    EXPECT_FALSE(speed->running());
}

namespace {

// "Fast" has a DoH template on its own loopback address, answered through the entry point.
class SpeedWindowDohTest : public SpeedWindowTest {
  protected:
    void adjust(std::vector<catalogue::CatalogueEntry>& entries) override {
        for (auto& entry : entries)
            if (entry.name == L"Fast")
                entry.doh = L"https://" + dns::serverList(entry.pair).front() + L":8443/dns-query";
    }
    dns::ScopedDohExchange https{
        [](const dns::DohEndpoint&, std::span<const std::uint8_t> query, int) {
            dns::DohExchange answer{dns::HttpsResult::Response,
                                    200,
                                    L"application/dns-message",
                                    {query.begin(), query.end()}};
            answer.body[2] |= 0x80;
            return answer;
        }};
};

} // namespace

TEST_F(SpeedWindowDohTest, ADohColumnForTheEntryWithATemplate) {
    SendMessageW(form->hwnd(), WM_SYSCOMMAND, frmMain::kFastestDnsCommand, 0);
    frmSpeed* speed = speedWindow();
    ASSERT_TRUE(speed && pumpUntil([&] { return !speed->running(); }));
    HWND list = speed->control(frmSpeed::kListId);
    ASSERT_EQ(Header_GetItemCount(ListView_GetHeader(list)), 8);
    wchar_t heading[32] = {};
    LVCOLUMNW item{};
    item.mask = LVCF_TEXT;
    item.pszText = heading;
    item.cchTextMax = 32;
    ListView_GetColumn(list, 7, &item);
    EXPECT_STREQ(heading, L"DoH") << "after the uncached figure";
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        const auto doh = cell(list, row, 7);
        if (cell(list, row, 0) == L"Fast")
            EXPECT_TRUE(doh.ends_with(L" ms")) << doh;
        else
            EXPECT_EQ(doh, L"") << "no template";
    }
}

namespace {

// The catalogue a new user has (the built-in entries and the encrypted services), then the
// loopback entries and one that redirects unknown names. The built-in servers are public: the
// test machines' guard leaves them unasked ("no answer"), as it does for the README's picture.
class SpeedWindowBuiltInTest : public SpeedWindowTest {
  protected:
    static std::vector<catalogue::CatalogueEntry> builtIn() {
        auto entries = catalogue::presetCatalogue();
        for (auto& service : catalogue::knownServices())
            entries.push_back(std::move(service));
        return entries;
    }
    void adjust(std::vector<catalogue::CatalogueEntry>& entries) override {
        auto all = builtIn();
        for (auto& entry : entries)
            all.push_back({L"Loopback: " + entry.name, entry.pair});
        all.push_back({L"Loopback: redirects", redirecting.address(0)});
        entries = std::move(all);
    }
    const loopback::Responders redirecting{{loopback::Plan{.delayMs = 30, .redirects = true}}};
    dns::ScopedServerPorts builtInPorts{
        [this, local = responders.ports(layout)](std::size_t entry,
                                                 dns::ServerRole role) -> unsigned short {
            const std::size_t first = builtIn().size();
            if (entry < first) return 0;
            if (entry - first < layout.size()) return local(entry - first, role);
            return role == dns::ServerRole::Preferred ? redirecting.port(0) : 0;
        }};
};

RECT rectIn(HWND parent, HWND child) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

} // namespace

TEST_F(SpeedWindowBuiltInTest, FitsAtEveryDpiFollowsItsSizeAndShowsWhereTheKeyboardIs) {
    ASSERT_TRUE(dns::loopbackOnly()) << "the built-in catalogue's servers are never asked here";
    SendMessageW(form->hwnd(), WM_SYSCOMMAND, frmMain::kFastestDnsCommand, 0);
    frmSpeed* speed = speedWindow();
    ASSERT_TRUE(speed && pumpUntil([&] { return !speed->running(); }));
    HWND window = speed->hwnd(), list = speed->control(frmSpeed::kListId);
    const int rows = ListView_GetItemCount(list);
    ASSERT_EQ(rows, static_cast<int>(builtIn().size()) + 4);
    EXPECT_EQ(cell(list, 0, 4), L"fastest");
    LVFINDINFOW find{LVFI_STRING, L"Loopback: redirects", 0, {}, 0};
    EXPECT_EQ(cell(list, ListView_FindItem(list, -1, &find), 4), L"redirects unknown names");

    // Nothing picked yet: the first row holds the focus, so the keyboard's place shows.
    EXPECT_EQ(GetFocus(), list);
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_SELECTED), -1);
    EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_FOCUSED), 0);
    // KELDRAST_SPEED_SHOT=1 leaves the finished window up for 20 seconds, for the README's picture.
    if (const char* shot = std::getenv("KELDRAST_SPEED_SHOT"); shot && *shot == '1') {
        SetForegroundWindow(window);
        for (int i = 0; i < 10; ++i) // 20 seconds
            pumpUntil([] { return false; });
    }

    // At the default size, at every DPI: the name, the two IPv4 figures, the reliability and
    // the notes in view, every cell of theirs whole.
    EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME);
    const wchar_t* inView[] = {L"DNS server", L"Preferred", L"Alternate", L"Reliability", L"Notes"};
    for (const int dpi : {96, 144, 192}) {
        SCOPED_TRACE(dpi);
        RECT suggested = sizedFor(*speed, dpi);
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
        RECT client{};
        GetClientRect(list, &client);
        for (int column = 0; column < static_cast<int>(std::size(inView)); ++column) {
            wchar_t heading[32] = {};
            LVCOLUMNW item{};
            item.mask = LVCF_TEXT;
            item.pszText = heading;
            item.cchTextMax = 32;
            ListView_GetColumn(list, column, &item);
            EXPECT_STREQ(heading, inView[column]);
            RECT header{};
            Header_GetItemRect(ListView_GetHeader(list), column, &header);
            EXPECT_LE(header.right, client.right) << "in view: " << column;
            for (int row = 0; row < rows; ++row)
                EXPECT_LT(ListView_GetStringWidth(list, cell(list, row, column).c_str()),
                          header.right - header.left)
                    << "whole: " << column << ", row " << row;
        }
        // Its least size, scaled for the DPI.
        MINMAXINFO limits{};
        SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
        const SIZE least = tk::windowSizeForClient(
            tk::scaleFrom96(frmSpeed::kMinWidth, dpi), tk::scaleFrom96(frmSpeed::kMinHeight, dpi),
            static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
            static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)), dpi);
        EXPECT_EQ(limits.ptMinTrackSize.x, least.cx);
        EXPECT_EQ(limits.ptMinTrackSize.y, least.cy);
    }

    // Made smaller and larger, the list and the buttons follow; nothing overlaps.
    for (const SIZE size : {SIZE{500, 300}, SIZE{1400, 900}}) {
        SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER);
        RECT client{};
        GetClientRect(window, &client);
        const RECT listRect = rectIn(window, list),
                   progress = rectIn(window, speed->control(frmSpeed::kProgressId)),
                   status = rectIn(window, speed->control(frmSpeed::kStatusId)),
                   use = rectIn(window, speed->control(frmSpeed::kUseId)),
                   cancel = rectIn(window, speed->control(frmSpeed::kCancelId));
        const int margin = tk::scaleFrom96(8, speed->dpi());
        EXPECT_EQ(listRect.right, client.right - margin) << size.cx;
        EXPECT_EQ(cancel.right, client.right - margin);
        EXPECT_EQ(cancel.bottom, client.bottom - margin);
        EXPECT_LE(listRect.bottom, progress.top);
        EXPECT_LE(progress.bottom, use.top);
        EXPECT_LE(status.right, use.left);
        EXPECT_LE(use.right, cancel.left);
    }
}

// "Find the fastest DNS" from the main window's system menu, on a seeded settings file whose
// entries point at loopback responders only.
#include "app/frmMain.h"

#include "loopback_dns.h"
#include "toolkit/platform.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
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

class SpeedWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
        // The settings file in its own code page: the names are ASCII, "®" is one byte.
        std::string file;
        for (wchar_t c : app::settingsFileText(responders.catalogue(layout)))
            file.push_back(static_cast<char>(c));
        std::ofstream(dir / "Keldrast.ini", std::ios::binary) << file;
        form = std::make_unique<frmMain>(dir.wstring());
        form->endsProgram = false;
        ASSERT_TRUE(form->load(SW_SHOWNOACTIVATE));
        ASSERT_EQ(form->cbDNSName.count(), 3);
    }
    void TearDown() override {
        form.reset();
        fs::remove_all(dir);
    }

    fs::path dir =
        fs::temp_directory_path() / ("keldrast-speed-" + std::to_string(GetCurrentProcessId()));
    const loopback::Responders responders{{Plan{.delayMs = 60}, Plan{}, Plan{.silent = true}}};
    const std::vector<loopback::Entry> layout{{L"Slow", {0}}, {L"Fast", {1, 0}}, {L"Silent", {2}}};
    dns::ScopedServerPorts ports{responders.ports(layout)};
    tk::ScopedMessageBox boxes{
        [](HWND, std::wstring_view, std::wstring_view, UINT) { return IDOK; }};
    std::unique_ptr<frmMain> form;
};

} // namespace

TEST_F(SpeedWindowTest, ListsFastestFirstAndUseThisOnlySelectsTheEntry) {
    HMENU menu = GetSystemMenu(form->hwnd(), FALSE);
    wchar_t caption[64] = {};
    GetMenuStringW(menu, frmMain::kFastestDnsCommand, caption, 64, MF_BYCOMMAND);
    EXPECT_STREQ(caption, L"Find the &fastest DNS\u2026");
    RECT before{};
    GetWindowRect(form->cbDNSName.hwnd(), &before);

    SendMessageW(form->hwnd(), WM_SYSCOMMAND, frmMain::kFastestDnsCommand, 0);
    frmSpeed* speed = form->speedWindow();
    ASSERT_TRUE(speed && IsWindowVisible(speed->hwnd()));
    ASSERT_TRUE(pumpUntil([&] { return !speed->running(); }));
    HWND list = speed->control(frmSpeed::kListId);
    ASSERT_EQ(ListView_GetItemCount(list), 3);
    EXPECT_EQ(cell(list, 0, 0), L"Fast");
    EXPECT_EQ(cell(list, 1, 0), L"Slow");
    EXPECT_EQ(cell(list, 1, 2), L"");
    EXPECT_EQ(cell(list, 2, 1), L"no answer");
    EXPECT_EQ(SendMessageW(speed->control(frmSpeed::kProgressId), PBM_GETPOS, 0, 0), 3);
    // KELDRAST_SPEED_SHOT=1 leaves the finished window up for a while, for the README's picture.
    if (const char* shot = std::getenv("KELDRAST_SPEED_SHOT"); shot && *shot == '1') {
        SetForegroundWindow(speed->hwnd());
        pumpUntil([] { return false; });
    }
    wchar_t button[16] = {};
    GetWindowTextW(speed->control(frmSpeed::kCancelId), button, 16);
    EXPECT_STREQ(button, L"Close");

    // A click on the name column sorts by name.
    NMLISTVIEW click{};
    click.hdr = {list, frmSpeed::kListId, LVN_COLUMNCLICK};
    click.iItem = -1;
    SendMessageW(speed->hwnd(), WM_NOTIFY, frmSpeed::kListId, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(cell(list, 0, 0), L"Fast");
    EXPECT_EQ(cell(list, 1, 0), L"Silent");

    ASSERT_EQ(form->cbDNSName.text(), L"Slow");
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    EXPECT_TRUE(IsWindowEnabled(speed->control(frmSpeed::kUseId)));
    SendMessageW(speed->hwnd(), WM_COMMAND, frmSpeed::kUseId, 0);
    EXPECT_EQ(form->cbDNSName.text(), L"Fast");
    EXPECT_EQ(form->IP1.IPAddressAsString(), L"127.0.0.1") << "the fields follow the selection";
    RECT after{};
    GetWindowRect(form->cbDNSName.hwnd(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));
}

TEST_F(SpeedWindowTest, ClosingStopsTheTestAtOnce) {
    SendMessageW(form->hwnd(), WM_SYSCOMMAND, frmMain::kFastestDnsCommand, 0);
    frmSpeed* speed = form->speedWindow();
    ASSERT_TRUE(speed && speed->running());
    const auto start = std::chrono::steady_clock::now();
    SendMessageW(speed->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_FALSE(speed->hwnd());
    EXPECT_FALSE(speed->running());
}

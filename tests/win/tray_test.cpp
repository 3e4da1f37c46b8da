// The notification-area icon through its window's messages: the icon and its tool tip, menu
#include "interface_keys.h"
// commands handed to the command line's elevated path, the verdict as a notification, the
// remembered adapter and "Start with Windows"; and the window's way into the notification area.
#include "elevate/instances.h"
#include "elevate/task.h"
#include "dns/networks.h"
#include "tray/tray.h"
#include "tray/trayicon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/frmMain.h"
#include "catalogue/mConfig.h"
#include "control_host.h"
#include "dns/checkrun.h"
#include "loopback_dns.h"
#include "dns/nameserver_state.h"
#include "dns/readback.h"
#include "registry/modReg.h"
#include "toolkit/elevation.h"
#include "toolkit/open_as_user.h"
#include "toolkit/text.h"

namespace fs = std::filesystem;

namespace {

const std::wstring kEth = L"{1D7E0C6B-0000-4000-8000-0000000000D1}";
const std::wstring kWifi = L"{1D7E0C6B-0000-4000-8000-0000000000D2}";

struct Notified {
    DWORD message;
    UINT flags;
    std::wstring tip, title, text;
    DWORD infoFlags;
    UINT version;
    bool icon;
};

void removeInterfaces() {
    for (const auto& service : {kEth, kWifi})
        testhost::removeInterfaceKeys(service);
}

// An icon on a scratch settings folder (with a copy of the program in it, the "elevated copy"),
// two network cards, Shell_NotifyIcon recorded, and this process taken for unelevated.
class TrayTest : public testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
        fs::copy_file(fs::path(tk::executableDirectory()).parent_path() / "keldrast.exe", exe);
        std::ofstream(dir / "Keldrast.ini", std::ios::binary)
            << "[kDNS]\r\nALL=Open DNS\xAE"
               "A&B DNS\r\nNUM=2\r\nOpen DNS=208.67.222.222,208.67.220.220\r\n"
               "A&B DNS=9.9.9.9,149.112.112.112\r\n";
        const std::wstring root = L"HKEY_LOCAL_MACHINE", cards(dns::kNetworkCardsPath);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, cards.c_str());
        const std::pair<std::wstring, std::wstring> seeded[] = {{L"Tray Ethernet", kEth},
                                                                {L"Tray Wireless", kWifi}};
        for (std::size_t i = 0; i < std::size(seeded); ++i) {
            const std::wstring key = cards + L"\\" + std::to_wstring(i + 1);
            ASSERT_TRUE(modReg::writeValue(root, key, L"Description", seeded[i].first, L"string"));
            ASSERT_TRUE(modReg::writeValue(root, key, L"ServiceName", seeded[i].second, L"string"));
        }
        removeInterfaces();
        ASSERT_TRUE(modReg::writeValue(root, dns::interfaceKeyPath(dns::Family::V4, 2, kEth),
                                       L"NameServer", L"208.67.222.222,208.67.220.220", L"string"));
        // The program gives Open DNS its IPv6 pair too: the adapter has both, as Apply writes them.
        ASSERT_TRUE(modReg::writeValue(root, dns::interfaceKeyPath(dns::Family::V6, 2, kEth),
                                       L"NameServer", L"2620:119:35::35,2620:119:53::53",
                                       L"string"));
        (void)tray::setStartWithWindows(false);
    }
    void TearDown() override {
        icon.reset();
        (void)tray::setStartWithWindows(false);
        removeInterfaces();
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, std::wstring(dns::kNetworkCardsPath).c_str());
        fs::remove_all(dir);
    }
    tray::TrayWindow& open() {
        icon = std::make_unique<tray::TrayWindow>(dir.wstring());
        icon->endsProgram = false;
        EXPECT_TRUE(icon->create());
        return *icon;
    }
    void command(unsigned id) { SendMessageW(icon->hwnd(), WM_COMMAND, id, 0); }
    // Pumps messages until a notification is shown (the change runs on another thread).
    const Notified* notification() {
        for (int i = 0; i < 1200; ++i) {
            for (const auto& n : calls)
                if (n.flags & NIF_INFO) return &n;
            testhost::pump(50);
        }
        return nullptr;
    }
    std::vector<Notified> only(DWORD message) const {
        std::vector<Notified> found;
        for (const auto& n : calls)
            if (n.message == message) found.push_back(n);
        return found;
    }

    const fs::path dir = fs::temp_directory_path() / L"keldrast-tray-test";
    const fs::path exe = dir / L"keldrast.exe";
    std::vector<Notified> calls;
    std::vector<std::wstring> relaunched;
    tray::ScopedNotifyIcon recorded{[&](DWORD message, const NOTIFYICONDATAW& d) {
        calls.push_back({message, d.uFlags, d.szTip, d.szInfoTitle, d.szInfo, d.dwInfoFlags,
                         d.uVersion, d.hIcon != nullptr});
        return true;
    }};
    tk::ScopedElevated notElevated{[] { return false; }};
    dns::ScopedServersInUse inUse{[](std::wstring_view service) {
        return std::optional<std::vector<std::wstring>>(
            {service == kEth ? L"208.67.222.222" : L"192.0.2.1"});
    }};
    std::unique_ptr<tray::TrayWindow> icon;
};

} // namespace

TEST_F(TrayTest, TheIconShowsTheAdapterAndComesBackWhenTheTaskbarDoes) {
    auto& t = open();
    auto added = only(NIM_ADD);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].flags, UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP));
    EXPECT_TRUE(added[0].icon);
    EXPECT_EQ(added[0].tip, L"Keldrast\nTray Ethernet\nIn use: 208.67.222.222\nEncrypted: no");
    ASSERT_EQ(only(NIM_SETVERSION).size(), 1u);
    EXPECT_EQ(only(NIM_SETVERSION)[0].version, UINT(NOTIFYICON_VERSION_4));
    t.refresh();
    EXPECT_TRUE(only(NIM_MODIFY).empty()) << "nothing changed: no flicker";

    // The menu as built for the user: the entry in use checked, Restore greyed.
    HMENU menu = t.buildMenu();
    auto state = [&](UINT id) {
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_STATE | MIIM_FTYPE;
        EXPECT_TRUE(GetMenuItemInfoW(menu, id, FALSE, &item)) << id;
        return item;
    };
    EXPECT_TRUE(state(tray::kFirstEntryId).fState & MFS_CHECKED);
    EXPECT_TRUE(state(tray::kFirstEntryId).fType & MFT_RADIOCHECK);
    EXPECT_FALSE(state(tray::kFirstEntryId + 1).fState & MFS_CHECKED);
    EXPECT_TRUE(state(tray::kRestoreId).fState & MFS_GRAYED);
    EXPECT_TRUE(state(tray::kFirstAdapterId).fState & MFS_CHECKED) << "inside the submenu";
    wchar_t text[64] = {};
    GetMenuStringW(menu, tray::kFirstEntryId + 1, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"A&&B DNS");
    DestroyMenu(menu);

    SendMessageW(t.hwnd(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(only(NIM_ADD).size(), 2u);
    command(tray::kExitId);
    EXPECT_EQ(only(NIM_DELETE).size(), 3u) << "a stale one before each add, then Exit";
    EXPECT_FALSE(IsWindow(t.hwnd()));
}

TEST_F(TrayTest, AChangeGoesToTheElevatedCopyAndDeclinedSaysNothingChanged) {
    tk::ScopedRelaunchElevated declined{[&](const std::wstring& parameters) {
        relaunched.push_back(parameters);
        return tk::unique_handle{};
    }};
    open();
    command(tray::kRestoreId); // greyed: nothing to restore
    command(tray::kFirstEntryId + 1);
    const Notified* shown = notification();
    ASSERT_TRUE(shown);
    ASSERT_EQ(relaunched.size(), 1u);
    const std::wstring prefix = L"/set \"A&B DNS\" /adapter " + kEth + L" /channel ";
    EXPECT_EQ(relaunched[0].rfind(prefix, 0), 0u) << relaunched[0];
    EXPECT_EQ(shown->title, L"Nothing changed");
    EXPECT_NE(shown->text.find(L"elevation was declined"), std::wstring::npos) << shown->text;
    EXPECT_EQ(shown->infoFlags, DWORD(NIIF_WARNING));
    EXPECT_EQ(modReg::readValue(L"HKEY_LOCAL_MACHINE",
                                dns::interfaceKeyPath(dns::Family::V4, 2, kEth), L"NameServer"),
              L"208.67.222.222,208.67.220.220");
    calls.clear();
    command(tray::kDefaultId);
    ASSERT_TRUE(notification());
    ASSERT_EQ(relaunched.size(), 2u);
    EXPECT_EQ(relaunched[1].rfind(L"/default /adapter " + kEth + L" /channel ", 0), 0u);
}

TEST_F(TrayTest, TheElevatedCopysVerdictIsTheNotificationAndTheChecksFollow) {
    // The "elevated copy" is the real program beside the settings file: under Wine it is
    // elevated, and it changes the registry for real.
    tk::ScopedRelaunchElevated copy{[&](const std::wstring& parameters) {
        relaunched.push_back(parameters);
        std::wstring commandLine = L"\"" + exe.wstring() + L"\" " + parameters;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            dir.c_str(), &startup, &process))
            return tk::unique_handle{};
        CloseHandle(process.hThread);
        return tk::unique_handle(process.hProcess);
    }};
    auto& t = open();
    command(tray::kFirstAdapterId + 1);
    EXPECT_EQ(mConfig::chosenAdapter((dir / L"Keldrast.ini").wstring()), kWifi);
    EXPECT_EQ(t.model().chosen, 1u);
    command(tray::kFirstEntryId + 1);
    EXPECT_TRUE(t.model().busy);
    const Notified* shown = notification();
    ASSERT_TRUE(shown);
    ASSERT_EQ(relaunched.size(), 1u);
    EXPECT_EQ(relaunched[0].rfind(L"/set \"A&B DNS\" /adapter " + kWifi, 0), 0u);
    // The seeded card is not connected here: saved, not in force, and what to do about it.
    EXPECT_EQ(shown->title, L"A&B DNS: saved, not in use yet") << shown->text;
    EXPECT_NE(shown->text.find(L"\nConnect the adapter"), std::wstring::npos) << shown->text;
    // Wine cannot tell the running system: the command line's verdict for that.
    EXPECT_EQ(shown->text.rfind(L"The DNS servers were saved.", 0), 0u) << shown->text;
    EXPECT_EQ(modReg::readValue(L"HKEY_LOCAL_MACHINE",
                                dns::interfaceKeyPath(dns::Family::V4, 2, kWifi), L"NameServer"),
              L"9.9.9.9,149.112.112.112");
    EXPECT_FALSE(t.model().busy);
    EXPECT_TRUE(t.model().canRestore);
    const auto tips = only(NIM_MODIFY);
    ASSERT_FALSE(tips.empty());
    EXPECT_NE(tips.back().tip.find(L"Tray Wireless"), std::wstring::npos);

    // A new icon remembers the adapter.
    icon.reset();
    calls.clear();
    open();
    EXPECT_EQ(icon->model().chosen, 1u);
}

TEST_F(TrayTest, StartWithWindowsWritesAndRemovesTheRunValue) {
    auto& t = open();
    EXPECT_FALSE(t.model().startsWithWindows);
    command(tray::kStartWithWindowsId);
    wchar_t value[MAX_PATH * 2] = {};
    DWORD bytes = sizeof(value);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, tray::kRunKey, tray::kRunValue, RRF_RT_REG_SZ,
                           nullptr, value, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(value), L"\"" + tk::executablePath() + L"\" /tray");
    EXPECT_TRUE(t.model().startsWithWindows);
    command(tray::kStartWithWindowsId);
    EXPECT_FALSE(tray::startsWithWindows());
    EXPECT_FALSE(t.model().startsWithWindows);
}

TEST_F(TrayTest, PauseRulesIsRememberedInTheSettingsFileAndReadAtStart) {
    const auto ini = (dir / "Keldrast.ini").wstring();
    EXPECT_FALSE(open().model().rulesPaused);
    command(tray::kPauseRulesId);
    EXPECT_TRUE(icon->model().rulesPaused);
    EXPECT_TRUE(mConfig::traySwitch(ini, catalogue::kPauseRulesKey));
    EXPECT_EQ(mConfig::loadCatalogue(ini).size(), 2u) << "the catalogue stays";
    icon.reset();
    EXPECT_TRUE(open().model().rulesPaused) << "a new start reads it";
    command(tray::kPauseRulesId);
    EXPECT_FALSE(icon->model().rulesPaused);
    EXPECT_FALSE(mConfig::traySwitch(ini, catalogue::kPauseRulesKey));
    // A file that cannot be written: the choice holds for the session, and the notice says so.
    SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY);
    command(tray::kPauseRulesId);
    SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(icon->model().rulesPaused);
    EXPECT_FALSE(mConfig::traySwitch(ini, catalogue::kPauseRulesKey));
    const auto* notice = notification();
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->title, L"Pause rules");
}

TEST_F(TrayTest, ASettledNetworkChangeAppliesTheRuleOnceHoweverManyNotificationsCome) {
    const std::wstring ini = (dir / "Keldrast.ini").wstring(),
                       home = L"{5B3C0000-0000-4000-8000-0000000000E1}";
    ASSERT_TRUE(mConfig::setNetworkRule(ini, home, dns::encodeRule({home, L"A&B DNS", L"Home"})));
    ASSERT_TRUE(mConfig::setTraySwitch(ini, catalogue::kTaskOfferedKey, true));
    dns::ScopedNetworkList network{[&] {
        return std::optional<std::vector<dns::Network>>({{home, L"Home", {{kEth, L""}}}});
    }};
    // The task "runs" /apply-rules: the card gets the rule's servers, as the real one would.
    int runs = 0;
    elevate::ScopedTaskScheduler task{[&](elevate::TaskOperation operation,
                                          const elevate::TaskDefinition& definition) {
        EXPECT_EQ(definition.arguments, L"/apply-rules");
        if (operation == elevate::TaskOperation::Run) {
            ++runs;
            EXPECT_TRUE(modReg::writeValue(L"HKEY_LOCAL_MACHINE",
                                           dns::interfaceKeyPath(dns::Family::V4, 2, kEth),
                                           L"NameServer", L"9.9.9.9,149.112.112.112", L"string"));
            EXPECT_TRUE(modReg::writeValue(L"HKEY_LOCAL_MACHINE",
                                           dns::interfaceKeyPath(dns::Family::V6, 2, kEth),
                                           L"NameServer", L"", L"string"));
        }
        return elevate::TaskResult{elevate::TaskStatus::Done, 0};
    }};
    auto& t = open();
    for (int i = 0; i < 25; ++i)
        PostMessageW(t.hwnd(), tray::TrayWindow::kNetworkChanged, 0, 0);
    const Notified* shown = notification();
    ASSERT_TRUE(shown);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(shown->title, L"Home: A&B DNS: done") << shown->text;
    // The change's own notifications: the rule is in force, nothing runs again.
    calls.clear();
    for (int i = 0; i < 25; ++i)
        PostMessageW(t.hwnd(), tray::TrayWindow::kNetworkChanged, 0, 0);
    testhost::pump(3000);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(std::none_of(calls.begin(), calls.end(),
                             [](const Notified& n) { return (n.flags & NIF_INFO) != 0; }));
    // Paused, a switch applies nothing.
    command(tray::kPauseRulesId);
    EXPECT_TRUE(modReg::writeValue(L"HKEY_LOCAL_MACHINE",
                                   dns::interfaceKeyPath(dns::Family::V4, 2, kEth), L"NameServer",
                                   L"8.8.8.8", L"string"));
    PostMessageW(t.hwnd(), tray::TrayWindow::kNetworkChanged, 0, 0);
    testhost::pump(3000);
    EXPECT_EQ(runs, 1);
}

TEST_F(TrayTest, TheWindowStartsTheIconAsTheUserUnlessItRunsAndCloses) {
    std::vector<std::wstring> opened;
    tk::ScopedElevated elevated{[] { return true; }};
    tk::ScopedDesktopShellOpen desktop{[&](const std::wstring& target, const std::wstring& args) {
        opened.push_back(target + L"|" + args);
        return true;
    }};
    tk::ScopedMessageBox noBoxes{
        [](HWND, std::wstring_view, std::wstring_view, UINT) { return IDOK; }};
    // The place is per user; taken without an icon that answers, the icon is not running.
    EXPECT_NE(elevate::trayInstanceName().find(L"Local\\Keldrast.NotificationArea.S-1-"),
              std::wstring::npos);
    {
        const tk::unique_handle squatted(
            CreateMutexW(nullptr, FALSE, elevate::trayInstanceName().c_str()));
        EXPECT_FALSE(elevate::trayRunning());
    }
    for (const bool running : {false, true}) {
        const tk::unique_handle other(
            running ? CreateMutexW(nullptr, FALSE, elevate::trayInstanceName().c_str()) : nullptr);
        if (running) open();
        EXPECT_EQ(elevate::trayRunning(), running);
        frmMain form(dir.wstring());
        form.endsProgram = false;
        ASSERT_TRUE(form.load(SW_SHOWNOACTIVATE));
        SendMessageW(form.hwnd(), WM_SYSCOMMAND, frmMain::kNotificationAreaCommand, 0);
        testhost::pump(100);
        EXPECT_FALSE(IsWindow(form.hwnd())) << running;
    }
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], tk::executablePath() + L"|/tray");
    ASSERT_TRUE(notification()) << "the running icon was told";
    EXPECT_EQ(notification()->title, L"Keldrast keeps running here");
}

// The first time the window goes to the notification area the icon says how to get it back;
// never again, also after a restart and after the window's save of the catalogue.
TEST_F(TrayTest, TheFirstTimeTheWindowComesHereANoticeSaysHowToGetItBack) {
    const auto notices = [&] {
        return std::count_if(calls.begin(), calls.end(),
                             [](const Notified& n) { return (n.flags & NIF_INFO) != 0; });
    };
    const std::wstring settings = mConfig::settingsPath(dir.wstring());
    for (int run = 0; run < 2; ++run) {
        calls.clear();
        open();
        for (int i = 0; i < 2; ++i) {
            elevate::tellTrayWindowKept(0);
            testhost::pump(100);
        }
        EXPECT_EQ(notices(), run == 0 ? 1 : 0) << "run " << run;
        ASSERT_TRUE(mConfig::saveCatalogue(settings, mConfig::loadCatalogue(settings)));
        icon.reset();
    }
    EXPECT_EQ(tray::trayNotice(false)->text.find(L"Double-click the Keldrast icon"), 0u);
}

TEST_F(TrayTest, TheFastestEntryIsAppliedToTheChosenAdapterAfterAYes) {
    tk::ScopedRelaunchElevated declined{[&](const std::wstring& parameters) {
        relaunched.push_back(parameters);
        return tk::unique_handle{};
    }};
    std::vector<std::pair<std::wstring, UINT>> asked;
    int answer = IDNO;
    tk::ScopedMessageBox boxes{[&](HWND, std::wstring_view text, std::wstring_view, UINT flags) {
        asked.emplace_back(text, flags);
        return answer;
    }};
    auto& t = open();
    command(tray::kFastestId);
    frmSpeed* speed = t.speedWindow();
    ASSERT_TRUE(speed && IsWindowVisible(speed->hwnd()));
    EXPECT_EQ(GetWindow(speed->hwnd(), GW_OWNER), t.hwnd());
    for (int i = 0; i < 400 && speed->running(); ++i)
        testhost::pump(50); // the test machines' guard skips these public servers at once
    HWND list = speed->control(frmSpeed::kListId);
    LVFINDINFOW find{LVFI_STRING, L"A&B DNS", 0, {}, 0};
    const int row = ListView_FindItem(list, -1, &find);
    ASSERT_GE(row, 0);
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    // "Use this" asks first, No by default; No applies nothing and leaves the results up.
    SendMessageW(speed->control(frmSpeed::kUseId), BM_CLICK, 0, 0);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].first, L"Apply A&B DNS to Tray Ethernet?");
    EXPECT_EQ(asked[0].second, UINT(MB_ICONQUESTION | MB_YESNO | MB_DEFBUTTON2));
    testhost::pump(100);
    EXPECT_TRUE(relaunched.empty());
    EXPECT_TRUE(IsWindowVisible(speed->hwnd()));
    answer = IDYES;
    SendMessageW(speed->control(frmSpeed::kUseId), BM_CLICK, 0, 0);
    EXPECT_EQ(asked.size(), 2u);
    ASSERT_TRUE(notification());
    ASSERT_EQ(relaunched.size(), 1u);
    EXPECT_EQ(relaunched[0].rfind(L"/set \"A&B DNS\" /adapter " + kEth, 0), 0u) << relaunched[0];
}

// "Check which DNS answers…" checks the chosen adapter and shows the table in a message: its
// first server is sent to a loopback responder, the others are not asked on a test machine.
TEST_F(TrayTest, TheCheckShowsWhoAnswersTheChosenAdapter) {
    loopback::Responders responders({{.identity = "203.0.113.9"}});
    dns::ScopedCheckRoute route{[&](const std::wstring& server) {
        return server == L"208.67.222.222"
                   ? std::optional(dns::CheckRoute{responders.address(0), responders.port(0)})
                   : std::nullopt;
    }};
    std::vector<std::pair<std::wstring, UINT>> shown;
    tk::ScopedMessageBox boxes{[&](HWND, std::wstring_view text, std::wstring_view, UINT flags) {
        shown.emplace_back(text, flags);
        return IDOK;
    }};
    open();
    command(tray::kCheckId);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].second & MB_ICONINFORMATION);
    for (const wchar_t* part :
         {L"Adapter: Tray Ethernet\n", L"Server 208.67.222.222\n", L"Outgoing       203.0.113.9\n",
          L"Server 2620:119:35::35\n", L"not asked"})
        EXPECT_NE(shown[0].first.find(part), std::wstring::npos) << tk::toAnsi(shown[0].first);
}

TEST_F(TrayTest, TheIconFollowsTheTaskbarsShadeAndSizeWithoutFlicker) {
    for (const int size : {16, 20, 24, 32})
        for (const bool light : {false, true}) {
            const auto icon = tray::makeIcon(size, light);
            ICONINFO info{};
            ASSERT_TRUE(icon && GetIconInfo(icon.get(), &info));
            const tk::unique_hbitmap colour(info.hbmColor), mask(info.hbmMask);
            BITMAPINFO header{};
            header.bmiHeader = {
                sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
            std::vector<DWORD> pixels(static_cast<std::size_t>(size * size));
            const tk::unique_hdc dc(CreateCompatibleDC(nullptr));
            ASSERT_EQ(
                GetDIBits(dc.get(), colour.get(), 0, size, pixels.data(), &header, DIB_RGB_COLORS),
                size);
            // The picture whole, its alpha channel too.
            EXPECT_TRUE(
                std::equal(pixels.begin(), pixels.end(), tray::iconPixels(size, light).begin()))
                << size << light;
        }

    const wchar_t* personalize =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";
    auto setLight = [&](DWORD value) {
        RegSetKeyValueW(HKEY_CURRENT_USER, personalize, L"SystemUsesLightTheme", REG_DWORD, &value,
                        sizeof(value));
    };
    setLight(0);
    auto& t = open();
    setLight(1);
    SendMessageW(t.hwnd(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
    ASSERT_EQ(only(NIM_MODIFY).size(), 1u);
    EXPECT_EQ(only(NIM_MODIFY)[0].flags, UINT(NIF_ICON));
    SendMessageW(t.hwnd(), WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"ImmersiveColorSet"));
    EXPECT_EQ(only(NIM_MODIFY).size(), 1u) << "nothing changed: no flicker";
    RegDeleteKeyValueW(HKEY_CURRENT_USER, personalize, L"SystemUsesLightTheme");
}

TEST_F(TrayTest, ARightClickOpensTheMenuInFrontWithItsChecks) {
    auto& t = open();
    static HMENU shownMenu;
    static HWND front;
    static UINT checkedEntry;
    shownMenu = nullptr;
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        front = GetForegroundWindow();
        if (HWND popup = FindWindowW(L"#32768", nullptr))
            shownMenu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        checkedEntry =
            shownMenu && (GetMenuState(shownMenu, tray::kFirstEntryId, MF_BYCOMMAND) & MF_CHECKED)
                ? 1
                : 0;
        EndMenu();
    });
    SendMessageW(t.hwnd(), tray::TrayWindow::kIconMessage, MAKEWPARAM(20, 20),
                 MAKELPARAM(WM_CONTEXTMENU, tray::TrayWindow::kIconId));
    EXPECT_TRUE(shownMenu) << "the menu opened";
    EXPECT_EQ(front, t.hwnd()) << "in front, so a click elsewhere closes it";
    EXPECT_EQ(checkedEntry, 1u);
    MSG msg{};
    EXPECT_TRUE(PeekMessageW(&msg, t.hwnd(), WM_NULL, WM_NULL, PM_REMOVE)) << "WM_NULL posted";
}

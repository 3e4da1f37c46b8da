#include "app/frmMain.h"
#include "interface_keys.h"

#include "control_host.h"
#include "loopback_dns.h"

#include "catalogue/catalogue.h"
#include "catalogue/mConfig.h"
#include "dns/change.h"
#include "dns/checkrun.h"
#include "dns/network.h"
#include "dns/readback.h"
#include "registry/modReg.h"
#include "toolkit/platform.h"
#include "toolkit/scale.h"
#include "toolkit/text.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;
using dns::Family;
using dns::NameServerState;

// The address field passes the focus on to its first part.
bool focusIn(HWND field) {
    return GetFocus() == field || IsChild(field, GetFocus());
}

struct Shown {
    std::wstring text;
    UINT flags;
    bool ownerVisible;
};

// A main window on a scratch settings folder, with every message box recorded and
// answered instead of shown.
class MainWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        form.reset();
        fs::remove_all(dir);
    }
    frmMain& open(int showCommand = SW_SHOWNOACTIVATE) {
        form = std::make_unique<frmMain>(dir.wstring());
        form->endsProgram = false;
        EXPECT_TRUE(form->load(showCommand));
        atLoad = std::exchange(shown, {}); // the adapter notice of a prefix without network cards
        return *form;
    }
    void close() { form.reset(); }
    std::string settingsFile() const {
        std::stringstream s;
        s << std::ifstream(dir / "Keldrast.ini", std::ios::binary).rdbuf();
        return s.str();
    }
    std::wstring lastText() const { return shown.empty() ? L"" : shown.back().text; }
    // The catalogue the window holds, one "name=pair" line per entry.
    std::wstring catalogue() const {
        std::wstring lines;
        for (int i = 0; i < form->cbDNSName.count(); ++i)
            lines += form->cbDNSName.item(i).value_or(L"?") + L"=" +
                     form->lstDNS.item(i).value_or(L"?") + L"\n";
        return lines;
    }
    // One adapter in the list, as if the registry had listed it.
    void addAdapter(const std::wstring& description, const std::wstring& service) {
        form->cbNET.addItem(description);
        form->lstNET.addItem(service);
        form->cbNET.setListIndex(form->cbNET.count() - 1);
    }

    fs::path dir =
        fs::temp_directory_path() / ("keldrast-form-" + std::to_string(GetCurrentProcessId()));
    std::unique_ptr<frmMain> form;
    std::vector<Shown> shown, atLoad;
    int answer = IDYES;
    tk::ScopedMessageBox boxes{
        [this](HWND owner, std::wstring_view text, std::wstring_view, UINT flags) {
            shown.push_back({std::wstring(text), flags, owner && IsWindowVisible(owner)});
            return answer;
        }};
};

TEST_F(MainWindowTest, OpensCentredWithThePresetsAndClosingEndsTheLoopAndWritesThem) {
    auto& f = open();
    HWND w = f.hwnd();
    wchar_t caption[64]{};
    GetWindowTextW(w, caption, 64);
    EXPECT_STREQ(caption, L"Keldrast \u00a9 WWW.KELDRAST.EXAMPLE");
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
    RECT client{}, outer{};
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, tk::twipsToPixels(6090, f.dpi()));
    EXPECT_EQ(client.bottom, tk::twipsToPixels(3480, f.dpi()));
    GetWindowRect(w, &outer);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTOPRIMARY), &mi);
    EXPECT_NEAR((outer.left + outer.right) / 2, (mi.rcWork.left + mi.rcWork.right) / 2, 1);
    EXPECT_NEAR((outer.top + outer.bottom) / 2, (mi.rcWork.top + mi.rcWork.bottom) / 2, 1);
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(f.defaultFont(), sizeof(lf), &lf));
    EXPECT_STREQ(lf.lfFaceName, L"Tahoma");
    EXPECT_EQ(lf.lfHeight, -tk::roundHalfEven(8.25 * f.dpi() / 72.0));

    ASSERT_EQ(f.cbDNSName.count(), 18);
    EXPECT_EQ(f.cbDNSName.text(), L"Google DNS");
    EXPECT_EQ(f.IP1.IPAddressAsString(), L"8.8.8.8");
    EXPECT_EQ(f.IP2.IPAddressAsString(), L"8.8.4.4");
    EXPECT_FALSE(f.IP1.Enabled());
    EXPECT_FALSE(f.Picture1.visible());

    f.endsProgram = true;
    PostMessageW(w, WM_CLOSE, 0, 0);
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(f.hwnd(), nullptr);
    const std::string file = settingsFile();
    EXPECT_EQ(file.rfind("[kDNS]\r\nALL=Google DNS\xAEOpen DNS\xAEScrubIT", 0), 0u) << file;
    EXPECT_NE(file.find("\r\nNUM=18\r\nGoogle DNS=8.8.8.8,8.8.4.4\r\n"), std::string::npos);
}

TEST_F(MainWindowTest, SaveRefusesMissingPartsDuplicatesAndNamesTheFileCannotKeep) {
    auto& f = open();
    f.bt1_Click();
    EXPECT_TRUE(f.Picture1.visible());
    EXPECT_EQ(f.IP1.IPAddressAsString(), L"0.0.0.0");

    f.txName.setText(L"   ");
    f.btADD_Click();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(GetFocus(), f.txName.hwnd());

    f.txName.setText(L"Mine");
    f.IP2.IPAddressAsString(L"9.9.9.9");
    f.btADD_Click();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(lastText(), L"Enter IP Address...");
    EXPECT_EQ(shown.back().flags, 16u);
    EXPECT_TRUE(focusIn(f.IP1.hwndIP()));

    f.IP1.IPAddressAsString(L"9.9.9.10");
    // Compared as the settings file compares keys: trimmed and without letter case.
    for (const wchar_t* refused : {L"  google dns ", L"a=b"}) {
        f.txName.setText(refused);
        f.btADD_Click();
        EXPECT_EQ(shown.back().flags, 16u) << refused;
    }
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[1].text, L"DNS server name has exist! Choose another DNS server name...");
    EXPECT_NE(shown[2].text, shown[1].text);
    EXPECT_EQ(f.cbDNSName.count(), 18);
    EXPECT_TRUE(f.Picture1.visible());

    f.cbDNSName.setListIndex(1);
    f.bt1_Click();
    f.txName.setText(L" Vi\u1EC7t DNS "); // beyond the code page: the file becomes UTF-16
    f.IP1.IPAddressAsString(L"9.9.9.9");
    f.IP2.IPAddressAsString(L"149.112.112.112");
    int enter = 13;
    f.txName_KeyPress(enter); // Enter in the name field is SAVE
    ASSERT_EQ(f.cbDNSName.count(), 19);
    EXPECT_EQ(f.cbDNSName.item(18), L"Vi\u1EC7t DNS");
    EXPECT_EQ(f.lstDNS.item(18), L"9.9.9.9,149.112.112.112");
    EXPECT_FALSE(f.Picture1.visible());
    EXPECT_EQ(f.txName.text(), L"");
    EXPECT_EQ(f.cbDNSName.listIndex(), 1);
    EXPECT_EQ(f.IP1.IPAddressAsString(), L"208.67.222.222");
    EXPECT_FALSE(f.IP1.Enabled());
}

TEST_F(MainWindowTest, DeletingSelectsTheFirstEntryAndAnEmptyCatalogueSaysSo) {
    auto& f = open();
    f.cbDNSName.setListIndex(2);
    answer = IDNO;
    f.bt2_Click();
    EXPECT_EQ(f.cbDNSName.count(), 18);
    answer = IDYES;
    f.bt2_Click();
    EXPECT_EQ(shown.back().text, L"Do you want to delete the selected DNS server?");
    EXPECT_EQ(shown.back().flags, 20u);
    ASSERT_EQ(f.cbDNSName.count(), 17);
    EXPECT_EQ(f.cbDNSName.listIndex(), 0);
    EXPECT_EQ(f.cbDNSName.item(2), L"Comodo DNS");
    EXPECT_EQ(f.lstDNS.item(2), L"156.154.70.22,156.154.71.22");

    while (f.cbDNSName.count() > 1)
        f.bt2_Click();
    f.cbDNSName.setListIndex(0);
    const std::wstring last = f.IP1.IPAddressAsString();
    f.bt2_Click();
    EXPECT_EQ(f.cbDNSName.count(), 0);
    EXPECT_EQ(f.IP1.IPAddressAsString(), last);
    shown.clear();
    f.bt2_Click();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(lastText(), L"Choose a item in list to delete...");

    close();
    open();
    EXPECT_EQ(form->cbDNSName.count(), 0) << "an emptied catalogue stays empty";
}

std::wstring lines(const std::vector<catalogue::CatalogueEntry>& entries) {
    std::wstring text;
    for (const auto& e : entries)
        text += e.name + L"=" + e.pair + L"\n";
    return text;
}

// Also run by the test script under the ANSI code pages 1252, 932, 874 and UTF-8.
using CodePageTest = MainWindowTest;

TEST_F(CodePageTest, AddedNamesAndEveryPairComeBackAfterARestart) {
    const UINT cp = GetACP();
    // The script names the code page its locale should give; one that did not take fails.
    if (const char* wanted = std::getenv("KELDRAST_CODE_PAGE")) {
        ASSERT_EQ(std::to_string(cp), wanted);
    }
    const std::wstring own = cp == 932    ? L"\u65E5\u672C DNS"
                             : cp == 874  ? L"\u0E44\u0E17\u0E22 DNS"
                             : cp == 1252 ? L"Caf\u00E9 DNS"
                                          : L"Vi\u1EC7t DNS";
    // A name in the code page's own script, then one in a script it lacks (but UTF-8 has).
    const std::tuple<std::wstring, std::wstring, std::wstring> added[] = {
        {own, L"9.9.9.9", L"149.112.112.112"},
        {L"\u05E9\u05DC\u05D5\u05DD DNS", L"1.1.1.1", L"1.0.0.1"}};
    auto expected = catalogue::presetCatalogue();
    for (const auto& [name, preferred, alternate] : added) {
        auto& f = open();
        EXPECT_EQ(catalogue(), lines(expected)) << cp;
        f.bt1_Click();
        f.txName.setText(name);
        f.IP1.IPAddressAsString(preferred);
        f.IP2.IPAddressAsString(alternate);
        f.btADD_Click();
        EXPECT_TRUE(shown.empty()) << cp << ": " << lastText();
        close();
        expected.push_back({name, preferred + L"," + alternate});
    }
    open();
    EXPECT_EQ(catalogue(), lines(expected)) << cp;
}

// Which files cannot be used is the settings-file tests' (no section, other encodings, held).
TEST_F(MainWindowTest, AFileThatCouldNotBeUsedIsNeverWrittenOver) {
    const std::string bytes = "[other]\r\nALL=Mine\r\nNUM=1\r\n";
    std::ofstream(dir / "Keldrast.ini", std::ios::binary) << bytes;
    EXPECT_EQ(open().cbDNSName.count(), 18) << "the presets, as without a file";
    close();
    EXPECT_TRUE(shown.empty()) << "nothing was changed, so nothing is lost";
    open().bt2_Click();
    shown.clear();
    const std::wstring settings = form->settingsPath();
    close();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].flags, 16u);
    EXPECT_NE(shown[0].text.find(settings), std::wstring::npos) << shown[0].text;
    EXPECT_EQ(settingsFile(), bytes);
}

TEST_F(MainWindowTest, AFailedSaveAtCloseOffersRetryAndKeepsThePreviousFile) {
    open();
    close();
    const std::string before = settingsFile();
    const std::wstring path = (dir / "Keldrast.ini").wstring();
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    open().bt2_Click();
    answer = IDCANCEL;
    shown.clear();
    close();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].flags, static_cast<UINT>(MB_ICONSTOP | MB_RETRYCANCEL));
    EXPECT_NE(shown[0].text.find(path), std::wstring::npos) << shown[0].text;
    EXPECT_EQ(settingsFile(), before);
    // Retry once the file may be replaced again.
    answer = IDYES;
    open().bt2_Click();
    shown.clear();
    {
        tk::ScopedMessageBox retry{[&](HWND, std::wstring_view text, std::wstring_view, UINT) {
            shown.push_back({std::wstring(text), 0, false});
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            return IDRETRY;
        }};
        close();
    }
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(settingsFile().rfind("[kDNS]\r\nALL=Open DNS\xAE", 0), 0u) << settingsFile();
}

TEST_F(MainWindowTest, WithoutNetworkCardsTheNoticeComesFirstAndClosingThereSavesNothing) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                   L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards");
    auto& f = open();
    ASSERT_EQ(atLoad.size(), 1u);
    EXPECT_EQ(atLoad[0].text, L"No network adapters found!!!");
    EXPECT_FALSE(atLoad[0].ownerVisible) << "before the window shows";
    EXPECT_EQ(f.cbNET.count(), 0);
    EXPECT_EQ(f.cbDNSName.count(), 18) << "the window works otherwise";
    close();

    const std::string mine = "[kDNS]\r\nALL=Mine\r\nNUM=1\r\nMine=1.1.1.1,1.0.0.1\r\n";
    std::ofstream(dir / "Keldrast.ini", std::ios::binary) << mine;
    // Signing out, or closing, while the start-up box about the adapters is up.
    for (const UINT during : {WM_ENDSESSION, WM_CLOSE}) {
        {
            tk::ScopedMessageBox box{[&](HWND owner, std::wstring_view, std::wstring_view, UINT) {
                SendMessageW(owner, during, TRUE, 0);
                return IDOK;
            }};
            frmMain f(dir.wstring());
            f.endsProgram = false;
            EXPECT_EQ(f.load(SW_SHOWNOACTIVATE), during == WM_ENDSESSION);
        }
        EXPECT_EQ(settingsFile(), mine) << during;
    }
}

TEST_F(MainWindowTest, SigningOutSavesWithTheWindowStillOpen) {
    auto& f = open();
    f.bt2_Click();
    SendMessageW(f.hwnd(), WM_ENDSESSION, FALSE, 0);
    EXPECT_FALSE(fs::exists(dir / "Keldrast.ini")) << "the session goes on";
    SendMessageW(f.hwnd(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(settingsFile().rfind("[kDNS]\r\nALL=Open DNS\xAE", 0), 0u) << settingsFile();
}

// What Windows reports: the given adapters connected Ethernet cards (indexes 5, 6...), the first
// carrying the default route, using the servers in `servers`.
struct ConnectedOnly {
    explicit ConnectedOnly(std::vector<std::wstring> services,
                           std::vector<std::wstring> servers = {})
        : adapters{[=] {
              std::vector<dns::SystemAdapter> list;
              unsigned long index = 5;
              for (const auto& s : services) {
                  list.push_back(
                      {s, L"Ethernet", L"NIC", index, index, 6, true, true, true, L"", servers});
                  ++index;
              }
              return std::optional(list);
          }},
          routes{[](Family) { return std::optional<unsigned long>(5); }} {}
    explicit ConnectedOnly(const std::wstring& service)
        : ConnectedOnly(std::vector<std::wstring>{service}) {}
    dns::ScopedSystemAdapters adapters;
    dns::ScopedBestInterface routes;
};

NameServerState stateOf(const std::wstring& service) {
    const auto state = dns::readNameServerState(service);
    EXPECT_TRUE(state.has_value());
    return state.value_or(NameServerState{});
}

using testhost::removeInterfaceKeys;

// The window presents what the engine decides (its rules are tested with the engine): each
// change shows its message, and a change without a way back is asked about first.
TEST_F(MainWindowTest, ApplyDefaultAndRestoreShowTheEnginesVerdict) {
    const std::wstring service = L"{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E5F}";
    removeInterfaceKeys(service);
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE,
                              dns::interfaceKeyPath(Family::V4, 2, service).c_str(), L"NameServer",
                              REG_SZ, L"9.9.9.9", 16),
              ERROR_SUCCESS);
    const NameServerState before = stateOf(service);
    dns::ScopedSetInterfaceDns system{[&](const GUID&, const dns::DnsInterfaceSettings&) {
        return std::optional<DWORD>(NO_ERROR);
    }};
    dns::ScopedSystemBuild windows10{[] { return 19045u; }};
    dns::ServersInUse inUse{{L"8.8.8.8", L"8.8.4.4", L"2001:4860:4860::8888"}};
    dns::ScopedServersInUse reported{[&](std::wstring_view) { return inUse; }};
    const ConnectedOnly connected{service};

    auto& f = open();
    addAdapter(L"Test Adapter", service);
    EXPECT_FALSE(f.canRestore()) << "nothing changed yet";
    f.btApply_Click(); // Google DNS, the first entry
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown.back().flags, static_cast<UINT>(MB_ICONWARNING)) << "saved, not in force";
    EXPECT_EQ(lastText(),
              L"Operation completed successfully...\r\nDNS has changed...\r\n\r\n"
              L"\u00BB Test Adapter\r\n\u00BB Google DNS\r\n\u00BB Servers: 8.8.8.8, "
              L"8.8.4.4, 2001:4860:4860::8888, 2001:4860:4860::8844\r\n\u00BB Encrypted: no, "
              L"because this Windows does not offer encryption per adapter: the servers are "
              L"applied without it\r\n\u00BB In use: "
              L"8.8.8.8, 8.8.4.4, 2001:4860:4860::8888\r\n\r\nThe DNS servers were "
              L"saved, but Windows still uses 8.8.8.8, 8.8.4.4, 2001:4860:4860::8888."
              L"\r\nThey take effect when the adapter reconnects or Windows "
              L"restarts...\r\n\r\nReconnect the adapter (unplug its cable, or turn Wi-Fi off "
              L"and on) or restart Windows, then check \"Current DNS servers\" in the window "
              L"menu.\r\n\r\nTo undo this, choose \"Restore previous DNS\" in the "
              L"window menu (right-click the window, or Alt+Space).");
    EXPECT_TRUE(f.canRestore());

    // Typed servers are IPv4 only: the IPv6 servers of the entry before are cleared.
    SendMessageW(f.chbCustom.hwnd(), BM_CLICK, 0, 0);
    f.IP1.IPAddressAsString(L"1.1.1.1");
    f.IP2.IPAddressAsString(L"1.0.0.1");
    inUse = dns::ServersInUse{{L"1.1.1.1", L"1.0.0.1"}};
    f.btApply_Click();
    EXPECT_EQ(shown.back().flags, static_cast<UINT>(MB_ICONINFORMATION)) << "in use now";
    EXPECT_NE(
        lastText().find(L"\u00BB Custom DNS...\r\n\u00BB Servers: 1.1.1.1, 1.0.0.1\r\n\u00BB "
                        L"Encrypted: no, because these servers have no DoH template\r\n\u00BB "
                        L"In use: 1.1.1.1, 1.0.0.1"),
        std::wstring::npos)
        << lastText();
    EXPECT_EQ(lastText().find(L"To undo"), std::wstring::npos) << "said after the first only";
    EXPECT_EQ(stateOf(service).at(Family::V6, 2), L"");

    f.IP2.IPAddressAsString(L"0.0.0.0");
    f.btApply_Click();
    EXPECT_EQ(lastText(), L"Enter IP Address...");
    EXPECT_TRUE(focusIn(f.IP2.hwndIP()));

    inUse = std::nullopt;
    f.btDefaultDNS_Click();
    EXPECT_EQ(lastText().rfind(L"DNS has set to default...\r\n\u00BB In use: not reported", 0), 0u);

    SendMessageW(f.hwnd(), WM_SYSCOMMAND, frmMain::kRestoreCommand, 0);
    EXPECT_EQ(lastText().rfind(L"The previous DNS servers were restored...\r\n\r\n\u00BB Test "
                               L"Adapter\r\n\u00BB In use: not reported",
                               0),
              0u);
    EXPECT_EQ(stateOf(service), before);
    EXPECT_FALSE(f.canRestore()) << "the record is dropped once restored";

    // No way back (a read-only settings file): the window asks, and No changes nothing.
    close();
    const std::wstring settings = (dir / "Keldrast.ini").wstring();
    ASSERT_TRUE(SetFileAttributesW(settings.c_str(), FILE_ATTRIBUTE_READONLY));
    auto& again = open();
    addAdapter(L"Test Adapter", service);
    answer = IDNO;
    again.btDefaultDNS_Click();
    EXPECT_EQ(shown.back().flags, static_cast<UINT>(MB_ICONQUESTION | MB_YESNO | MB_DEFBUTTON2));
    EXPECT_NE(lastText().find(L"Change the DNS servers anyway?"), std::wstring::npos);
    EXPECT_EQ(stateOf(service), before);
    answer = IDYES;
    again.btDefaultDNS_Click();
    EXPECT_EQ(lastText().rfind(L"DNS has set to default...", 0), 0u);
    EXPECT_EQ(stateOf(service).at(Family::V4, 2), L"");
    SetFileAttributesW(settings.c_str(), FILE_ATTRIBUTE_NORMAL);
    removeInterfaceKeys(service);
}

// The network cards as the registry lists them, for a test that needs the list loaded at start.
struct SeededCards {
    static constexpr wchar_t kCards[] =
        L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
    explicit SeededCards(const std::vector<std::pair<std::wstring, std::wstring>>& cards) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCards);
        for (std::size_t i = 0; i < cards.size(); ++i) {
            const std::wstring key = std::wstring(kCards) + L"\\" + std::to_wstring(i + 1);
            EXPECT_TRUE(modReg::writeValue(L"HKEY_LOCAL_MACHINE", key, L"Description",
                                           cards[i].first, L"string"));
            EXPECT_TRUE(modReg::writeValue(L"HKEY_LOCAL_MACHINE", key, L"ServiceName",
                                           cards[i].second, L"string"));
        }
    }
    ~SeededCards() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCards); }
};

TEST_F(MainWindowTest, StartsOnTheAdapterLastChangedAndAppliesToEveryConnectedOne) {
    const std::wstring wired = L"{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E71}",
                       wireless = L"{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E72}",
                       spare = L"{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E73}";
    const SeededCards cards{{{L"Spare", spare}, {L"Wired", wired}, {L"Wireless", wireless}}};
    for (const auto& s : {wired, wireless, spare})
        removeInterfaceKeys(s);
    const std::wstring settings = (dir / "Keldrast.ini").wstring();
    EXPECT_EQ(open().cbNET.listIndex(), 0) << "nothing remembered: the first";
    close();
    ASSERT_TRUE(mConfig::setChosenAdapter(settings, wireless));
    EXPECT_EQ(open().cbNET.text(), L"Wireless");
    close();
    EXPECT_EQ(mConfig::chosenAdapter(settings), wireless) << "a save keeps it";
    ASSERT_TRUE(mConfig::setChosenAdapter(settings, L"{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E7F}"));
    EXPECT_EQ(open().cbNET.listIndex(), 0) << "no longer listed: the first";

    // The wired and wireless cards are connected; the spare one is not listed by Windows.
    const ConnectedOnly connected{{wired, wireless}, {L"192.168.1.1"}};
    // First a question naming both and their servers, No by default: No changes nothing.
    const std::string before = settingsFile();
    answer = IDNO;
    SendMessageW(form->hwnd(), WM_SYSCOMMAND, frmMain::kEveryAdapterCommand, 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].flags, MB_ICONQUESTION | MB_YESNO | MB_DEFBUTTON2);
    EXPECT_EQ(lastText(), L"Apply Google DNS to every connected adapter?\r\n\r\n\u00BB Wired"
                          L"\r\n\u00BB Wireless\r\n\r\nEach of them gets:\r\nIPv4: 8.8.8.8, "
                          L"8.8.4.4\r\nIPv6: 2001:4860:4860::8888, 2001:4860:4860::8844");
    for (const auto& s : {wired, wireless})
        EXPECT_EQ(stateOf(s).at(Family::V4, 2), std::nullopt);
    EXPECT_EQ(settingsFile(), before);
    answer = IDYES;
    shown.clear();
    SendMessageW(form->hwnd(), WM_SYSCOMMAND, frmMain::kEveryAdapterCommand, 0);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(lastText(), L"DNS was applied to every connected adapter...\r\n\r\n\u00BB Google "
                          L"DNS\r\n\u00BB Servers: 8.8.8.8, 8.8.4.4, 2001:4860:4860::8888, "
                          L"2001:4860:4860::8844\r\n\r\n\u00BB Wired: saved, takes effect when "
                          L"the adapter reconnects\r\n\u00BB Wireless: saved, takes effect when "
                          L"the adapter reconnects\r\n\r\nTo undo this, choose \"Restore previous "
                          L"DNS\" in the window menu (right-click the window, or Alt+Space).");
    for (const auto& s : {wired, wireless}) {
        EXPECT_EQ(stateOf(s).at(Family::V4, 2), L"8.8.8.8,8.8.4.4");
        EXPECT_EQ(mConfig::restoreRecord(settings, s), L"-|-|-|-|-|-|-") << "one record each";
    }
    EXPECT_EQ(stateOf(spare).at(Family::V4, 2), std::nullopt);
    EXPECT_EQ(mConfig::chosenAdapter(settings), wired);
    // Apply to one only: the other connected adapter's servers are named.
    form->cbNET.setListIndex(2);
    form->btDefaultDNS_Click();
    form->cbNET.setListIndex(0);
    form->btApply_Click();
    EXPECT_NE(lastText().find(L"\r\n\r\n\"Spare\" is not connected, so Windows does not ask its "
                              L"DNS servers now (Windows does not list it: it is disabled, or not "
                              L"bound to TCP/IP); \"Wired\" carries the default route.\r\n"
                              L"Windows also asks the DNS servers of the other connected adapters: "
                              L"\"Wired\" (192.168.1.1); \"Wireless\" (192.168.1.1)."),
              std::wstring::npos)
        << lastText();
    close();
    for (const auto& s : {wired, wireless, spare})
        removeInterfaceKeys(s);
}

TEST_F(MainWindowTest, ASettingsFileWithIpv6PairsAndRestoreRecordsClosesByteForByte) {
    const std::string text = "[kDNS]\r\nALL=One\xAETwo\r\nNUM=2\r\nOne=1.1.1.1,1.0.0.1\r\n"
                             "Two=2.2.2.2,2.2.2.3\r\n[kDNS6]\r\nTwo=2606:4700:4700::1111,"
                             "2606:4700:4700::1001\r\n[kRestore]\r\n"
                             "{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E61}=-|-|-|-|-|-\r\n";
    std::ofstream(dir / "Keldrast.ini", std::ios::binary) << text;
    open();
    close();
    EXPECT_EQ(settingsFile(), text);
}

TEST_F(MainWindowTest, CurrentDnsServersShowsEveryKindOfServer) {
    const std::wstring service = L"{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E62}";
    removeInterfaceKeys(service);
    ASSERT_TRUE(modReg::writeValue(L"HKEY_LOCAL_MACHINE",
                                   dns::interfaceKeyPath(Family::V4, 2, service), L"DhcpNameServer",
                                   L"192.168.1.1", L"string"));
    ASSERT_TRUE(modReg::writeValue(L"HKEY_LOCAL_MACHINE",
                                   dns::interfaceKeyPath(Family::V4, 2, service), L"NameServer",
                                   L"8.8.8.8", L"string"));
    // The servers in use come from the one look at every interface, not from a second one.
    dns::ScopedServersInUse reported{[&](std::wstring_view) { return dns::ServersInUse{}; }};
    const ConnectedOnly connected{{service}, {L"8.8.8.8"}};
    auto& f = open();
    addAdapter(L"Test Adapter", service);
    SendMessageW(f.hwnd(), WM_SYSCOMMAND, frmMain::kCurrentDnsCommand, 0);
    EXPECT_EQ(lastText(), L"\u00BB Test Adapter\r\nConnection: connected (Ethernet), carries the "
                          L"default route\r\nIPv4 servers set: 8.8.8.8\r\nIPv6 servers "
                          L"set: none\r\nAutomatic (DHCP): 192.168.1.1\r\nIn use: 8.8.8.8\r\n"
                          L"Encrypted: no");
    removeInterfaceKeys(service);
}

TEST_F(MainWindowTest, ApplyWithoutAnAdapterABadServiceNameOrABadIpv6PairChangesNothing) {
    const std::wstring service = L"{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E60}";
    std::ofstream(dir / "Keldrast.ini", std::ios::binary)
        << "[kDNS]\r\nALL=One\xAETwo\r\nNUM=2\r\nOne=1.1.1.1,1.0.0.1\r\nTwo=2.2.2.2,2.2.2.3\r\n"
           "[kDNS6]\r\nOne=fd00::1,zz::1\r\n";
    auto& f = open();
    f.cbDNSName.setListIndex(1);
    f.cbNET.clear();
    f.lstNET.clear();
    f.btApply_Click();
    EXPECT_EQ(lastText(), L"Select network adapter...");
    f.btDefaultDNS_Click();
    EXPECT_EQ(lastText(), L"Select network adapter...");

    // A service name that is not an interface GUID never reaches a registry path.
    addAdapter(L"Broken", L"");
    f.btApply_Click();
    EXPECT_EQ(shown.back().flags, 16u);
    EXPECT_EQ(lastText(), L"The DNS servers were not changed: the selected adapter's interface "
                          L"name \"\" is not an interface GUID...");

    f.cbDNSName.setListIndex(0);
    addAdapter(L"Test Adapter", service);
    f.btApply_Click();
    EXPECT_EQ(shown.back().flags, static_cast<UINT>(MB_ICONSTOP));
    EXPECT_EQ(lastText(), L"The DNS servers were not changed: \"zz::1\" is not an IPv6 address.");
    EXPECT_EQ(stateOf(service), NameServerState{});
    EXPECT_FALSE(f.canRestore());

    // Typed: an address no server can have is refused by name; a part left blank, which the
    // editor reads as 0, is an address not entered.
    SendMessageW(f.chbCustom.hwnd(), BM_CLICK, 0, 0);
    ASSERT_TRUE(f.IP1.Enabled());
    f.IP1.IPAddressAsString(L"224.0.0.251");
    f.IP2.IPAddressAsString(L"8.8.4.4");
    f.btApply_Click();
    EXPECT_EQ(shown.back().flags, static_cast<UINT>(MB_ICONSTOP));
    EXPECT_EQ(lastText(),
              L"The DNS servers were not changed: \"224.0.0.251\" is a multicast address.");
    f.IP1.IPAddressAsString(L"8.8.4.4");
    SetWindowTextW(FindWindowExW(f.IP1.hwndIP(), nullptr, L"Edit", nullptr), L"");
    EXPECT_EQ(f.IP1.IPAddressAsString(), L"0.8.4.4") << "how the editor reads a blank part";
    f.btApply_Click();
    EXPECT_EQ(lastText(), L"Enter IP Address...");
    EXPECT_EQ(stateOf(service), NameServerState{});
    EXPECT_FALSE(f.canRestore());
}

// ipconfig runs on a worker, so the window learns its outcome without freezing: a good flush
// is silent, a failed one is said.
TEST_F(MainWindowTest, FlushRunsIpconfigFromTheSystemFolderAndSaysWhenItFails) {
    auto& f = open();
    std::vector<std::wstring> started; // written by the worker, read once it has ended
    tk::ProcessRun outcome{true, 0};
    tk::ScopedStartProcess starts{
        [&](const std::wstring& app, const std::wstring& cmd, int show, DWORD wait) {
            started.push_back(app + L"|" + cmd + L"|" + std::to_wstring(show) + L"|" +
                              std::to_wstring(wait));
            return outcome;
        }};
    MSG msg;
    const auto pumpWhile = [&](const std::function<bool()>& busy) {
        for (const DWORD until = GetTickCount() + 3000; busy() && GetTickCount() < until; Sleep(10))
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageW(&msg);
    };
    f.btFlush_Click();
    EXPECT_FALSE(f.btFlush.Enabled());
    pumpWhile([&] { return f.flushing(); });
    ASSERT_FALSE(f.flushing());
    ASSERT_EQ(started.size(), 1u);
    const std::wstring ipconfig = tk::systemDirectory() + L"\\ipconfig.exe";
    EXPECT_EQ(started[0], ipconfig + L"|\"" + ipconfig + L"\" /flushdns|0|30000");
    EXPECT_TRUE(shown.empty());
    pumpWhile([&] { return !f.btFlush.Enabled(); });
    EXPECT_TRUE(f.btFlush.Enabled()) << "cools down for a second";

    const struct {
        tk::ProcessRun run;
        const wchar_t* says;
    } failures[] = {
        {{true, 1}, L"it ended with exit code 1."},
        {{true, std::nullopt}, L"it did not finish in time."},
        {{false}, L"Could not start \"ipconfig /flushdns\"."},
    };
    for (const auto& c : failures) {
        const std::size_t before = shown.size();
        outcome = c.run;
        f.btFlush_Click();
        pumpWhile([&] { return f.flushing(); });
        ASSERT_EQ(shown.size(), before + 1) << c.says;
        EXPECT_EQ(shown.back().flags, static_cast<UINT>(MB_ICONSTOP));
        EXPECT_NE(lastText().find(c.says), std::wstring::npos) << lastText();
    }
}

// Keys pressed and released as the user types them, through the program's message loop.
void press(frmMain& f, std::initializer_list<WORD> codes, WORD held = 0) {
    testhost::keys(codes, held, [&f](const MSG& msg) { return f.preTranslateMessage(msg); });
}

void activate(HWND window) {
    SetForegroundWindow(window);
    testhost::pump(100);
}

// The name of the control that has the focus.
std::string focused(frmMain& f) {
#define NAMED(c) std::pair<const char*, HWND>(#c, f.c.hwnd())
    const std::pair<const char*, HWND> controls[] = {
        NAMED(cbNET),   NAMED(cbDNSName),    NAMED(bt1),     NAMED(bt2),       NAMED(chbCustom),
        NAMED(txName),  NAMED(IP1),          NAMED(IP2),     NAMED(btADD),     NAMED(btCANCEL),
        NAMED(btApply), NAMED(btDefaultDNS), NAMED(btFlush), NAMED(kButton24), NAMED(kButton25),
        NAMED(kLabel1), NAMED(kLabel2)};
#undef NAMED
    for (const auto& [name, window] : controls)
        if (focusIn(window)) return name;
    return GetFocus() ? "another window" : "nothing";
}

std::vector<std::string> tabs(frmMain& f, int count, bool shift = false) {
    std::vector<std::string> order;
    for (int i = 0; i < count; ++i) {
        press(f, {VK_TAB}, shift ? VK_SHIFT : 0);
        order.push_back(focused(f));
    }
    return order;
}

using Names = std::vector<std::string>;

TEST_F(MainWindowTest, TabFollowsTheTableIntoAndOutOfTheAddPanel) {
    auto& f = open(SW_SHOWNORMAL);
    EXPECT_EQ(focused(f), "cbNET");
    EXPECT_EQ(tabs(f, 12),
              (Names{"cbDNSName", "bt1", "bt2", "chbCustom", "btApply", "btDefaultDNS", "btFlush",
                     "kButton24", "kButton25", "kLabel1", "kLabel2", "cbNET"}));
    EXPECT_EQ(tabs(f, 1, true), Names{"kLabel2"});

    press(f, {VK_TAB, VK_TAB, VK_TAB, VK_SPACE}); // "+" opens the panel
    ASSERT_TRUE(f.Picture1.visible());
    EXPECT_EQ(focused(f), "txName");
    EXPECT_EQ(tabs(f, 5), (Names{"IP1", "IP2", "btADD", "btCANCEL", "btApply"}));
    EXPECT_EQ(tabs(f, 9, true), (Names{"btCANCEL", "btADD", "IP2", "IP1", "txName", "chbCustom",
                                       "bt2", "bt1", "cbDNSName"}));

    // The rows under the panel still answer the keyboard: choose, then delete.
    press(f, {VK_DOWN});
    EXPECT_EQ(f.cbDNSName.text(), L"Open DNS");
    EXPECT_EQ(f.IP1.IPAddressAsString(), L"208.67.222.222");
    press(f, {VK_TAB, VK_TAB});
    EXPECT_EQ(focused(f), "bt2");
    press(f, {VK_SPACE});
    EXPECT_EQ(lastText(), L"Do you want to delete the selected DNS server?");
    EXPECT_EQ(f.cbDNSName.count(), 17);
    EXPECT_TRUE(f.Picture1.visible());

    press(f, {VK_TAB, VK_TAB, VK_TAB, VK_TAB, VK_TAB, VK_TAB, VK_SPACE}); // CANCEL
    EXPECT_FALSE(f.Picture1.visible());
    EXPECT_EQ(focused(f), "bt1") << "back on the button that opened the panel";
}

// A real message box, answered by a timer as a user would: the window loses and regains
// the activation around it.
int realBox(HWND owner, std::wstring_view text, std::wstring_view, UINT flags) {
    static UINT shownFlags;
    shownFlags = flags;
    SetTimer(nullptr, 0, 200, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        if (HWND box = GetActiveWindow())
            PostMessageW(box, WM_COMMAND, (shownFlags & MB_YESNO) == MB_YESNO ? IDNO : IDOK, 0);
    });
    return MessageBoxW(owner, std::wstring(text).c_str(), L"Keldrast test", flags);
}

TEST_F(MainWindowTest, FocusComesBackAfterAnotherWindowAndAfterABox) {
    auto& f = open();
    activate(f.hwnd());
    f.bt1_Click();
    press(f, {'Q', 'U'});
    HWND other = CreateWindowExW(0, L"Edit", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                 nullptr, nullptr, nullptr, nullptr);
    activate(other);
    EXPECT_NE(focused(f), "txName");
    activate(f.hwnd());
    DestroyWindow(other);
    press(f, {'A'});
    EXPECT_EQ(f.txName.text(), L"qua") << "keys still reach the half-typed name";

    int answered = 0;
    tk::ScopedMessageBox real{
        [&](HWND owner, std::wstring_view text, std::wstring_view title, UINT flags) {
            return answered = realBox(owner, text, title, flags);
        }};
    SetFocus(f.bt2.hwnd());
    press(f, {VK_SPACE});
    EXPECT_EQ(answered, IDNO);
    EXPECT_EQ(f.cbDNSName.count(), 18);
    EXPECT_EQ(focused(f), "bt2");
    // Given back once: when the form itself takes the focus later, it goes to the first control.
    SetFocus(f.cbDNSName.hwnd());
    SetFocus(f.hwnd());
    EXPECT_EQ(focused(f), "cbNET");
}

void click(HWND window) {
    testhost::moveTo(testhost::screenPoint(window));
    testhost::leftDown();
    testhost::leftUp();
}

TEST_F(MainWindowTest, TheFieldsFollowTheEntryAndTypedServersApplyOnlyInCustomMode) {
    const std::wstring service = L"{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E63}";
    removeInterfaceKeys(service);
    dns::ScopedSetInterfaceDns system{
        [](const GUID&, const dns::DnsInterfaceSettings&) { return std::optional<DWORD>(0); }};
    dns::ScopedServersInUse reported{[](std::wstring_view) { return dns::ServersInUse{}; }};
    auto& f = open(SW_SHOWNORMAL);
    activate(f.hwnd());
    addAdapter(L"Test Adapter", service);
    click(f.chbCustom.hwnd());
    ASSERT_TRUE(f.IP1.Enabled());
    f.cbDNSName.setListIndex(7); // a pick fills the fields in custom mode too
    EXPECT_EQ(f.IP1.IPAddressAsString(), L"4.2.2.3");
    EXPECT_EQ(f.IP2.IPAddressAsString(), L"4.2.2.4");
    f.cbDNSName.setListIndex(0);
    f.IP1.IPAddressAsString(L"9.9.9.9");
    f.IP2.IPAddressAsString(L"1.1.1.1");
    click(f.chbCustom.hwnd());
    EXPECT_FALSE(f.IP1.Enabled());
    EXPECT_EQ(f.IP1.IPAddressAsString(), L"8.8.8.8") << "unticked, the fields show the entry";
    EXPECT_EQ(f.IP2.IPAddressAsString(), L"8.8.4.4");

    // The open add panel's fields hold a new entry's servers; Apply takes the chosen entry's.
    click(f.bt1.hwnd());
    f.IP1.IPAddressAsString(L"9.9.9.9");
    f.IP2.IPAddressAsString(L"1.1.1.1");
    click(f.btApply.hwnd());
    EXPECT_NE(lastText().find(L"\u00BB Google DNS"), std::wstring::npos) << lastText();
    const NameServerState written = stateOf(service);
    EXPECT_EQ(written.at(Family::V4, 2), L"8.8.8.8,8.8.4.4");
    EXPECT_EQ(written.at(Family::V6, 2), L"2001:4860:4860::8888,2001:4860:4860::8844");
    removeInterfaceKeys(service);
}

TEST_F(MainWindowTest, TheAddPanelClosesOnEscapeAndSavesOnEnterInItsFields) {
    auto& f = open(SW_SHOWNORMAL);
    activate(f.hwnd());
    SetFocus(f.bt1.hwnd());
    press(f, {VK_SPACE, 'Q', VK_TAB});
    ASSERT_TRUE(f.Picture1.visible());
    EXPECT_EQ(focused(f), "IP1");
    press(f, {VK_ESCAPE});
    EXPECT_FALSE(f.Picture1.visible());
    EXPECT_EQ(f.cbDNSName.count(), 18);
    EXPECT_EQ(focused(f), "bt1");

    press(f, {VK_SPACE, 'Q', VK_TAB, VK_TAB});
    f.IP1.IPAddressAsString(L"9.9.9.9");
    f.IP2.IPAddressAsString(L"9.9.9.10");
    EXPECT_EQ(focused(f), "IP2");
    press(f, {VK_RETURN});
    EXPECT_FALSE(f.Picture1.visible());
    ASSERT_EQ(f.cbDNSName.count(), 19);
    EXPECT_EQ(f.cbDNSName.item(18), L"q");
    EXPECT_EQ(f.lstDNS.item(18), L"9.9.9.9,9.9.9.10");
    EXPECT_TRUE(shown.empty());
}

TEST_F(MainWindowTest, AltF4ClosesTheWindowWhereverTheFocusIs) {
    for (const bool onTheList : {true, false}) {
        auto& f = open(SW_SHOWNORMAL);
        activate(f.hwnd());
        if (!onTheList) SetFocus(f.btApply.hwnd());
        ASSERT_EQ(focused(f), onTheList ? "cbNET" : "btApply");
        press(f, {VK_F4}, VK_MENU);
        EXPECT_EQ(f.hwnd(), nullptr) << focused(f);
        EXPECT_TRUE(fs::exists(dir / "Keldrast.ini")) << "closed as Close does, saving";
        close();
        fs::remove(dir / "Keldrast.ini");
    }
}

// The system menu as the user opens it (Alt+Space): whether each item is greyed, by id.
std::map<UINT, bool> systemMenuGreying(frmMain& f) {
    static std::map<UINT, bool> greyed;
    static HWND form;
    greyed.clear();
    form = f.hwnd();
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        HMENU menu = GetSystemMenu(form, FALSE);
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            MENUITEMINFOW item{};
            item.cbSize = sizeof(item);
            item.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE;
            if (GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item) &&
                !(item.fType & MFT_SEPARATOR))
                greyed[item.wID] = (item.fState & MFS_GRAYED) != 0;
        }
        EndMenu();
    });
    press(f, {VK_SPACE}, VK_MENU);
    testhost::pump(400);
    return greyed;
}

TEST_F(MainWindowTest, TheSystemMenuGreysWhatCannotBeDoneNow) {
    const std::wstring service = L"{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E64}";
    for (const bool recorded : {false, true}) {
        if (recorded) // a restore record for the selected adapter: Restore is offered
            std::ofstream(dir / "Keldrast.ini", std::ios::binary)
                << "[kRestore]\r\n{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E64}=-|-|-|-|-|-\r\n";
        auto& f = open(SW_SHOWNORMAL);
        activate(f.hwnd());
        addAdapter(L"Test Adapter", service);
        const std::map<UINT, bool> greyed{{SC_RESTORE, true},
                                          {SC_MOVE, false},
                                          {SC_SIZE, true},
                                          {SC_MINIMIZE, false},
                                          {SC_MAXIMIZE, true},
                                          {SC_CLOSE, false},
                                          {frmMain::kCurrentDnsCommand, false},
                                          {frmMain::kRestoreCommand, !recorded},
                                          {frmMain::kFastestDnsCommand, false},
                                          {frmMain::kEveryAdapterCommand, false},
                                          {frmMain::kEncryptedServicesCommand, false},
                                          {frmMain::kDohOffCommand, false},
                                          {frmMain::kDohFallbackCommand, false},
                                          {frmMain::kDohOnlyCommand, false},
                                          {frmMain::kNotificationAreaCommand, false},
                                          {frmMain::kCheckDnsCommand, false}};
        auto seen = systemMenuGreying(f);
        std::erase_if(seen, [&](const auto& item) { return !greyed.count(item.first); });
        EXPECT_EQ(seen, greyed) << recorded; // Wine's "About Wine" item left out
        // Each item has a mnemonic of its own, so Alt+Space and the letter runs it at once.
        HMENU menu = GetSystemMenu(f.hwnd(), FALSE);
        std::map<wchar_t, std::wstring> mnemonics;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t caption[128] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), caption, 128, MF_BYPOSITION);
            const std::wstring text(caption);
            const auto amp = text.find(L'&');
            if (amp == text.npos || amp + 1 >= text.size() || text.find(L"Wine") != text.npos)
                continue;
            const auto [at, added] = mnemonics.emplace(towlower(text[amp + 1]), text);
            EXPECT_TRUE(added) << "\"" << tk::toAnsi(text) << "\" and \"" << tk::toAnsi(at->second)
                               << "\" share a mnemonic";
        }
        close();
    }
}

// A menu's items as lines, in order: "-" for a separator, else the id, caption and state.
std::vector<std::wstring> menuLines(HMENU menu) {
    std::vector<std::wstring> lines;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t caption[128]{};
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
        item.dwTypeData = caption;
        item.cch = 128;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) continue;
        if (item.fType & MFT_SEPARATOR) {
            lines.push_back(L"-");
            continue;
        }
        lines.push_back(std::to_wstring(item.wID) + L" " + caption +
                        (item.fState & MFS_GRAYED ? L" greyed" : L"") +
                        (item.fState & MFS_CHECKED ? L" checked" : L"") +
                        (item.fType & MFT_RADIOCHECK ? L" radio" : L""));
    }
    return lines;
}

// The menu that `open` opens, read while it shows, and where it shows; then closed, or an item
// chosen by its access key `pick`.
struct OpenedMenu {
    std::vector<std::wstring> lines;
    RECT place{};
};
OpenedMenu openedMenu(const std::function<void()>& open, WORD pick = 0) {
    static OpenedMenu seen;
    static WORD key;
    seen = {};
    key = pick;
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        if (HWND shown = FindWindowW(L"#32768", nullptr); shown && IsWindowVisible(shown)) {
            seen.lines = menuLines(reinterpret_cast<HMENU>(SendMessageW(shown, MN_GETHMENU, 0, 0)));
            GetWindowRect(shown, &seen.place);
        }
        if (!key) {
            EndMenu();
            return;
        }
        INPUT input[2]{};
        input[0].type = input[1].type = INPUT_KEYBOARD;
        input[0].ki.wVk = input[1].ki.wVk = key;
        input[1].ki.dwFlags = KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
    });
    open();
    testhost::pump(500);
    return seen;
}

// The right-click menu is the window menu's own part: the same items, built from the same
// table, greyed and checked alike, opened by the mouse on the background or a label and by
// Shift+F10 or the menu key; a chosen item runs. A button keeps its right-click to itself.
TEST_F(MainWindowTest, TheRightClickMenuHasTheWindowMenusItems) {
    auto& f = open(SW_SHOWNORMAL);
    activate(f.hwnd());
    addAdapter(L"Test Adapter", L"{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E66}");
    auto windowMenu = openedMenu([&] { press(f, {VK_SPACE}, VK_MENU); }).lines;
    const auto first =
        std::find(windowMenu.begin(), windowMenu.end(),
                  std::to_wstring(frmMain::kCurrentDnsCommand) + L" Current &DNS servers\u2026");
    ASSERT_NE(first, windowMenu.end()) << testing::PrintToString(windowMenu);
    windowMenu.erase(windowMenu.begin(), first);
    std::erase_if(windowMenu,
                  [](const std::wstring& line) { return line.find(L"Wine") != line.npos; });
    ASSERT_EQ(
        std::count(windowMenu.begin(), windowMenu.end(),
                   std::to_wstring(frmMain::kRestoreCommand) + L" Restore &previous DNS greyed"),
        1);
    ASSERT_EQ(
        std::count_if(windowMenu.begin(), windowMenu.end(),
                      [](const std::wstring& line) { return line.ends_with(L" checked radio"); }),
        1);

    auto px = [&](int twips) { return tk::twipsToPixels(twips, f.dpi()); };
    const POINT background = testhost::screenPoint(f.hwnd(), px(3960), px(2500));
    auto rightClick = [](POINT at) {
        return [at] {
            testhost::moveTo(at);
            testhost::mouse(MOUSEEVENTF_RIGHTDOWN);
            testhost::mouse(MOUSEEVENTF_RIGHTUP);
        };
    };
    const auto keys = [&](HWND focus, WORD key, WORD held) {
        return [&f, focus, key, held] {
            SetFocus(focus);
            press(f, {key}, held);
        };
    };
    const struct {
        const char* how;
        std::function<void()> open;
        bool opens;
        HWND under = nullptr; // from the keyboard: the menu opens under the focused control
    } ways[] = {
        {"right-click on the background", rightClick(background), true},
        {"right-click on a label", rightClick(testhost::screenPoint(f.Label2.hwnd())), true},
        {"right-click on a button", rightClick(testhost::screenPoint(f.btApply.hwnd())), false},
        {"Shift+F10 on the adapter list", keys(f.cbNET.hwnd(), VK_F10, VK_SHIFT), true,
         f.cbNET.hwnd()},
        {"the menu key on a button", keys(f.btApply.hwnd(), VK_APPS, 0), true, f.btApply.hwnd()},
    };
    for (const auto& way : ways) {
        const auto opened = openedMenu(way.open);
        EXPECT_EQ(opened.lines, way.opens ? windowMenu : std::vector<std::wstring>{}) << way.how;
        if (way.under) {
            const RECT control = testhost::screenRect(way.under);
            EXPECT_NEAR(opened.place.left, control.left, 2) << way.how;
            EXPECT_NEAR(opened.place.top, control.bottom, 2) << way.how;
        }
    }
    const std::size_t before = shown.size();
    openedMenu([&] { press(f, {VK_F10}, VK_SHIFT); }, 'D');
    ASSERT_EQ(shown.size(), before + 1) << "\"Current DNS servers\" ran";
    EXPECT_NE(lastText().find(L"Test Adapter"), std::wstring::npos) << lastText();
}

// The encrypted-DNS items: the setting goes to the settings file at once, the services join the
// list, and Apply hands the entry's template and the setting to the engine.
TEST_F(MainWindowTest, EncryptedDnsItemsKeepTheSettingAndApplyHandsOverTheTemplate) {
    const std::wstring service = L"{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E65}";
    std::vector<std::wstring> templates;
    dns::ScopedSetInterfaceDns system{[&](const GUID&, const dns::DnsInterfaceSettings& s) {
        for (ULONG i = 0; s.Version == 3 && i < s.cServerProperties; ++i)
            templates.push_back(std::to_wstring(s.ServerProperties[i].DohSettings->Flags) + L" " +
                                s.ServerProperties[i].DohSettings->Template);
        return std::optional<DWORD>(NO_ERROR);
    }};
    dns::ScopedSystemBuild windows11{[] { return 22631u; }};
    auto& f = open();
    addAdapter(L"Test Adapter", service);
    const std::wstring settings = (dir / "Keldrast.ini").wstring();
    SendMessageW(f.hwnd(), WM_SYSCOMMAND, frmMain::kDohOnlyCommand, 0);
    EXPECT_EQ(mConfig::encryptedDnsMode(settings), dns::DohMode::Only);
    SendMessageW(f.hwnd(), WM_SYSCOMMAND, frmMain::kEncryptedServicesCommand, 0);
    EXPECT_NE(lastText().find(L"\u00BB Cloudflare\r\n\u00BB Quad9"), std::wstring::npos);
    f.selectCatalogueEntry(L"Quad9");
    f.btApply_Click();
    EXPECT_EQ(templates, (std::vector<std::wstring>{L"2 https://dns.quad9.net/dns-query",
                                                    L"2 https://dns.quad9.net/dns-query",
                                                    L"2 https://dns.quad9.net/dns-query",
                                                    L"2 https://dns.quad9.net/dns-query"}));
    EXPECT_NE(lastText().find(L"Encrypted: DNS over HTTPS (dns.quad9.net), encrypted only"),
              std::wstring::npos)
        << lastText();
    SendMessageW(f.hwnd(), WM_SYSCOMMAND, frmMain::kDohOffCommand, 0);
    close();
    const auto saved = mConfig::loadCatalogue(settings);
    EXPECT_EQ(saved.back().doh, L"https://doh.cleanbrowsing.org/doh/security-filter/");
    EXPECT_EQ(mConfig::encryptedDnsMode(settings), dns::DohMode::Off) << "kept by the save";
    removeInterfaceKeys(service);
    RegDeleteTreeW(
        HKEY_LOCAL_MACHINE,
        (L"SYSTEM\\CurrentControlSet\\Services\\Dnscache\\InterfaceSpecificParameters\\" + service)
            .c_str());
}

// Every child window of `parent`, the top of the z-order first.
std::vector<HWND> children(HWND parent) {
    std::vector<HWND> all;
    for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        all.push_back(c);
    return all;
}

std::string describe(HWND window) {
    char name[32]{}, text[64]{};
    GetClassNameA(window, name, 32);
    GetWindowTextA(window, text, 64);
    return std::string(name) + " \"" + text + "\" #" + std::to_string(GetDlgCtrlID(window));
}

// Every child clips itself against its siblings; of two that overlap, a label (a "Static")
// lies beneath the other and the add panel above all it covers.
void expectPaintingOrder(HWND parent, HWND panel) {
    const auto all = children(parent);
    for (std::size_t above = 0; above < all.size(); ++above) {
        EXPECT_TRUE(GetWindowLongW(all[above], GWL_STYLE) & WS_CLIPSIBLINGS)
            << describe(all[above]);
        for (std::size_t below = above + 1; below < all.size(); ++below) {
            RECT a = testhost::screenRect(all[above]), b = testhost::screenRect(all[below]), both;
            if (!IsWindowVisible(all[above]) || !IsWindowVisible(all[below]) ||
                !IntersectRect(&both, &a, &b))
                continue;
            EXPECT_NE(all[below], panel) << describe(all[above]) << " over the panel";
            EXPECT_FALSE(describe(all[above]).rfind("Static", 0) == 0 &&
                         describe(all[below]).rfind("Static", 0) != 0)
                << describe(all[above]) << " over " << describe(all[below]);
        }
    }
}

// The part of a window that its parent's client area shows, in screen coordinates.
RECT shownPart(HWND window) {
    RECT client{}, part{};
    GetClientRect(GetParent(window), &client);
    MapWindowPoints(GetParent(window), nullptr, reinterpret_cast<POINT*>(&client), 2);
    const RECT whole = testhost::screenRect(window);
    IntersectRect(&part, &whole, &client);
    return part;
}

TEST_F(MainWindowTest, EveryDpiPaintsInTheFormsOrderAndLinesUpTheCatalogueRow) {
    auto& f = open(SW_SHOWNORMAL);
    activate(f.hwnd());
    for (const int dpi : {96, 144, 192}) {
        SCOPED_TRACE(dpi);
        RECT at{0, 0, 100, 100};
        SendMessageW(f.hwnd(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&at));
        const RECT list = testhost::screenRect(f.cbDNSName.hwnd());
        for (HWND button : {f.bt1.hwnd(), f.bt2.hwnd()}) {
            EXPECT_EQ(testhost::screenRect(button).top, list.top);
            EXPECT_EQ(testhost::screenRect(button).bottom, list.bottom);
        }
        // "+" hovered and pressed opens the panel over itself, then takes its normal look
        // again beneath it.
        click(f.bt1.hwnd());
        ASSERT_TRUE(f.Picture1.visible());
        testhost::moveTo(testhost::screenPoint(f.hwnd(), 1, 1));
        testhost::pump(300);
        expectPaintingOrder(f.hwnd(), f.Picture1.hwnd());
        expectPaintingOrder(f.Picture1.hwnd(), nullptr);

        // What these show must be what they show alone, every other control hidden.
        const std::vector<HWND> watched{f.btADD.hwnd(), f.btCANCEL.hwnd(), f.IP1.hwnd(),
                                        f.IP2.hwnd()};
        std::vector<std::vector<std::uint32_t>> seen;
        for (HWND w : watched)
            seen.push_back(testhost::screenPixels(shownPart(w)));
        std::vector<HWND> hidden;
        for (HWND parent : {f.hwnd(), f.Picture1.hwnd()})
            for (HWND c : children(parent))
                if (c != f.Picture1.hwnd() && IsWindowVisible(c) &&
                    std::find(watched.begin(), watched.end(), c) == watched.end()) {
                    ShowWindow(c, SW_HIDE);
                    hidden.push_back(c);
                }
        RedrawWindow(f.hwnd(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        testhost::pump(200);
        for (std::size_t i = 0; i < watched.size(); ++i)
            EXPECT_TRUE(testhost::screenPixels(shownPart(watched[i])) == seen[i])
                << describe(watched[i]);
        for (HWND c : hidden)
            ShowWindow(c, SW_SHOWNA);
        f.btCANCEL_Click();
    }
}

TEST_F(MainWindowTest, TheAdapterListOpensWideEnoughAndItsTipOpensBelowIt) {
    auto& f = open(SW_SHOWNORMAL);
    activate(f.hwnd());
    const std::wstring longest =
        L"Intel(R) Ethernet Connection (7) I219-V with a much longer description #2";
    addAdapter(longest, L"{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E65}");
    SendMessageW(f.cbNET.hwnd(), CB_SHOWDROPDOWN, TRUE, 0);
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetComboBoxInfo(f.cbNET.hwnd(), &info));
    const RECT dropped = testhost::screenRect(info.hwndList);
    SIZE text{};
    {
        tk::unique_window_dc dc(f.cbNET.hwnd());
        tk::select_object font(dc.get(), f.cbNET.font());
        GetTextExtentPoint32W(dc.get(), longest.c_str(), static_cast<int>(longest.size()), &text);
    }
    EXPECT_GE(dropped.right - dropped.left, text.cx + GetSystemMetrics(SM_CXVSCROLL));
    SendMessageW(f.cbNET.hwnd(), CB_SHOWDROPDOWN, FALSE, 0);

    testhost::moveTo(testhost::screenPoint(f.cbNET.hwnd()));
    HWND tip = nullptr;
    for (const ULONGLONG end = GetTickCount64() + 4000; !tip && GetTickCount64() < end;) {
        testhost::pump(50);
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND w, LPARAM found) {
                wchar_t name[32]{};
                GetClassNameW(w, name, 32);
                if (lstrcmpiW(name, TOOLTIPS_CLASSW) != 0 || !IsWindowVisible(w)) return TRUE;
                *reinterpret_cast<HWND*>(found) = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&tip));
    }
    ASSERT_TRUE(tip);
    const RECT tipAt = testhost::screenRect(tip), box = testhost::screenRect(f.cbNET.hwnd());
    EXPECT_GE(tipAt.top, box.bottom);
    EXPECT_GE(tipAt.left, box.left);
    EXPECT_LE(tipAt.right, box.right);
}

} // namespace

// "Check which DNS answers…" shows the engine's table and verdict for the selected adapter:
// its static server (Google's address, sent to a loopback responder) asked directly.
TEST_F(MainWindowTest, CheckWhichDnsAnswersShowsTheVerdict) {
    const std::wstring service = L"{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E31}";
    removeInterfaceKeys(service);
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE,
                              dns::interfaceKeyPath(Family::V4, 2, service).c_str(), L"NameServer",
                              REG_SZ, L"8.8.8.8", 16),
              ERROR_SUCCESS);
    loopback::Responders responders({{.identity = "172.253.1.1"}});
    dns::ScopedCheckRoute route{[&](const std::wstring& server) {
        return server == L"8.8.8.8"
                   ? std::optional(dns::CheckRoute{responders.address(0), responders.port(0)})
                   : std::nullopt;
    }};
    auto& f = open();
    addAdapter(L"Test Adapter", service);
    shown.clear();
    SendMessageW(f.hwnd(), WM_SYSCOMMAND, frmMain::kCheckDnsCommand, 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(IsWindowEnabled(f.hwnd())) << "disabled only while the check runs";
    EXPECT_EQ(shown.back().flags, static_cast<UINT>(MB_ICONINFORMATION));
    for (const wchar_t* part :
         {L"Adapter: Test Adapter\n", L"Server 8.8.8.8 (Google)\n", L"Outgoing       172.253.1.1\n",
          L"Every DNS server answered as itself."})
        EXPECT_NE(lastText().find(part), std::wstring::npos) << tk::toAnsi(lastText());
    close();
    removeInterfaceKeys(service);
}

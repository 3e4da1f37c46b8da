#include "app/frmMain.h"

#include "registry/modReg.h"
#include "toolkit/platform.h"
#include "toolkit/scale.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

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

TEST_F(MainWindowTest, OpensCentredWithFixedBorderCaptionSizeAndFont) {
    HWND w = open().hwnd();
    wchar_t caption[64]{};
    GetWindowTextW(w, caption, 64);
    EXPECT_STREQ(caption, L"Keldrast \u00a9 WWW.KELDRAST.EXAMPLE");
    const LONG style = GetWindowLongW(w, GWL_STYLE);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & (WS_MAXIMIZEBOX | WS_THICKFRAME));

    RECT client{}, outer{};
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, tk::twipsToPixels(6090, form->dpi()));
    EXPECT_EQ(client.bottom, tk::twipsToPixels(3480, form->dpi()));
    GetWindowRect(w, &outer);
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(w, MONITOR_DEFAULTTOPRIMARY), &mi);
    EXPECT_NEAR((outer.left + outer.right) / 2, (mi.rcWork.left + mi.rcWork.right) / 2, 1);
    EXPECT_NEAR((outer.top + outer.bottom) / 2, (mi.rcWork.top + mi.rcWork.bottom) / 2, 1);

    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(form->defaultFont(), sizeof(lf), &lf));
    EXPECT_STREQ(lf.lfFaceName, L"Tahoma");
    EXPECT_EQ(lf.lfHeight, -tk::roundHalfEven(8.25 * form->dpi() / 72.0));
}

TEST_F(MainWindowTest, ClosingEndsTheMessageLoopWithExitCodeZero) {
    open().endsProgram = true;
    PostMessageW(form->hwnd(), WM_CLOSE, 0, 0);
    MSG msg{};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 0u);
    EXPECT_EQ(form->hwnd(), nullptr);
}

TEST_F(MainWindowTest, FirstStartShowsThePresetsAndClosingWritesThem) {
    auto& f = open();
    ASSERT_EQ(f.cbDNSName.count(), 18);
    EXPECT_EQ(f.cbDNSName.text(), L"Google DNS");
    EXPECT_EQ(f.IP1.IPAddressAsString(), L"8.8.8.8");
    EXPECT_EQ(f.IP2.IPAddressAsString(), L"8.8.4.4");
    EXPECT_FALSE(f.IP1.Enabled());
    EXPECT_FALSE(f.Picture1.visible());
    EXPECT_FALSE(f.kButton23.Enabled() && IsWindowVisible(f.kButton23.hwnd()));
    close();
    const std::string file = settingsFile();
    EXPECT_EQ(file.rfind("[kDNS]\r\nALL=Google DNS\xAEOpen DNS\xAEScrubIT", 0), 0u) << file;
    EXPECT_NE(file.find("\r\nNUM=18\r\nGoogle DNS=8.8.8.8,8.8.4.4\r\n"), std::string::npos);
    EXPECT_NE(file.find("\r\nDNS 17=198.77.116.225,198.77.116.227\r\n"), std::string::npos);
}

TEST_F(MainWindowTest, ChoosingAnEntryFillsBothFieldsEvenInCustomMode) {
    auto& f = open();
    f.chbCustom.setValue(1);
    EXPECT_TRUE(f.IP1.Enabled());
    f.IP1.IPAddressAsString(L"1.2.3.4");
    f.cbDNSName.setListIndex(7);
    EXPECT_EQ(f.cbDNSName.text(), L"Level3 (2)");
    EXPECT_EQ(f.IP1.IPAddressAsString(), L"4.2.2.3");
    EXPECT_EQ(f.IP2.IPAddressAsString(), L"4.2.2.4");
    f.chbCustom.setValue(0);
    EXPECT_FALSE(f.IP2.Enabled());
    EXPECT_EQ(f.IP2.IPAddressAsString(), L"4.2.2.4");
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
    for (const wchar_t* refused :
         {L"  Google DNS ", L"DNS 17", L"My\u00AEDNS", L"a=b", L"[x", L"Vi\u1EC7t"}) {
        f.txName.setText(refused);
        f.btADD_Click();
        EXPECT_EQ(shown.back().flags, 16u) << refused;
    }
    EXPECT_EQ(shown.size(), 7u);
    EXPECT_EQ(shown[1].text, L"DNS server name has exist! Choose another DNS server name...");
    EXPECT_EQ(f.cbDNSName.count(), 18);
    EXPECT_TRUE(f.Picture1.visible());

    f.cbDNSName.setListIndex(1);
    f.bt1_Click();
    f.txName.setText(L" google dns ");
    f.IP1.IPAddressAsString(L"9.9.9.9");
    f.IP2.IPAddressAsString(L"149.112.112.112");
    int enter = 13;
    f.txName_KeyPress(enter); // Enter in the name field is SAVE
    ASSERT_EQ(f.cbDNSName.count(), 19);
    EXPECT_EQ(f.cbDNSName.item(18), L"google dns");
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
    EXPECT_EQ(f.lstDNS.count(), 17);
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

TEST_F(MainWindowTest, ADamagedCountStillLoadsTheNamedEntries) {
    std::ofstream(dir / "Keldrast.ini", std::ios::binary)
        << "[kDNS]\r\nALL=One\xAETwo\r\nNUM=abc\r\nOne=1.1.1.1,1.0.0.1\r\nTwo=2.2.2.2\r\n";
    auto& f = open();
    ASSERT_EQ(f.cbDNSName.count(), 2);
    EXPECT_EQ(f.IP1.IPAddressAsString(), L"1.1.1.1");
    f.cbDNSName.setListIndex(1);
    EXPECT_EQ(f.IP1.IPAddressAsString(), L"2.2.2.2");
    EXPECT_EQ(f.IP2.IPAddressAsString(), L"1.0.0.1") << "a pair without a comma sets IP1 only";
}

std::wstring nameServer(const wchar_t* controlSet, const std::wstring& service) {
    return modReg::readValue(L"HKEY_LOCAL_MACHINE",
                             std::wstring(L"SYSTEM\\") + controlSet +
                                 L"\\Services\\Tcpip\\Parameters\\Interfaces\\" + service,
                             L"NameServer");
}

TEST_F(MainWindowTest, ApplyWritesThePairInThreeControlSetsAndReportsIt) {
    const std::wstring service = L"{6B1E0D2C-4F3A-4E5B-8C7D-0A1B2C3D4E5F}";
    auto& f = open();
    addAdapter(L"Test Adapter", service);
    f.btApply_Click();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown.back().flags, 64u);
    EXPECT_EQ(lastText(), L"Operation completed successfully...\r\nDNS has changed...\r\n\r\n"
                          L"\u00BB Test Adapter\r\n\u00BB Google DNS");
    for (const wchar_t* set : {L"ControlSet001", L"ControlSet002", L"CurrentControlSet"})
        EXPECT_EQ(nameServer(set, service), L"8.8.8.8,8.8.4.4") << set;

    f.chbCustom.setValue(1);
    f.IP1.IPAddressAsString(L"1.1.1.1");
    f.IP2.IPAddressAsString(L"1.0.0.1");
    f.btApply_Click();
    EXPECT_EQ(lastText().substr(lastText().rfind(L'\n') + 1), L"\u00BB Custom DNS...");
    EXPECT_EQ(nameServer(L"ControlSet002", service), L"1.1.1.1,1.0.0.1");

    f.IP2.IPAddressAsString(L"0.0.0.0");
    f.btApply_Click();
    EXPECT_EQ(lastText(), L"Enter IP Address...");
    EXPECT_TRUE(focusIn(f.IP2.hwndIP()));
    EXPECT_EQ(nameServer(L"ControlSet001", service), L"1.1.1.1,1.0.0.1");

    f.btDefaultDNS_Click();
    EXPECT_EQ(lastText(), L"DNS has set to default...");
    for (const wchar_t* set : {L"ControlSet001", L"ControlSet002", L"CurrentControlSet"})
        EXPECT_EQ(nameServer(set, service), L"") << set;
}

TEST_F(MainWindowTest, ApplyWithoutAnAdapterOrWithABadServiceNameSaysNothingChanged) {
    auto& f = open();
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
    EXPECT_EQ(modReg::readValue(L"HKEY_LOCAL_MACHINE",
                                L"SYSTEM\\ControlSet001\\Services\\Tcpip\\Parameters\\Interfaces",
                                L"NameServer"),
              L"");
    f.btDefaultDNS_Click();
    EXPECT_EQ(shown.back().flags, 16u);
}

TEST_F(MainWindowTest, FlushStartsIpconfigFromTheSystemFolderAndCoolsDownForASecond) {
    auto& f = open();
    std::vector<std::wstring> started;
    bool startWorks = true;
    tk::ScopedStartProcess starts{[&](const std::wstring& app, const std::wstring& cmd, int show) {
        started.push_back(app + L"|" + cmd + L"|" + std::to_wstring(show));
        return startWorks;
    }};
    f.btFlush_Click();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].rfind(tk::systemDirectory() + L"\\ipconfig.exe|", 0), 0u);
    EXPECT_NE(started[0].find(L"/flushdns|0"), std::wstring::npos);
    EXPECT_TRUE(shown.empty());
    EXPECT_FALSE(f.btFlush.Enabled());
    MSG msg;
    for (const DWORD until = GetTickCount() + 3000; !f.btFlush.Enabled() && GetTickCount() < until;
         Sleep(10))
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    EXPECT_TRUE(f.btFlush.Enabled());

    startWorks = false;
    f.btFlush_Click();
    EXPECT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown.back().flags, 16u);
}

TEST_F(MainWindowTest, WithoutNetworkCardsTheErrorComesBeforeTheWindowShows) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                   L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards");
    auto& f = open();
    ASSERT_EQ(atLoad.size(), 1u);
    EXPECT_EQ(atLoad[0].text, L"No network adapters found!!!");
    EXPECT_FALSE(atLoad[0].ownerVisible);
    EXPECT_EQ(f.cbNET.count(), 0);
    EXPECT_EQ(f.cbDNSName.count(), 18) << "the window works otherwise";
}

// Keys pressed and released as the user types them, through the program's message loop.
void press(frmMain& f, std::initializer_list<WORD> keys, bool shift = false) {
    auto send = [&f](WORD code, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = code;
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        SendInput(1, &input, sizeof(input));
        for (const ULONGLONG end = GetTickCount64() + 40; GetTickCount64() < end; Sleep(5)) {
            MSG msg{};
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (f.preTranslateMessage(msg)) continue;
                if (IsDialogMessageW(GetAncestor(msg.hwnd, GA_ROOT), &msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
    };
    if (shift) send(VK_SHIFT, false);
    for (WORD key : keys) {
        send(key, false);
        send(key, true);
    }
    if (shift) send(VK_SHIFT, true);
}

void activate(HWND window) {
    SetForegroundWindow(window);
    MSG msg{};
    for (const ULONGLONG end = GetTickCount64() + 100; GetTickCount64() < end; Sleep(5))
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
}

// The name of the control that has the focus.
std::string focused(frmMain& f) {
    const std::pair<const char*, HWND> controls[] = {{"cbNET", f.cbNET.hwnd()},
                                                     {"cbDNSName", f.cbDNSName.hwnd()},
                                                     {"bt1", f.bt1.hwnd()},
                                                     {"bt2", f.bt2.hwnd()},
                                                     {"chbCustom", f.chbCustom.hwnd()},
                                                     {"txName", f.txName.hwnd()},
                                                     {"IP1", f.IP1.hwnd()},
                                                     {"IP2", f.IP2.hwnd()},
                                                     {"btADD", f.btADD.hwnd()},
                                                     {"btCANCEL", f.btCANCEL.hwnd()},
                                                     {"btApply", f.btApply.hwnd()},
                                                     {"btDefaultDNS", f.btDefaultDNS.hwnd()},
                                                     {"btFlush", f.btFlush.hwnd()},
                                                     {"kButton24", f.kButton24.hwnd()},
                                                     {"kButton25", f.kButton25.hwnd()},
                                                     {"kLabel1", f.kLabel1.hwnd()},
                                                     {"kLabel2", f.kLabel2.hwnd()}};
    for (const auto& [name, window] : controls)
        if (focusIn(window)) return name;
    return GetFocus() ? "another window" : "nothing";
}

std::vector<std::string> tabs(frmMain& f, int count, bool shift = false) {
    std::vector<std::string> order;
    for (int i = 0; i < count; ++i) {
        press(f, {VK_TAB}, shift);
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
}

} // namespace

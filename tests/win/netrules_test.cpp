// DNS per network under Wine: the networks through their entry point (the Network List Manager
// first, the adapters' signature where it lists none), the rules in a real settings file,
// /networks, /when and /apply-rules run in process on two seeded cards, and the window's items.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/frmMain.h"
#include "catalogue/mConfig.h"
#include "cli/cli.h"
#include "dns/network.h"
#include "dns/networks.h"
#include "elevate/task.h"
#include "interface_keys.h"
#include "registry/modReg.h"
#include "toolkit/open_as_user.h"
#include "toolkit/platform.h"

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kCards[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
const std::wstring kEth = L"{1D7E0C6B-0000-4000-8000-0000000000D1}";
const std::wstring kWifi = L"{1D7E0C6B-0000-4000-8000-0000000000D2}";
const std::wstring kHome = L"{5B3C0A11-0000-4000-8000-00000000B001}";
const std::wstring kWork = L"{5B3C0A11-0000-4000-8000-00000000B002}";

dns::SystemAdapter connected(const std::wstring& guid, const std::wstring& gateway) {
    dns::SystemAdapter a;
    a.guid = guid;
    a.friendlyName = L"Ethernet";
    a.ifType = 6;
    a.up = a.ipBound = a.gateway = true;
    a.gatewayAddress = gateway;
    return a;
}

class NetworkRulesTest : public testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::ofstream(fs::path(path), std::ios::binary)
            << "[kDNS]\r\nALL=Open DNS\xAEQuad\r\nNUM=2\r\n"
               "Open DNS=208.67.222.222,208.67.220.220\r\nQuad=9.9.9.9,149.112.112.112\r\n";
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCards);
        const std::wstring root = L"HKEY_LOCAL_MACHINE", cards = kCards;
        int i = 1;
        for (const auto& [name, guid] :
             {std::pair{L"Test Wired", kEth}, {L"Test Wireless", kWifi}}) {
            const std::wstring key = cards + L"\\" + std::to_wstring(i++);
            ASSERT_TRUE(modReg::writeValue(root, key, L"Description", name, L"string"));
            ASSERT_TRUE(modReg::writeValue(root, key, L"ServiceName", guid, L"string"));
        }
        for (const auto& service : {kEth, kWifi})
            testhost::removeInterfaceKeys(service);
    }
    void TearDown() override {
        for (const auto& service : {kEth, kWifi})
            testhost::removeInterfaceKeys(service);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCards);
        fs::remove_all(dir);
    }
    int run(std::vector<std::wstring> args) {
        output = {};
        return cli::run(args, output, {dir.wstring()});
    }
    std::wstring nameServer(const std::wstring& service) {
        return modReg::readValue(L"HKEY_LOCAL_MACHINE",
                                 dns::interfaceKeyPath(dns::Family::V4, 2, service), L"NameServer");
    }

    fs::path dir =
        fs::temp_directory_path() / ("keldrast-rules-" + std::to_string(GetCurrentProcessId()));
    std::wstring path = (dir / "Keldrast.ini").wstring();
    cli::BufferOutput output;
    tk::ScopedElevated elevated{[] { return true; }};
    // Nothing reaches the system's own adapters: Windows "lists" the two seeded cards.
    dns::ScopedSystemAdapters adapters{[] {
        return std::optional(std::vector{connected(kEth, L"10.0.0.1"), connected(kWifi, L"")});
    }};
    dns::ScopedBestInterface routes{[](dns::Family) { return std::optional<unsigned long>(); }};
};

} // namespace

TEST_F(NetworkRulesTest, TheListManagerFirstTheSignatureWhereItListsNone) {
    {
        dns::ScopedNetworkList manager{[] {
            return std::optional(std::vector<dns::Network>{
                {kHome, L"Home", {{kEth, {}}, {L"{00000000-0000-0000-0000-00000000FFFF}", {}}}},
                {kWork, L"Work", {}}});
        }};
        EXPECT_EQ(dns::connectedNetworks(),
                  (std::vector<dns::Network>{{kHome, L"Home", {{kEth, L"Test Wired"}}},
                                             {kWork, L"Work", {}}}));
    }
    const auto signature = std::vector<dns::Network>{
        {dns::signatureId(kEth, L"10.0.0.1", L""),
         L"gateway 10.0.0.1 (Ethernet)",
         {{kEth, L"Test Wired"}}},
        {dns::signatureId(kWifi, L"", L""), L"no gateway (Ethernet)", {{kWifi, L"Test Wireless"}}}};
    for (const bool answers : {true, false}) {
        dns::ScopedNetworkList manager{[answers] {
            return answers ? std::optional(std::vector<dns::Network>{}) : std::nullopt;
        }};
        EXPECT_EQ(dns::connectedNetworks(), signature) << answers;
    }
}

TEST_F(NetworkRulesTest, RulesStayThroughACatalogueSaveAndGoWhenForgotten) {
    ASSERT_TRUE(dns::keepNetworkRule(path, {kHome, L"Quad", L"Home | 1"}));
    ASSERT_TRUE(dns::keepNetworkRule(path, {kWork, {}, L"Work"}));
    ASSERT_TRUE(dns::keepNetworkRule(path, {kHome, L"Open DNS", L"Home | 1"})); // replaces
    ASSERT_TRUE(mConfig::saveCatalogue(path, mConfig::loadCatalogue(path)));
    const auto rules = dns::networkRules(path, mConfig::loadCatalogue(path));
    EXPECT_EQ(rules.rules, (std::vector<dns::NetworkRule>{{kHome, L"Open DNS", L"Home | 1"},
                                                          {kWork, {}, L"Work"}}));
    EXPECT_TRUE(rules.refused.empty());
    ASSERT_TRUE(dns::forgetNetworkRule(path, tk::foldAscii(kHome)));
    EXPECT_EQ(mConfig::networkRuleLines(path)->size(), 1u);
    // A file that cannot be read is neither read as having no rules nor written over.
    std::ofstream(fs::path(path), std::ios::binary | std::ios::trunc) << "\xFE\xFF";
    EXPECT_FALSE(mConfig::networkRuleLines(path));
    EXPECT_FALSE(dns::keepNetworkRule(path, {kHome, {}, L"Home"}));
    EXPECT_EQ(dns::networkRules(path, {}).refused.size(), 1u);
}

TEST_F(NetworkRulesTest, WhenNetworksAndApplyRulesInProcess) {
    dns::ScopedNetworkList manager{[] {
        return std::optional(std::vector<dns::Network>{{kHome, L"Home", {{kEth, {}}, {kWifi, {}}}},
                                                       {kWork, L"Work", {}}});
    }};
    EXPECT_EQ(run({L"/apply-rules"}), 0) << output.brought.err;
    EXPECT_NE(output.brought.out.find(L"No connected network has a rule"), std::wstring::npos);

    EXPECT_EQ(run({L"/when", L"Home", L"/use", L"quad"}), 0) << output.brought.err;
    EXPECT_EQ(output.brought.out,
              L"On \"Home\" (" + kHome + L"), keldrast /apply-rules now uses Quad.\n");
    EXPECT_EQ(run({L"/when", L"Home", L"/use", L"Qaud"}), 2);
    EXPECT_NE(output.brought.err.find(L"Did you mean \"Quad\"?"), std::wstring::npos)
        << output.brought.err;
    EXPECT_EQ(run({L"/when", L"Elsewhere", L"/use", L"Quad"}), 2);
    EXPECT_EQ(run({L"/when", kWork, L"/use", L"/default", L"/json"}), 0);
    EXPECT_EQ(output.brought.out, L"{\"command\":\"when\",\"exitCode\":0,\"id\":\"" + kWork +
                                      L"\",\"name\":\"Work\",\"rule\":{\"automatic\":true},"
                                      L"\"message\":\"On \\\"Work\\\" (" +
                                      kWork +
                                      L"), keldrast /apply-rules now uses the automatic "
                                      L"servers.\"}\n");

    EXPECT_EQ(run({L"/networks", L"/json"}), 0);
    EXPECT_NE(output.brought.out.find(L"\"adapters\":[{\"guid\":\"" + kEth +
                                      L"\",\"description\":\"Test Wired\"},{\"guid\":\"" + kWifi +
                                      L"\",\"description\":\"Test Wireless\"}],\"rule\":\"Quad\"}"),
              std::wstring::npos)
        << output.brought.out;

    // Both adapters of Home get Quad, each with its restore record; Work, with no listed
    // adapter, is said and makes the exit code 2.
    EXPECT_EQ(run({L"/apply-rules", L"/json"}), 2) << output.brought.err;
    EXPECT_EQ(nameServer(kEth), L"9.9.9.9,149.112.112.112");
    EXPECT_EQ(nameServer(kWifi), L"9.9.9.9,149.112.112.112");
    EXPECT_TRUE(mConfig::restoreRecord(path, kEth));
    EXPECT_TRUE(mConfig::restoreRecord(path, kWifi));
    EXPECT_EQ(output.brought.outcomes.size(), 2u);
    EXPECT_NE(output.brought.err.find(L"\"Work\" (" + kWork + L") was not applied"),
              std::wstring::npos)
        << output.brought.err;
    EXPECT_EQ(output.brought.out.rfind(L"{\"command\":\"apply-rules\",\"exitCode\":2,\"networks\":"
                                       L"[{\"id\":\"" +
                                           kHome +
                                           L"\",\"name\":\"Home\",\"rule\":"
                                           L"\"Quad\",\"changes\":[{\"command\":\"set\",",
                                       0),
              0u)
        << output.brought.out;

    // A rule naming no entry is refused with a message, not dropped. The rules task goes with
    // the last rule, and not before.
    std::vector<elevate::TaskOperation> scheduled;
    elevate::ScopedTaskScheduler scheduler{
        [&](elevate::TaskOperation operation, const elevate::TaskDefinition&) {
            scheduled.push_back(operation);
            return elevate::TaskResult{elevate::TaskStatus::Done, 0};
        }};
    EXPECT_EQ(run({L"/when", L"Work", L"/forget"}), 0);
    EXPECT_TRUE(scheduled.empty()) << "Home's rule is left";
    ASSERT_TRUE(mConfig::setNetworkRule(path, kHome, L"entry|Gone|Home"));
    EXPECT_EQ(run({L"/apply-rules"}), 2);
    EXPECT_NE(output.brought.err.find(L"names \"Gone\", which is not in the catalogue"),
              std::wstring::npos)
        << output.brought.err;
    EXPECT_EQ(run({L"/when", L"Home", L"/forget"}), 0);
    EXPECT_EQ(scheduled, std::vector{elevate::TaskOperation::Remove});
    EXPECT_NE(output.brought.out.find(L"the rules task is removed too"), std::wstring::npos)
        << output.brought.out;
    EXPECT_EQ(run({L"/apply-rules"}), 0) << output.brought.err;
    EXPECT_EQ(mConfig::networkRuleLines(path)->size(), 0u);
}

// The window's two items: "Use this DNS on this network" keeps the selected entry for the
// selected adapter's network (greyed where that cannot be), and "DNS per network…" lists the
// rules and removes the selected one.
TEST_F(NetworkRulesTest, TheWindowKeepsARuleAndItsListRemovesIt) {
    dns::ScopedNetworkList manager{[] {
        return std::optional(std::vector<dns::Network>{{kHome, L"Home", {{kEth, {}}}}});
    }};
    std::vector<std::wstring> shown;
    tk::ScopedMessageBox boxes{[&](HWND, std::wstring_view text, std::wstring_view, UINT) {
        shown.emplace_back(text);
        return IDOK;
    }};
    frmMain form(dir.wstring());
    form.endsProgram = false;
    ASSERT_TRUE(form.load(SW_SHOWNOACTIVATE));
    form.cbNET.setListIndex(0);
    form.cbDNSName.setListIndex(1);
    ASSERT_TRUE(form.canUseOnThisNetwork());
    SendMessageW(form.hwnd(), WM_SYSCOMMAND, frmMain::kNetworkRuleCommand, 0);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), L"On the network \"Home\", Keldrast now uses Quad. keldrast "
                            L"/apply-rules applies it there.");
    EXPECT_EQ(mConfig::networkRuleLines(path),
              (std::vector<std::pair<std::wstring, std::wstring>>{{kHome, L"entry|Quad|Home"}}));
    form.cbNET.setListIndex(1); // the wireless card is on no network
    EXPECT_FALSE(form.canUseOnThisNetwork());
    form.cbNET.setListIndex(0);
    SendMessageW(form.chbCustom.hwnd(), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_FALSE(form.canUseOnThisNetwork()) << "typed servers are no entry";
    SendMessageW(form.chbCustom.hwnd(), BM_SETCHECK, BST_UNCHECKED, 0);

    SendMessageW(form.hwnd(), WM_SYSCOMMAND, frmMain::kNetworkRulesCommand, 0);
    HWND rules = FindWindowW(L"KeldrastRules", nullptr);
    ASSERT_TRUE(rules);
    HWND list = GetDlgItem(rules, frmRules::kListId);
    ASSERT_EQ(ListView_GetItemCount(list), 1);
    wchar_t cell[64] = {};
    ListView_GetItemText(list, 0, 1, cell, 64);
    EXPECT_STREQ(cell, L"Quad");
    SendMessageW(GetDlgItem(rules, frmRules::kRemoveId), BM_CLICK, 0, 0);
    EXPECT_EQ(mConfig::networkRuleLines(path)->size(), 0u);
    ListView_GetItemText(list, 0, 1, cell, 64);
    EXPECT_STREQ(cell, L"none");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(rules, frmRules::kRemoveId)));
    SendMessageW(rules, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(rules));
}

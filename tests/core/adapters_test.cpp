// Which adapters matter, and the warnings after a change, from tables of what Windows reports.
#include "dns/adapters.h"

#include <gtest/gtest.h>

#include <cwctype>

#include "dns/dnsplan.h"

using namespace dns;

namespace {

const std::wstring kEth = L"{00000000-0000-0000-0000-0000000000E1}";
const std::wstring kUnplugged = L"{00000000-0000-0000-0000-0000000000E2}";
const std::wstring kWiFi = L"{00000000-0000-0000-0000-0000000000F1}";
const std::wstring kVpn = L"{00000000-0000-0000-0000-0000000000A1}";
const std::wstring kFilter = L"{00000000-0000-0000-0000-0000000000B1}";
const std::wstring kLoop = L"{00000000-0000-0000-0000-0000000000C1}";
const std::wstring kBound = L"{00000000-0000-0000-0000-0000000000D1}"; // on a virtual switch
const std::wstring kPort = L"{00000000-0000-0000-0000-0000000000D2}";  // vEthernet (External)

// guid, friendly name, description, index, ifType, up, IP bound, gateway, hardware, servers
std::vector<SystemAdapter> machine() {
    return {
        {kEth,
         L"Ethernet",
         L"Realtek PCIe GbE",
         3,
         13, // its IPv6 interface index differs from its IPv4 one
         6,
         true,
         true,
         true,
         L"00-11-22-33-44-55",
         {L"1.1.1.1"}},
        {kUnplugged,
         L"Ethernet 2",
         L"Intel I219",
         4,
         4,
         6,
         false,
         true,
         false,
         L"00-11-22-33-44-66",
         {}},
        {kWiFi,
         L"Wi-Fi",
         L"Intel Wi-Fi 6 AX201",
         7,
         7,
         71,
         true,
         true,
         true,
         L"AA-BB-CC-00-00-01",
         {L"192.168.1.1", L"fd00::1"}},
        {kVpn, L"Corp VPN", L"WireGuard Tunnel", 9, 9, 53, true, true, false, L"", {L"10.8.0.1"}},
        {kFilter,
         L"Ethernet-WFP Native MAC Layer LightWeight Filter-0000",
         L"Realtek PCIe GbE-WFP Native MAC Layer LightWeight Filter-0000",
         10,
         10,
         6,
         true,
         false,
         false,
         L"00-11-22-33-44-55",
         {}},
        {kLoop,
         L"Loopback Pseudo-Interface 1",
         L"Software Loopback Interface 1",
         1,
         1,
         24,
         true,
         true,
         false,
         L"",
         {L"::1"}},
    };
}

const std::vector<ListedAdapter> kListed = {{L"Realtek PCIe GbE", kEth},
                                            {L"Intel I219", kUnplugged},
                                            {L"Intel Wi-Fi 6 AX201", kWiFi},
                                            {L"Software Loopback", kLoop}};

NetworkState state(std::vector<SystemAdapter> adapters = machine(), DefaultRoutes routes = {7, 7}) {
    return {std::move(adapters), routes};
}

std::vector<std::wstring> codes(const std::vector<Warning>& warnings) {
    std::vector<std::wstring> out;
    for (const auto& w : warnings)
        out.push_back(w.code);
    return out;
}

} // namespace

TEST(AdapterState, ConnectedKindAndDefaultRoutePerInterface) {
    const struct {
        std::wstring guid;
        bool connected;
        AdapterKind kind;
        bool defaultRoute;
    } cases[] = {
        {kEth, true, AdapterKind::Ethernet, false},
        {kUnplugged, false, AdapterKind::Ethernet, false},
        {kWiFi, true, AdapterKind::WiFi, true},
        {kVpn, true, AdapterKind::Tunnel, false},
        {kFilter, false, AdapterKind::Ethernet, false}, // no IP bound: never counts
        {kLoop, false, AdapterKind::Loopback, false},   // up and bound, but loopback
    };
    const auto s = state();
    for (const auto& c : cases) {
        const auto* a = findAdapter(s, c.guid);
        ASSERT_NE(a, nullptr) << c.guid;
        EXPECT_EQ(isConnected(*a), c.connected) << a->friendlyName;
        EXPECT_EQ(adapterKind(*a), c.kind) << a->friendlyName;
        EXPECT_EQ(carriesDefaultRoute(*a, s.routes), c.defaultRoute) << a->friendlyName;
    }
    // Matched by GUID whatever the letter case; an adapter Windows does not list has no state.
    std::wstring lowerGuid = kWiFi;
    for (auto& c : lowerGuid)
        c = static_cast<wchar_t>(std::towlower(c));
    EXPECT_EQ(adapterStatus(s, lowerGuid), (AdapterStatus{true, true, true, AdapterKind::WiFi}));
    EXPECT_EQ(adapterStatus(s, L"{00000000-0000-0000-0000-000000000099}"), AdapterStatus{});
    EXPECT_EQ(adapterStatus(NetworkState{}, kWiFi), std::nullopt);
    EXPECT_EQ(connectedAdapters(kListed, s), (std::vector<std::size_t>{0, 2}));
    EXPECT_EQ(defaultRouteAdapter(kListed, s), 2u);
    // IPv6 only, by its IPv6 index; no route at all: a connected adapter with a gateway.
    EXPECT_EQ(defaultRouteAdapter(kListed, state(machine(), {std::nullopt, 13})), 0u);
    EXPECT_EQ(defaultRouteAdapter(kListed, state(machine(), {std::nullopt, 3})), std::nullopt)
        << "3 is the Ethernet's IPv4 index, not its IPv6 one";
    EXPECT_EQ(defaultRouteAdapter(kListed, state(machine(), {})), 0u);
    EXPECT_EQ(defaultRouteAdapter(kListed, state(machine(), {9, std::nullopt})), std::nullopt)
        << "the VPN is not listed";
    for (const wchar_t* description :
         {L"VirtualBox Host-Only Ethernet Adapter", L"VMware Virtual Ethernet Adapter for VMnet8",
          L"Hyper-V Virtual Ethernet Adapter"})
        EXPECT_EQ(adapterKind({.guid = kPort, .description = description, .ifType = 6}),
                  AdapterKind::Virtual)
            << description;
    EXPECT_EQ(statusText(adapterStatus(s, kUnplugged)), L"not connected (Ethernet)");
    EXPECT_EQ(statusText(adapterStatus(s, kWiFi)), L"connected (Wi-Fi), carries the default route");
}

TEST(ChangeWarnings, EachOnlyWhenItsConditionHolds) {
    const std::vector<std::wstring> wanted{L"9.9.9.9", L"149.112.112.112"};
    // The unplugged card: not connected, and the Wi-Fi carries the default route. The others
    // connected (Ethernet, Wi-Fi, the VPN) ask other servers.
    auto w = changeWarnings(kUnplugged, {}, kListed, state(), {}, wanted);
    ASSERT_EQ(codes(w), (std::vector<std::wstring>{L"not-connected", L"other-adapter-servers"}));
    EXPECT_EQ(w[0].text, L"\"Intel I219\" is not connected, so Windows does not ask its DNS "
                         L"servers now; \"Intel Wi-Fi 6 AX201\" carries the default route.");
    EXPECT_EQ(w[1].text, L"Windows also asks the DNS servers of the other connected adapters: "
                         L"\"Realtek PCIe GbE\" (1.1.1.1); \"Intel Wi-Fi 6 AX201\" (192.168.1.1, "
                         L"fd00::1); \"Corp VPN\" (10.8.0.1).");

    // Every connected adapter changed, or using the same servers in another form: no warning.
    auto same = machine();
    for (auto& a : same)
        if (a.guid != kLoop) a.servers = {L"149.112.112.112", L"9.9.9.9"};
    EXPECT_TRUE(changeWarnings(kWiFi, {kEth, kVpn}, kListed, state(), {}, wanted).empty());
    EXPECT_TRUE(changeWarnings(kWiFi, {}, kListed, state(same), {}, wanted).empty());
    // Automatic servers wanted: nothing to compare with.
    EXPECT_TRUE(changeWarnings(kWiFi, {}, kListed, state(), {}, {}).empty());
    // Windows does not say, or does not list the adapter.
    EXPECT_TRUE(changeWarnings(kUnplugged, {}, kListed, NetworkState{}, {}, wanted).empty());
    w = changeWarnings(L"{00000000-0000-0000-0000-000000000099}", {kEth, kWiFi, kVpn}, kListed,
                       state(machine(), {}), {}, wanted);
    ASSERT_EQ(codes(w), std::vector<std::wstring>{L"not-connected"});
    EXPECT_NE(w[0].text.find(L"(Windows does not list it: it is disabled, or not bound to TCP/IP); "
                             L"\"Realtek PCIe GbE\" carries the default route."),
              std::wstring::npos);
}

TEST(ChangeWarnings, APhysicalCardOnAVirtualSwitchPointsToItsPort) {
    auto adapters = machine();
    adapters.push_back({kBound,
                        L"Ethernet 3",
                        L"Broadcom NetXtreme",
                        12,
                        12,
                        6,
                        true,
                        false,
                        false,
                        L"00-15-5D-01-02-03",
                        {}});
    adapters.push_back({kPort,
                        L"vEthernet (External)",
                        L"Hyper-V Virtual Ethernet Adapter #2",
                        14,
                        14,
                        6,
                        true,
                        true,
                        true,
                        L"00-15-5d-01-02-03",
                        {L"192.168.1.1"}});
    auto listed = kListed;
    listed.push_back({L"Broadcom NetXtreme", kBound});
    auto w = changeWarnings(kBound, {kEth, kWiFi, kVpn, kPort}, listed, state(adapters), {}, {});
    ASSERT_EQ(codes(w), std::vector<std::wstring>{L"virtual-switch"});
    EXPECT_EQ(w[0].text, L"\"Broadcom NetXtreme\" is bound to a virtual switch only: Windows uses "
                         L"the settings of \"vEthernet (External)\", so change that adapter.");
    EXPECT_EQ(adapterKind(adapters.back()), AdapterKind::Virtual);
    // Another hardware address, or a port without IP: only "not connected" can be said.
    adapters.back().physicalAddress = L"00-15-5D-01-02-04";
    EXPECT_EQ(codes(changeWarnings(kBound, {}, listed, state(adapters), {}, {})),
              std::vector<std::wstring>{L"not-connected"});
}

TEST(ChangeWarnings, APolicyRuleForEveryNameAndGroupPolicyOverridingTheLocalRules) {
    const PolicyRule local{{L"."}, {L"10.8.0.1", L"10.8.0.2"}, false};
    const PolicyRule corp{{L".corp.example"}, {L"10.0.0.53"}, false};
    const PolicyRule policyCorp{{L".corp.example"}, {L"10.0.0.53"}, true};
    const PolicyRule policyAll{{L"intranet", L"."}, {}, true};
    const struct {
        std::vector<PolicyRule> rules;
        std::wstring text; // empty: no warning
    } cases[] = {
        {{local},
         L"A name resolution policy rule sends every name to 10.8.0.1, 10.8.0.2, whatever the "
         L"adapters' servers are (typically a VPN does this)."},
        {{corp}, L""},              // only its own names
        {{local, policyCorp}, L""}, // group policy replaces the local rules
        {{corp, policyAll},
         L"A name resolution policy rule set by group policy sends every name to other servers, "
         L"whatever the adapters' servers are (typically a VPN does this)."},
    };
    for (const auto& c : cases) {
        const auto w = changeWarnings(kWiFi, {kEth, kVpn}, kListed, state(), c.rules, {});
        EXPECT_EQ(w.empty() ? L"" : w[0].text, c.text);
        EXPECT_EQ(codes(w), c.text.empty() ? std::vector<std::wstring>{}
                                           : std::vector<std::wstring>{L"policy-rule"});
    }
}

TEST(ChangeEachNotice, ALinePerAdapterAndTheWarningsOnce) {
    ChangeOutcome done;
    done.result = Result::Saved;
    done.written = {{true, true, true}, {true, true, true}};
    done.servers = L"9.9.9.9,149.112.112.112";
    done.recorded = true;
    done.warnings = {{L"policy-rule", L"Rule."}};
    ChangeOutcome refused = done;
    refused.result = Result::NotWritten;
    refused.written = {};
    refused.recorded = false;
    auto notice = changeEachNotice({done, done}, {L"Ethernet", L"Wi-Fi"}, L"Quad9");
    EXPECT_EQ(
        notice,
        (Notice{L"DNS was applied to every connected adapter...\r\n\r\n\u00BB Quad9\r\n"
                L"\u00BB Servers: 9.9.9.9, 149.112.112.112\r\n\r\n\u00BB Ethernet: saved, "
                L"takes effect when the adapter reconnects\r\n\u00BB Wi-Fi: saved, takes "
                L"effect when the adapter reconnects\r\n\r\nRule.\r\n\r\nYour VPN or "
                L"your administrator decides which servers answer while that rule is in "
                L"place: disconnect the VPN to use these servers.\r\n\r\nTo undo this, "
                L"choose \"Restore previous DNS\" in the window menu (right-click the window, or "
                L"Alt+Space).",
                kWarningFlags}));
    notice = changeEachNotice({done, refused}, {L"Ethernet", L"Wi-Fi"}, L"Quad9");
    EXPECT_EQ(notice.flags, kStopFlags);
    EXPECT_NE(notice.text.find(L"\u00BB Wi-Fi: not changed: the registry could not be written"),
              std::wstring::npos);
    EXPECT_EQ(changeEachNotice({}, {}).flags, kStopFlags);
}

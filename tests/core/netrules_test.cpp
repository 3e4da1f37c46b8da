// DNS per network: the rules as the settings file keeps them and their check, the plan of which
// adapters get which servers, the adapters' signature where Windows names no network, and the
// command line's /networks, /when and /apply-rules.
#include "cli/command.h"
#include "cli/report.h"
#include "dns/netrules.h"
#include "toolkit/trim.h"

#include <gtest/gtest.h>

using namespace dns;

namespace {

using Lines = std::vector<std::pair<std::wstring, std::wstring>>;

const catalogue::CaseFold kFold = [](std::wstring_view s) { return tk::foldAscii(s); };
const std::wstring kHome = L"{5B3C0A11-0000-4000-8000-00000000A001}";
const std::wstring kWork = L"{5B3C0A11-0000-4000-8000-00000000A002}";
const std::wstring kCafe = L"{5B3C0A11-0000-4000-8000-00000000A003}";
const std::wstring kWired = L"{1D7E0C6B-0000-4000-8000-000000000001}";
const std::wstring kWifi = L"{1D7E0C6B-0000-4000-8000-000000000002}";

const std::vector<catalogue::CatalogueEntry> kEntries = {
    {L"Google DNS", L"8.8.8.8,8.8.4.4"},
    {L"Quad | 9%", L"9.9.9.9,"},
    {L"Empty", L","},
};

Network net(std::wstring id, std::wstring name, std::vector<std::wstring> guids) {
    Network n{std::move(id), std::move(name), {}};
    for (auto& g : guids)
        n.adapters.push_back({std::move(g), L"card " + n.name});
    return n;
}

SystemAdapter adapter(std::wstring guid, std::wstring gateway, std::wstring suffix) {
    SystemAdapter a;
    a.guid = std::move(guid);
    a.friendlyName = L"Wi-Fi";
    a.up = a.ipBound = true;
    a.ifType = 71;
    a.gateway = !gateway.empty();
    a.gatewayAddress = std::move(gateway);
    a.dnsSuffix = std::move(suffix);
    return a;
}

} // namespace

TEST(NetworkRules, CheckedOnRead) {
    struct Case {
        const char* what;
        std::wstring key, value;
        std::optional<NetworkRule> rule; // nothing: refused
        std::wstring said = {};          // part of the refusal
    };
    const Case cases[] = {
        {"an entry", kHome, L"entry|Google DNS|Home", NetworkRule{kHome, L"Google DNS", L"Home"}},
        {"letter case and spaces as the file's keys compare", kHome, L"entry| google dns |Home",
         NetworkRule{kHome, L"Google DNS", L"Home"}},
        {"the automatic servers", kWork, L"automatic||Work", NetworkRule{kWork, {}, L"Work"}},
        {"escaped bars and percents", kHome, L"entry|Quad %007C 9%0025|A%007CB",
         NetworkRule{kHome, L"Quad | 9%", L"A|B"}},
        {"a signature's id", L"sig-0123456789abcdef", L"automatic||x",
         NetworkRule{L"sig-0123456789abcdef", {}, L"x"}},
        {"no catalogue entry", kHome, L"entry|Cloudy|Home", {}, L"names \"Cloudy\", which is not"},
        {"an empty entry", kHome, L"entry||Home", {}, L"names \"\""},
        {"an entry beside automatic", kHome, L"automatic|Google DNS|Home", {}, L"not one Keldrast"},
        {"an unknown kind", kHome, L"servers|1.2.3.4|Home", {}, L"not one Keldrast"},
        {"too few fields", kHome, L"entry|Google DNS", {}, L"not one Keldrast"},
        {"too many fields", kHome, L"entry|Google DNS|Home|x", {}, L"not one Keldrast"},
        {"a broken escape", kHome, L"entry|Google%00|Home", {}, L"not one Keldrast"},
        {"a key that is no id", L"Home Wi-Fi", L"entry|Google DNS|Home", {}, L"no network id"},
        {"a GUID without braces", kHome.substr(1, 36), L"automatic||x", {}, L"no network id"},
        {"a short signature", L"sig-0123", L"automatic||x", {}, L"no network id"},
    };
    for (const auto& c : cases) {
        const auto checked = checkRules({{c.key, c.value}}, kEntries, kFold);
        if (c.rule) {
            ASSERT_EQ(checked.rules.size(), 1u) << c.what;
            EXPECT_EQ(checked.rules[0], *c.rule) << c.what;
            EXPECT_TRUE(checked.refused.empty()) << c.what;
        } else {
            EXPECT_TRUE(checked.rules.empty()) << c.what;
            ASSERT_EQ(checked.refused.size(), 1u) << c.what;
            EXPECT_EQ(checked.refused[0].network, c.key) << c.what;
            EXPECT_NE(checked.refused[0].message.find(c.said), std::wstring::npos)
                << c.what << ": " << testing::PrintToString(checked.refused[0].message);
            EXPECT_NE(checked.refused[0].message.find(L"[kRules]"), std::wstring::npos) << c.what;
        }
    }
}

TEST(NetworkRules, WhatIsWrittenReadsBack) {
    for (const auto& rule :
         {NetworkRule{kHome, L"Quad | 9%", L"Caf\u00e9 | 100%\t"}, NetworkRule{kWork, {}, L""},
          NetworkRule{kCafe, L"Google DNS", L"x"}}) {
        const auto value = encodeRule(rule);
        EXPECT_EQ(value.find_first_of(L"\t\r\n"), std::wstring::npos);
        const auto checked = checkRules({{rule.network, value}}, kEntries, kFold);
        ASSERT_EQ(checked.rules.size(), 1u) << testing::PrintToString(value);
        EXPECT_EQ(checked.rules[0], rule);
    }
    EXPECT_EQ(encodeRule({kHome, L"Google DNS", L"Home"}), L"entry|Google DNS|Home");
    EXPECT_EQ(encodeRule({kHome, {}, L"Home"}), L"automatic||Home");
}

TEST(NetworkRules, PlanPerNetwork) {
    const Lines lines = {{kHome, L"entry|Google DNS|Home"},
                         {kWork, L"automatic||Work"},
                         {kCafe, L"entry|Empty|Cafe"},
                         {L"sig-00000000000000aa", L"entry|Gone|Old"}};
    const auto rules = checkRules(lines, kEntries, kFold);
    struct Case {
        const char* what;
        std::vector<Network> networks;
        std::vector<std::pair<std::wstring, std::vector<std::wstring>>> changes; // id, adapters
        std::vector<std::wstring> refusedConnected;                              // ids
    };
    const Case cases[] = {
        {"one network, one adapter", {net(kHome, L"Home", {kWired})}, {{kHome, {kWired}}}, {}},
        {"several adapters on one network: one change for both",
         {net(kHome, L"Home", {kWired, kWifi})},
         {{kHome, {kWired, kWifi}}},
         {}},
        {"a network without a rule is left alone",
         {net(L"{5B3C0A11-0000-4000-8000-00000000A009}", L"Other", {kWired})},
         {},
         {}},
        {"no network at all", {}, {}, {}},
        {"a network with no adapter listed is said",
         {net(kWork, L"Work", {}), net(kHome, L"Home", {kWifi})},
         {{kHome, {kWifi}}},
         {kWork}},
        {"an entry without a preferred server is said",
         {net(kCafe, L"Cafe", {kWired})},
         {},
         {kCafe}},
        {"an adapter two rules want: the first network's",
         {net(kWork, L"Work", {kWired}), net(kHome, L"Home", {kWired})},
         {{kWork, {kWired}}},
         {kHome}},
        {"the id's letter case does not matter",
         {net(tk::foldAscii(kHome), L"Home", {kWired})},
         {{tk::foldAscii(kHome), {kWired}}},
         {}},
    };
    for (const auto& c : cases) {
        const auto plan = planRules(c.networks, rules, kEntries, DohMode::Off, kFold);
        ASSERT_EQ(plan.changes.size(), c.changes.size()) << c.what;
        for (std::size_t i = 0; i < c.changes.size(); ++i) {
            EXPECT_EQ(plan.changes[i].network.id, c.changes[i].first) << c.what;
            std::vector<std::wstring> guids;
            for (const auto& a : plan.changes[i].network.adapters)
                guids.push_back(a.guid);
            EXPECT_EQ(guids, c.changes[i].second) << c.what;
        }
        ASSERT_EQ(plan.refusedConnected, c.refusedConnected.size()) << c.what;
        for (std::size_t i = 0; i < c.refusedConnected.size(); ++i)
            EXPECT_EQ(plan.refused[i].network, c.refusedConnected[i]) << c.what;
        // The bad line of a network not connected is said too, after those that are.
        ASSERT_FALSE(plan.refused.empty()) << c.what;
        EXPECT_EQ(plan.refused.back().network, L"sig-00000000000000aa") << c.what;
    }
}

TEST(NetworkRules, PlanGivesTheEnginesRequests) {
    const auto rules =
        checkRules({{kHome, L"entry|google dns|Home"}, {kWork, L"automatic||W"}}, kEntries, kFold);
    const auto plan = planRules({net(kHome, L"Home", {kWired}), net(kWork, L"Work", {kWifi})},
                                rules, kEntries, DohMode::Only, kFold);
    ASSERT_EQ(plan.changes.size(), 2u);
    EXPECT_EQ(plan.changes[0].request.kind, ChangeKind::Apply);
    EXPECT_EQ(plan.changes[0].request.servers, L"8.8.8.8,8.8.4.4");
    EXPECT_EQ(plan.changes[0].request.doh, DohMode::Only);
    EXPECT_EQ(plan.changes[0].rule.entry, L"Google DNS");
    EXPECT_EQ(plan.changes[1].request.kind, ChangeKind::Default);
    EXPECT_TRUE(plan.refused.empty());
}

TEST(NetworkIdentity, SignatureWhereWindowsNamesNoNetwork) {
    const auto id = signatureId(kWired, L"10.0.0.1", L"home.example");
    EXPECT_TRUE(isNetworkId(id)) << testing::PrintToString(id);
    EXPECT_EQ(id, signatureId(tk::foldAscii(kWired), L"10.0.0.1", L"HOME.example"));
    EXPECT_NE(id, signatureId(kWired, L"10.0.0.254", L"home.example"));
    EXPECT_NE(id, signatureId(kWifi, L"10.0.0.1", L"home.example"));
    EXPECT_NE(id, signatureId(kWired, L"10.0.0.1", L"work.example"));
    EXPECT_NE(signatureId(kWired, L"10.0.0.1", L""), signatureId(kWired, L"", L"10.0.0.1"));

    auto down = adapter(kWifi, L"10.0.0.1", L"");
    down.up = false;
    auto loopback = adapter(L"{00000000-0000-0000-0000-000000000001}", L"", L"");
    loopback.ifType = 24;
    const auto networks =
        signatureNetworks({adapter(kWired, L"192.168.1.1", L"corp.example"), down, loopback,
                           adapter(kCafe, L"10.0.0.1", L""), adapter(kHome, L"", L"")});
    ASSERT_EQ(networks.size(), 3u);
    EXPECT_EQ(networks[0].id, signatureId(kWired, L"192.168.1.1", L"corp.example"));
    EXPECT_EQ(networks[0].name, L"corp.example (Wi-Fi)");
    EXPECT_EQ(networks[0].adapters, (std::vector<NetworkAdapter>{{kWired, L""}}));
    EXPECT_EQ(networks[1].name, L"gateway 10.0.0.1 (Wi-Fi)");
    EXPECT_EQ(networks[2].name, L"no gateway (Wi-Fi)");
}

TEST(NetworkIdentity, TheListManagersAnswerOnlyWhenItHoldsTogether) {
    const std::wstring wine1 = L"{00000001-0000-0000-0000-4E6574446576}",
                       wine2 = L"{00000002-0000-0000-0000-4E6574446576}";
    struct Case {
        const char* what;
        std::vector<Network> networks;
        bool usable;
    };
    const Case cases[] = {
        {"two networks, an adapter each",
         {net(kHome, L"Home", {kWired}), net(kWork, L"W", {kWifi})},
         true},
        {"one network, two adapters", {net(kHome, L"Home", {kWired, kWifi})}, true},
        {"a network without adapters", {net(kHome, L"Home", {})}, true},
        {"nothing", {}, false},
        {"a network without a name", {net(kHome, L"", {kWired})}, false},
        {"an adapter on two networks",
         {net(kHome, L"Home", {kWired}), net(kWork, L"W", {tk::foldAscii(kWired)})},
         false},
        {"Wine's", {net(wine1, L"", {wine1, wine2}), net(wine2, L"", {wine1, wine2})}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(usableNetworkList(c.networks), c.usable) << c.what;
}

TEST(NetworkIdentity, OnlyListedAdaptersDescribedAsListed) {
    const auto networks =
        onListedAdapters({net(kHome, L"Home", {tk::foldAscii(kWired), L"{not-listed}", kWired}),
                          net(kWork, L"Work", {L"{not-listed}"})},
                         {{L"  Wired card ", kWired}, {L"Wireless", kWifi}});
    EXPECT_EQ(networks[0].adapters, (std::vector<NetworkAdapter>{{kWired, L"Wired card"}}));
    EXPECT_TRUE(networks[1].adapters.empty());
}

TEST(NetworkIdentity, TheNetworkWhenNames) {
    const auto rules = checkRules({{kCafe, L"automatic||Cafe"}}, kEntries, kFold);
    const std::vector<Network> networks = {net(kHome, L"Home", {kWired}), net(kWork, L"Twin", {}),
                                           net(L"sig-00000000000000bb", L"Twin", {})};
    struct Case {
        std::wstring wanted;
        std::optional<std::wstring> id;
        std::wstring said = {};
    };
    const Case cases[] = {
        {L"Home", kHome},
        {L" " + tk::foldAscii(kHome), kHome},
        {L"home", {}, L"No connected network"}, // names are exact
        {L"Twin", {}, L"Several connected networks"},
        {L"Cafe", kCafe}, // a rule's network, away now
        {L"{5B3C0A11-0000-4000-8000-00000000A00F}", L"{5B3C0A11-0000-4000-8000-00000000A00F}"},
        {L"Nowhere", {}, L"keldrast /networks"},
    };
    for (const auto& c : cases) {
        const auto choice = chooseNetwork(networks, rules, c.wanted);
        EXPECT_EQ(choice.id, c.id) << testing::PrintToString(c.wanted);
        if (!c.said.empty()) {
            EXPECT_NE(choice.message.find(c.said), std::wstring::npos)
                << testing::PrintToString(choice.message);
        }
    }
}

TEST(NetworkCommands, ParsedAndRefused) {
    using cli::Verb;
    const auto ok = [](std::vector<std::wstring> args) {
        const auto parsed = cli::parse(args);
        EXPECT_TRUE(std::holds_alternative<cli::Command>(parsed))
            << testing::PrintToString(std::get<cli::ParseError>(parsed).message);
        return std::holds_alternative<cli::Command>(parsed) ? std::get<cli::Command>(parsed)
                                                            : cli::Command{};
    };
    EXPECT_EQ(ok({L"/networks", L"/json"}), (cli::Command{.verb = Verb::Networks, .json = true}));
    EXPECT_EQ(ok({L"/when", L"Home", L"/use", L"Google DNS"}),
              (cli::Command{.verb = Verb::When, .entry = L"Google DNS", .network = L"Home"}));
    EXPECT_EQ(ok({L"/when", L"Home", L"/USE", L"/Default"}),
              (cli::Command{.verb = Verb::When, .network = L"Home", .useDefault = true}));
    EXPECT_EQ(ok({L"/when", L"Home", L"/forget", L"/json"}),
              (cli::Command{.verb = Verb::When, .json = true, .network = L"Home", .forget = true}));
    EXPECT_EQ(ok({L"/apply-rules"}).verb, Verb::ApplyRules);
    EXPECT_TRUE(cli::changesSystem(Verb::ApplyRules));
    EXPECT_FALSE(cli::changesSystem(Verb::When));
    EXPECT_FALSE(cli::changesSystem(Verb::Networks));
    for (const auto& args : std::vector<std::vector<std::wstring>>{
             {L"/when", L"Home"},
             {L"/when"},
             {L"/when", L"Home", L"/use"},
             {L"/when", L"Home", L"/use", L"X", L"/forget"},
             {L"/when", L"Home", L"/use", L"/default", L"/forget"},
             {L"/set", L"X", L"/forget"},
             {L"/default", L"/use", L"X"},
             {L"/apply-rules", L"/adapter", L"1"},
             {L"/when", L"Home", L"/use", L"Google", L"DNS"},
         }) {
        const auto parsed = cli::parse(args);
        EXPECT_TRUE(std::holds_alternative<cli::ParseError>(parsed)) << args.size();
    }
    const auto quoted =
        std::get<cli::ParseError>(cli::parse({L"/when", L"Home", L"/use", L"Google", L"DNS"}));
    EXPECT_EQ(cli::quotingHint(kEntries, quoted.setWords, kFold, L"use"),
              L"Put a name with spaces in quotes: /use \"Google DNS\"");
}

TEST(NetworkCommands, RulesInJson) {
    const auto rules = checkRules({{kHome, L"entry|Google DNS|Home"}, {kWork, L"automatic||Work"}},
                                  kEntries, kFold);
    const auto json = cli::networksJson({net(kHome, L"Home", {kWired}), net(kWork, L"Work", {}),
                                         net(kCafe, L"Caf\u00e9 \"1\"", {})},
                                        rules);
    EXPECT_EQ(json, L"{\"networks\":[{\"id\":\"" + kHome +
                        L"\",\"name\":\"Home\",\"adapters\":[{\"guid\":\"" + kWired +
                        L"\",\"description\":\"card Home\"}],\"rule\":\"Google DNS\"},{\"id\":\"" +
                        kWork +
                        L"\",\"name\":\"Work\",\"adapters\":[],\"rule\":{\"automatic\":true}},"
                        L"{\"id\":\"" +
                        kCafe +
                        L"\",\"name\":\"Caf\u00e9 \\\"1\\\"\",\"adapters\":[],\"rule\":null}]}");
    const auto text = cli::networksText({net(kWork, L"Work", {})}, rules);
    EXPECT_NE(text.find(L"Rule: automatic servers"), std::wstring::npos);
    EXPECT_NE(text.find(L"none that Keldrast lists"), std::wstring::npos);
    EXPECT_EQ(cli::networksText({}, rules), L"No network is connected.\n");
}

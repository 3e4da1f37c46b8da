// What the notification area does at a settled network change: only rules not in force, once
// per switch, and a notice that names the network and the entry.
#include "tray/rules.h"

#include <gtest/gtest.h>

#include <map>

using namespace tray;

namespace {

dns::PlannedChange change(std::wstring id, std::wstring name, std::optional<std::wstring> entry,
                          std::vector<std::wstring> guids, std::wstring servers = L"",
                          std::wstring servers6 = L"") {
    dns::PlannedChange c;
    c.network.id = std::move(id);
    c.network.name = std::move(name);
    for (auto& guid : guids)
        c.network.adapters.push_back({std::move(guid), L"card"});
    c.rule = {c.network.id, entry, c.network.name};
    c.request = entry ? dns::ChangeRequest{.servers = servers, .servers6 = servers6}
                      : dns::defaultRequest();
    return c;
}

dns::CurrentDns servers(std::wstring static4, std::wstring static6 = L"") {
    dns::CurrentDns current;
    current.static4 = std::move(static4);
    current.static6 = std::move(static6);
    return current;
}

} // namespace

TEST(TrayRules, OnlyRulesNotInForceAreAppliedAndEachSwitchOnce) {
    const auto home = change(L"{H}", L"Home", L"Quad9", {L"{A}", L"{B}"},
                             L"9.9.9.9,149.112.112.112", L"2620:fe::fe");
    const auto train = change(L"{T}", L"Train", std::nullopt, {L"{C}"});
    std::map<std::wstring, dns::CurrentDns> now{
        {L"{A}", servers(L"9.9.9.9 149.112.112.112", L"2620:FE:0::FE")},
        {L"{B}", servers(L"9.9.9.9,149.112.112.112", L"2620:fe::fe")},
        {L"{C}", servers(L"")}};
    const auto currentOf = [&](const std::wstring& guid) { return now[guid]; };
    EXPECT_TRUE(changesNeeded({home, train}, currentOf).empty()) << "both in force";
    struct Case {
        const char* what;
        std::wstring guid;
        dns::CurrentDns current;
        std::wstring needed; // the network that needs its rule
    } cases[] = {
        {"one adapter of two differs", L"{B}", servers(L"8.8.8.8"), L"{H}"},
        {"the servers in another order", L"{A}",
         servers(L"149.112.112.112,9.9.9.9", L"2620:fe::fe"), L"{H}"},
        {"IPv6 missing", L"{A}", servers(L"9.9.9.9,149.112.112.112"), L"{H}"},
        {"automatic wanted, static there", L"{C}", servers(L"", L"::1"), L"{T}"},
    };
    for (const auto& c : cases) {
        auto saved = now[c.guid];
        now[c.guid] = c.current;
        const auto needed = changesNeeded({home, train}, currentOf);
        ASSERT_EQ(needed.size(), 1u) << c.what;
        EXPECT_EQ(needed[0].network.id, c.needed) << c.what;
        now[c.guid] = saved;
    }

    // A switch to Home applies once, whatever settles after it (its own writes' notifications
    // included) until Home is in force or another switch comes.
    RuleSwitch rules;
    EXPECT_TRUE(rules.shouldApply({home}));
    EXPECT_FALSE(rules.shouldApply({home})) << "did not take: not tried again";
    EXPECT_TRUE(rules.shouldApply({train})) << "another network";
    EXPECT_FALSE(rules.shouldApply({}));
    EXPECT_TRUE(rules.shouldApply({train})) << "in force once, then off again at a later switch";

    EXPECT_EQ(ruleTitle({home}), L"Home: Quad9");
    EXPECT_EQ(ruleTitle({train, home}), L"Train: Automatic (DHCP) and 1 more");
    elevate::Brought declined;
    declined.exitCode = elevate::kDeclined;
    declined.failure = L"declined";
    EXPECT_EQ(rulesNotice({home}, declined).title, L"Nothing changed");
    EXPECT_EQ(taskRulesNotice({home}, true).title, L"Home: Quad9: done");
    EXPECT_EQ(taskRulesNotice({home}, false).icon, Notice::Icon::Error);
}

// The notification area's menu, commands, tool tip and notices, from the icon's model.
#include "tray/traymenu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace tray;

namespace {

const std::wstring kEth = L"{1D7E0C6B-0000-4000-8000-0000000000C1}";
const std::wstring kWifi = L"{1D7E0C6B-0000-4000-8000-0000000000C2}";

Model model() {
    Model m;
    m.adapters = {{L"Ethernet", kEth}, {L"Wi-Fi", kWifi}};
    m.chosen = 1;
    m.entries = {{L"Google DNS", L"8.8.8.8,8.8.4.4", L""},
                 {L"Fast & Safe", L"1.1.1.1,1.0.0.1", L"2606:4700:4700::1111,2606:4700:4700::1001"},
                 {L"Google again", L"8.8.8.8,8.8.4.4", L""}};
    m.current.static4 = L"8.8.8.8,8.8.4.4";
    m.current.inUse = std::vector<std::wstring>{L"8.8.8.8", L"8.8.4.4"};
    return m;
}

struct Shown {
    std::wstring text;
    bool checked, radio, enabled;
    bool operator==(const Shown&) const = default;
};
// Every item with an identifier, the submenu's too.
std::map<unsigned, Shown> shown(const std::vector<MenuItem>& menu) {
    std::map<unsigned, Shown> items;
    for (const auto& item : menu) {
        if (item.kind == MenuItem::Kind::Submenu) items.merge(shown(item.items));
        if (item.kind == MenuItem::Kind::Item && item.id)
            items[item.id] = {item.text, item.checked, item.radio, item.enabled};
    }
    return items;
}

} // namespace

TEST(TrayMenu, ChecksTheAdapterAndTheMatchingEntryAndGreysWhatCannotRunNow) {
    const auto full = shown(menuOf(model()));
    EXPECT_EQ(full.at(kFirstAdapterId + 1), (Shown{L"Wi-Fi", true, true, true}));
    EXPECT_EQ(full.at(kFirstAdapterId), (Shown{L"Ethernet", false, true, true}));
    EXPECT_EQ(full.at(kFirstEntryId), (Shown{L"Google DNS", true, true, true}))
        << "the first match";
    EXPECT_EQ(full.at(kFirstEntryId + 1), (Shown{L"Fast && Safe", false, true, true}));
    EXPECT_FALSE(full.at(kFirstEntryId + 2).checked);
    EXPECT_EQ(full.at(kDefaultId), (Shown{L"Automatic (D&HCP)", false, true, true}));
    EXPECT_FALSE(full.at(kRestoreId).enabled);
    EXPECT_FALSE(full.at(kStartWithWindowsId).checked);
    EXPECT_EQ(full.at(kPauseRulesId), (Shown{L"&Pause rules", false, false, true}));
    EXPECT_EQ(menuOf(model()).front().text, L"&Adapter: Wi-Fi");

    struct Case {
        const char* what;
        void (*change)(Model&);
        std::map<unsigned, bool> checked, enabled; // only the items named
    } cases[] = {
        {"servers in another order match nothing",
         [](Model& m) { m.current.static4 = L"8.8.4.4 8.8.8.8"; },
         {{kFirstEntryId, false}, {kDefaultId, false}},
         {}},
        {"both families must match",
         [](Model& m) {
             m.current.static4 = L"1.1.1.1,1.0.0.1";
             m.current.static6 = L"2606:4700:4700:0:0:0:0:1111 2606:4700:4700::1001";
         },
         {{kFirstEntryId + 1, true}},
         {}},
        {"IPv6 servers beside an IPv4-only entry",
         [](Model& m) { m.current.static6 = L"::1"; },
         {{kFirstEntryId, false}},
         {}},
        {"no static servers: automatic",
         [](Model& m) { m.current.static4 = L" "; },
         {{kDefaultId, true}, {kFirstEntryId, false}},
         {}},
        {"a restore record and start with Windows",
         [](Model& m) { m.canRestore = m.startsWithWindows = true; },
         {{kStartWithWindowsId, true}},
         {{kRestoreId, true}}},
        {"rules paused", [](Model& m) { m.rulesPaused = true; }, {{kPauseRulesId, true}}, {}},
        {"a change runs: nothing else changes",
         [](Model& m) { m.busy = m.canRestore = true; },
         {},
         {{kFirstAdapterId, false},
          {kFirstEntryId, false},
          {kDefaultId, false},
          {kRestoreId, false},
          {kFlushId, false},
          {kFastestId, true},
          {kCheckId, true},
          {kOpenId, true},
          {kStartWithWindowsId, true},
          {kPauseRulesId, true},
          {kExitId, true}}},
        {"no adapters",
         [](Model& m) { m.adapters.clear(), m.chosen.reset(), m.current = {}; },
         {{kDefaultId, false}, {kFirstEntryId, false}},
         {{kFirstEntryId, false}, {kDefaultId, false}, {kFlushId, true}, {kCheckId, false}}},
    };
    for (const auto& c : cases) {
        Model m = model();
        c.change(m);
        const auto items = shown(menuOf(m));
        for (const auto& [id, on] : c.checked)
            EXPECT_EQ(items.at(id).checked, on) << c.what << id;
        for (const auto& [id, on] : c.enabled)
            EXPECT_EQ(items.at(id).enabled, on) << c.what << id;
    }
    // A catalogue longer than the menu lists ends in a way to the window, and only then.
    for (const std::size_t count : {kMaxListed, kMaxListed + 1}) {
        Model m = model();
        m.entries.resize(count, {L"Many", L"1.2.3.4,1.2.3.5"});
        const auto menu = menuOf(m);
        const bool more = std::any_of(menu.begin(), menu.end(), [](const MenuItem& item) {
            return item.text == L"More entries in the window\u2026";
        });
        EXPECT_EQ(more, count > kMaxListed) << count;
    }
}

TEST(TrayMenu, CommandsRunOnlyWhenTheirItemIsAvailableAndNameTheAdapterByItsGuid) {
    struct Case {
        unsigned id;
        bool busy;
        std::vector<std::wstring> arguments; // empty: no change runs
        bool runs = true;
    } cases[] = {
        {kFirstEntryId + 1, false, {L"/set", L"Fast & Safe", L"/adapter", kWifi}},
        {kDefaultId, false, {L"/default", L"/adapter", kWifi}},
        {kRestoreId, false, {L"/restore", L"/adapter", kWifi}},
        {kFlushId, false, {L"/flush"}},
        {kFirstAdapterId, false, {}},
        {kStartWithWindowsId, true, {}},
        {kPauseRulesId, true, {}}, // a setting of the icon's own: no change runs
        {kFirstEntryId + 3, false, {}, false},
        {kFirstAdapterId + 2, false, {}, false},
        {kFirstEntryId, true, {}, false},
        {kFlushId, true, {}, false},
        {kFirstAdapterId, true, {}, false},
        {kCheckId, true, {}}, // changes nothing, so it runs beside a change
        {0x0999, false, {}, false},
    };
    for (const auto& c : cases) {
        Model m = model();
        m.canRestore = true;
        m.busy = c.busy;
        const auto command = commandOf(c.id, m);
        ASSERT_EQ(command.has_value(), c.runs) << c.id;
        if (command) {
            EXPECT_EQ(changeArguments(*command, m), c.arguments) << c.id;
        }
    }
    Model m = model();
    EXPECT_FALSE(commandOf(kRestoreId, m)) << "greyed without a record";
    EXPECT_EQ(commandOf(kFirstAdapterId, m), (Command{Action::ChooseAdapter, 0}));
    EXPECT_EQ(commandOf(kPauseRulesId, m), (Command{Action::PauseRules}));
    m.adapters.clear();
    m.chosen.reset();
    EXPECT_FALSE(commandOf(kDefaultId, m));
    EXPECT_FALSE(commandOf(kCheckId, m)) << "nothing to check without an adapter";
    EXPECT_TRUE(changeArguments({Action::Default}, m).empty());
}

TEST(TrayMenu, TheRememberedAdapterIsChosenWhileItIsListed) {
    const std::vector<Adapter> adapters = {{L"Ethernet", kEth}, {L"Wi-Fi", kWifi}};
    EXPECT_EQ(chooseAdapter(adapters, std::nullopt), 0u);
    EXPECT_EQ(chooseAdapter(adapters, L"{1d7e0c6b-0000-4000-8000-0000000000c2}"), 1u);
    EXPECT_EQ(chooseAdapter(adapters, L"{gone}"), 0u);
    EXPECT_EQ(chooseAdapter({}, kEth), std::nullopt);
}

TEST(TrayToolTip, NamesTheAdapterAndItsServersAndFitsTheShell) {
    Model m = model();
    EXPECT_EQ(toolTipOf(m), L"Keldrast\nWi-Fi\nIn use: 8.8.8.8, 8.8.4.4\nEncrypted: no");
    m.current.doh = {{dns::Family::V4, L"8.8.8.8", 2, L"https://dns.google/dns-query"}};
    m.current.inUse.reset();
    EXPECT_EQ(toolTipOf(m),
              L"Keldrast\nWi-Fi\nIn use: not reported\nEncrypted: DNS over HTTPS (dns.google), "
              L"encrypted only");
    m.adapters[1].description = std::wstring(200, L'x');
    const auto tip = toolTipOf(m);
    EXPECT_EQ(tip.size(), 127u);
    EXPECT_TRUE(tip.ends_with(
        L"\u2026\nIn use: not reported\nEncrypted: DNS over HTTPS (dns.google), encrypted only"))
        << tip;
    m.adapters.clear();
    m.chosen.reset();
    EXPECT_EQ(toolTipOf(m), L"Keldrast\nNo network adapters found");
    const std::wstring pair{L'a', L'b', wchar_t(0xD83D), wchar_t(0xDE00), L'c'}; // UTF-16
    EXPECT_EQ(shortened(pair, 4), L"ab\u2026") << "no half surrogate pair";
}

TEST(TrayNotice, SaysTheEnginesVerdictWithItsWarningsAndWhenNothingChanged) {
    const Model m = model();
    const Command set{Action::Apply, 1};
    auto brought = [](int code, std::vector<dns::ChangeOutcome> outcomes = {},
                      std::wstring failure = {}) {
        elevate::Brought b;
        b.exitCode = code;
        b.outcomes = std::move(outcomes);
        b.failure = std::move(failure);
        // What the command line printed never reaches the notice.
        b.out = L"Fast & Safe -> 2: Wi-Fi\n   IPv4: 1.1.1.1\n";
        return b;
    };
    dns::ChangeOutcome applied{.result = dns::Result::Applied, .servers = L"1.1.1.1,1.0.0.1"};
    applied.inUse = std::vector<std::wstring>{L"1.1.1.1", L"1.0.0.1"};
    dns::ChangeOutcome other{.kind = dns::ChangeKind::Default,
                             .result = dns::Result::OtherServersInUse};
    other.inUse = std::vector<std::wstring>{L"9.9.9.9"};
    other.warnings = {{L"policy-rule", L"A rule sends every name elsewhere."}};
    dns::ChangeOutcome notConnected = applied;
    notConnected.warnings = {{L"not-connected", L"\"Wi-Fi\" is not connected."}};
    elevate::Brought flushed = brought(0);
    flushed.flush = dns::FlushOutcome{dns::FlushResult::Flushed, 0};
    struct Case {
        Command command;
        elevate::Brought brought;
        Notice expected;
    } cases[] = {
        {set,
         brought(0, {applied}),
         {L"Fast & Safe: done", dns::verdictText(applied), Notice::Icon::Info}},
        {{Action::Default},
         brought(5, {other}),
         {L"Automatic (DHCP): saved, not in use yet",
          shortened(dns::verdictText(other) + L"\n" + dns::nextSteps(other).front() + L"\n" +
                        dns::nextSteps(other).back() + L"\nA rule sends every name elsewhere.",
                    kMaxNoticeText),
          Notice::Icon::Warning}},
        {set,
         brought(0, {notConnected}),
         {L"Fast & Safe: saved, not in use yet",
          dns::verdictText(notConnected) + L"\n" + dns::nextSteps(notConnected).front() +
              L"\n\"Wi-Fi\" is not connected.",
          Notice::Icon::Warning}},
        {{Action::Restore},
         brought(3, {}, L"elevation was declined"),
         {L"Nothing changed", L"elevation was declined", Notice::Icon::Warning}},
        {{Action::Flush},
         flushed,
         {L"DNS cache flushed", dns::flushText(*flushed.flush), Notice::Icon::Info}},
        {set,
         brought(9, {}, L"did not finish in time"),
         {L"Fast & Safe: outcome not known", L"did not finish in time", Notice::Icon::Error}},
        {set,
         brought(2, {dns::ChangeOutcome{.result = dns::Result::UnusableServer,
                                        .why = L"\"0.8.4.4\" lies in 0.0.0.0/8."}}),
         {L"Fast & Safe: nothing changed",
          L"The DNS servers were not changed: \"0.8.4.4\" lies in 0.0.0.0/8.",
          Notice::Icon::Error}},
        {set,
         brought(7),
         {L"Fast & Safe: nothing changed", L"Fast & Safe: nothing changed", Notice::Icon::Error}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(noticeOf(c.command, m, c.brought), c.expected) << c.brought.exitCode;
    const auto long_ = noticeOf(set, m, brought(4, {}, std::wstring(300, L'y')));
    EXPECT_EQ(long_.text.size(), kMaxNoticeText);
}

TEST(TrayUseQuestion, NamesTheEntryAndAdapterAndWarnsOfRedirectsAndErrors) {
    const auto server = [](std::wstring address, int asked, int answered) {
        dns::ServerResult s;
        s.address = std::move(address);
        s.asked = asked;
        s.answered = answered;
        return s;
    };
    dns::EntryResult clean;
    clean.name = L"Fast & Safe";
    clean.servers[0] = server(L"1.1.1.1", 10, 10);
    clean.servers[1] = server(L"1.0.0.1", 10, 10);
    clean.servers[2] = server(L"", 0, 0); // not measured: no role, or a public server under test
    EXPECT_EQ(useQuestion(clean, L"Wi-Fi"),
              (dns::Notice{L"Apply Fast & Safe to Wi-Fi?", dns::kQuestionFlags}));

    auto troubled = clean;
    troubled.servers[0].redirects = true;
    troubled.servers[1] = server(L"1.0.0.1", 10, 0);
    troubled.servers[1].errorRcode = 5;
    troubled.servers[2] = server(L"2606:4700:4700::1111", 10, 7);
    troubled.servers[3] = server(L"2606:4700:4700::1001", 10, 0);
    troubled.servers[3].dohError = L"HTTP 500";
    EXPECT_EQ(useQuestion(troubled, L"Wi-Fi"),
              (dns::Notice{L"Apply Fast & Safe to Wi-Fi?\r\n\r\nIn the test it redirects unknown "
                           L"names: a mistyped address may lead to its operator's page instead of "
                           L"an error.\r\n\r\nIn the test it had errors: 1.0.0.1 error: REFUSED; "
                           L"2606:4700:4700::1111 some queries unanswered; 2606:4700:4700::1001 "
                           L"no answer, DoH HTTP 500.",
                           dns::kWarningFlags | 4 | 256}));
}

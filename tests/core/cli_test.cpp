// The command line's pure rules: what arguments ask for, address forms, the
// adapter and entry a command names, exit codes, and the text, JSON and channel forms.
#include "cli/command.h"
#include "cli/report.h"
#include "toolkit/utf8.h"

#include <gtest/gtest.h>

using namespace cli;
using tk::fromUtf8;
using tk::toUtf8;

namespace {

using Args = std::vector<std::wstring>;

Command parsed(const Args& args) {
    const auto result = parse(args);
    if (const auto* error = std::get_if<ParseError>(&result)) {
        ADD_FAILURE() << "refused: " << testing::PrintToString(error->message);
        return {};
    }
    return std::get<Command>(result);
}

const std::wstring kGuid1 = L"{1D7E0C6B-0000-4000-8000-000000000001}";
const std::wstring kGuid2 = L"{1D7E0C6B-0000-4000-8000-000000000002}";

AdapterView named(std::wstring description, std::wstring service) {
    return {.description = std::move(description), .service = std::move(service)};
}

} // namespace

TEST(CommandLine, CommandsAndTheirValues) {
    EXPECT_EQ(parsed({L"/?"}).verb, Verb::Help);
    EXPECT_EQ(parsed({L"/HELP"}).verb, Verb::Help);
    EXPECT_EQ(parsed({L"/List", L"/JSON"}), (Command{.verb = Verb::List, .json = true}));
    EXPECT_EQ(parsed({L"/json", L"/catalogue"}), (Command{.verb = Verb::Catalogue, .json = true}));
    EXPECT_EQ(parsed({L"/set", L"Open DNS", L"/adapter", L"2"}),
              (Command{.verb = Verb::Set, .entry = L"Open DNS", .adapter = L"2"}));
    EXPECT_EQ(parsed({L"/custom", L"1.1.1.1", L"1.0.0.1", L"/v6", L"2606:4700:4700::1111"}),
              (Command{.verb = Verb::Custom,
                       .servers = {L"1.1.1.1", L"1.0.0.1"},
                       .servers6 = {L"2606:4700:4700::1111"}}));
    EXPECT_EQ(parsed({L"/adapter", L"Wi-Fi", L"/custom", L"9.9.9.9"}),
              (Command{.verb = Verb::Custom, .servers = {L"9.9.9.9"}, .adapter = L"Wi-Fi"}));
    EXPECT_EQ(parsed({L"/default"}).verb, Verb::Default);
    EXPECT_EQ(parsed({L"/restore", L"/adapter", kGuid1}).adapter, kGuid1);
    EXPECT_EQ(parsed({L"/flush"}).verb, Verb::Flush);
    EXPECT_EQ(parsed({L"/test"}).verb, Verb::Test);
    EXPECT_EQ(parsed({L"/Tray"}).verb, Verb::Tray);
    const auto test = parsed({L"/test", L"/tries", L"3", L"/timeout", L"250", L"/port", L"5353"});
    EXPECT_EQ(test.tries, 3);
    EXPECT_EQ(test.timeoutMs, 250);
    EXPECT_EQ(test.port, 5353);
    const auto lowest = parsed({L"/test", L"/tries", L"1", L"/timeout", L"50", L"/port", L"1"});
    EXPECT_EQ(lowest.tries, 1);
    EXPECT_EQ(lowest.timeoutMs, 50);
    EXPECT_EQ(lowest.port, 1);
    EXPECT_EQ(parsed({L"/check", L"/adapter", L"2", L"/direct", L"/timeout", L"500"}),
              (Command{.verb = Verb::Check, .adapter = L"2", .timeoutMs = 500, .direct = true}));
    EXPECT_TRUE(parsed({L"/default", L"/force"}).force);
    EXPECT_EQ(parsed({L"/default", L"/channel", L"C:\\t\\kld1.tmp"}).channel, L"C:\\t\\kld1.tmp");
    for (const auto verb : {Verb::Set, Verb::Custom, Verb::Default, Verb::Restore, Verb::Flush})
        EXPECT_TRUE(changesSystem(verb));
    for (const auto verb : {Verb::Help, Verb::List, Verb::Catalogue, Verb::Test, Verb::Window,
                            Verb::Tray, Verb::Check})
        EXPECT_FALSE(changesSystem(verb));
}

TEST(CommandLine, MistakesAreErrorsNeverIgnored) {
    const struct {
        Args args;
        const wchar_t* says;
    } cases[] = {
        {{}, L"No command"},
        {{L"/json"}, L"No command"},
        {{L"/lsit"}, L"Unknown switch: /lsit"},
        {{L"/test", L"/tries", L"21"}, L"/tries needs a number from 1 to 20."},
        {{L"/test", L"/timeout", L"2x"}, L"/timeout needs a number from 50 to 10000."},
        {{L"/test", L"/port", L"0"}, L"/port needs a number from 1 to 65535."},
        {{L"/list", L"/tries", L"3"}, L"/tries goes with /test."},
        {{L"/check", L"/tries", L"3"}, L"/tries goes with /test."},
        {{L"/list", L"/port", L"53"}, L"/timeout and /port go with /test or /check."},
        {{L"/test", L"/direct"}, L"/direct goes with /check."},
        {{L"-list"}, L"Unexpected argument: -list"},
        {{L"/list", L"extra"}, L"Unexpected argument: extra"},
        {{L"/list", L"/catalogue"}, L"Only one command"},
        {{L"/json", L"/list", L"/json"}, L"given twice"},
        {{L"/set"}, L"/set needs"},
        {{L"/set", L"/adapter", L"1"}, L"/set needs"},
        {{L"/custom"}, L"needs a preferred server"},
        {{L"/custom", L"1.1.1"}, L"Not an IPv4 server address: 1.1.1"},
        {{L"/custom", L"1.1.1.1", L"1.0.0.256"}, L"Not an IPv4"},
        {{L"/custom", L"1.1.1.1", L"1.1.1.1", L"1.1.1.1"}, L"Unexpected argument"},
        {{L"/custom", L"1.1.1.1", L"/v6"}, L"needs a preferred server address (IPv6)"},
        {{L"/custom", L"1.1.1.1", L"/v6", L"1.1.1.1"}, L"Not an IPv6"},
        {{L"/set", L"X", L"/v6", L"::1"}, L"/v6 goes with /custom"},
        {{L"/list", L"/adapter", L"1"}, L"/adapter goes with"},
        {{L"/flush", L"/adapter", L"1"}, L"/adapter goes with"},
        {{L"/default", L"/adapter"}, L"/adapter needs a value"},
        {{L"/list", L"/channel", L"x"}, L"/channel is only"},
        {{L"/flush", L"/force"}, L"/force goes with"},
    };
    for (const auto& c : cases) {
        const auto result = parse(c.args);
        const auto* error = std::get_if<ParseError>(&result);
        ASSERT_NE(error, nullptr) << testing::PrintToString(c.args);
        EXPECT_NE(error->message.find(c.says), std::wstring::npos)
            << testing::PrintToString(error->message);
    }
    EXPECT_TRUE(std::get<ParseError>(parse({L"/list", L"/x", L"/JSON"})).json);
    EXPECT_FALSE(std::get<ParseError>(parse({L"/list", L"/x"})).json);
}

TEST(Encoding, Utf8BothWaysAndJsonStrings) {
    EXPECT_EQ(toUtf8(L"a\u00E9\u20AC\U0001F600"), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(fromUtf8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), L"a\u00E9\u20AC\U0001F600");
    EXPECT_EQ(fromUtf8("\xC3"), L"\uFFFD");           // cut short
    EXPECT_EQ(fromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD"); // overlong
    EXPECT_EQ(fromUtf8("\xFF"
                       "a"),
              L"\uFFFDa");
    EXPECT_EQ(toUtf8(L"\u07FF\u0800"), "\xDF\xBF\xE0\xA0\x80");
    EXPECT_EQ(fromUtf8("\xDF\xBF\xE0\xA0\x80"), L"\u07FF\u0800");
    EXPECT_EQ(fromUtf8("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD"); // an encoded surrogate
    EXPECT_EQ(tk::jsonString(L"Caf\u00E9 \"A\\B\"\n\t"), L"\"Caf\u00E9 \\\"A\\\\B\\\"\\n\\t\"");
    for (wchar_t c = 0; c < 0x20; ++c) {
        const std::wstring json = tk::jsonString(std::wstring(1, c));
        EXPECT_EQ(json.find(c), std::wstring::npos) << int(c);
        EXPECT_EQ(json[1], L'\\') << int(c);
    }
}

TEST(Quoting, AsTheSystemParserReadsIt) {
    // The Wine shell tests hand these to CommandLineToArgvW; here the rule itself is checked.
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {{L"plain", L"plain"},
                                                               {L"", L"\"\""},
                                                               {L"a b", L"\"a b\""},
                                                               {L"a\"b", L"\"a\\\"b\""},
                                                               {L"C:\\x y\\", L"\"C:\\x y\\\\\""},
                                                               {L"\\\\srv\\s", L"\\\\srv\\s"},
                                                               {L"a\\\"b c", L"\"a\\\\\\\"b c\""}};
    for (const auto& [argument, quoted] : cases)
        EXPECT_EQ(quoteArgument(argument), quoted) << testing::PrintToString(argument);
    EXPECT_EQ(joinArguments({L"/set", L"Open DNS"}), L"/set \"Open DNS\"");
}

TEST(AdapterChoice, PositionGuidOrDescription) {
    const std::vector<AdapterView> two{named(L"Ethernet", kGuid1),
                                       named(L"Wi-Fi  Adapter", kGuid2)};
    const std::vector<AdapterView> same{named(L"NIC", kGuid1), named(L"NIC", kGuid2)};
    const struct {
        const std::vector<AdapterView>& adapters;
        std::optional<std::wstring> wanted;
        std::optional<std::size_t> index;
        int code;
    } cases[] = {
        {two, L"2", 1, kDone},
        {two, L" 1 ", 0, kDone},
        {two, L"3", {}, kUnknownTarget},
        {two, L"0", {}, kUnknownTarget},
        {two, L"99999999999999999999", {}, kUnknownTarget},
        {two, L"{1d7e0c6b-0000-4000-8000-000000000002}", 1, kDone},
        {two, L"wi-fi  adapter", 1, kDone},
        {two, L"Wi-Fi", {}, kUnknownTarget},
        {two, std::nullopt, {}, kBadArguments},
        {same, L"nic", {}, kUnknownTarget},
        {same, kGuid2, 1, kDone},
    };
    for (const auto& c : cases) {
        const auto choice = chooseAdapter(c.adapters, c.wanted);
        EXPECT_EQ(choice.index, c.index) << c.wanted.value_or(L"-");
        EXPECT_EQ(choice.exitCode, c.code) << c.wanted.value_or(L"-");
        if (!choice.index) {
            EXPECT_NE(choice.message.find(c.adapters[0].description), std::wstring::npos);
        }
    }
    EXPECT_EQ(chooseAdapter({named(L"Only", kGuid1)}, std::nullopt).index, 0u);
    EXPECT_EQ(chooseAdapter({}, std::nullopt).exitCode, kUnknownTarget);
}

TEST(AdapterChoice, EveryConnectedOneOrTheOneWithTheDefaultRoute) {
    const std::wstring guid3 = L"{1D7E0C6B-0000-4000-8000-000000000003}";
    const std::vector<AdapterView> views{named(L"Eth", kGuid1), named(L"Wi-Fi", kGuid2),
                                         named(L"Spare", guid3)};
    dns::NetworkState state{std::vector<dns::SystemAdapter>{
                                {kGuid1, L"Ethernet", L"", 3, 3, 6, true, true, true, L"", {}},
                                {kGuid2, L"Wi-Fi", L"", 7, 7, 71, true, true, true, L"", {}},
                                {guid3, L"Spare", L"", 8, 8, 6, false, true, false, L"", {}}},
                            {7, std::nullopt}};
    auto choice = chooseAdapters(views, L" Connected ", state);
    EXPECT_EQ(choice.indices, (std::vector<std::size_t>{0, 1}));
    EXPECT_TRUE(choice.several);
    choice = chooseAdapters(views, L"default", state);
    EXPECT_EQ(choice.indices, std::vector<std::size_t>{1});
    EXPECT_FALSE(choice.several);
    EXPECT_EQ(chooseAdapters(views, L"3", state).indices, std::vector<std::size_t>{2});
    // Nothing connected, or Windows does not say: unknown target, and why.
    for (auto& a : *state.adapters)
        a.up = false;
    for (const auto* wanted : {L"connected", L"default"}) {
        choice = chooseAdapters(views, wanted, state);
        EXPECT_TRUE(choice.indices.empty());
        EXPECT_EQ(choice.exitCode, kUnknownTarget);
        EXPECT_NE(chooseAdapters(views, wanted, {}).message.find(L"Windows does not say"),
                  std::wstring::npos);
    }
}

TEST(EntryChoice, AsTheSettingsFileComparesNames) {
    const std::vector<catalogue::CatalogueEntry> entries{
        {L"Open DNS", L"1.1.1.1,1.0.0.1"}, {L"open dns", L"2.2.2.2"}, {L"Quad", L"9.9.9.9"}};
    EXPECT_EQ(findEntry(entries, L" Open DNS ", tk::foldAscii), 0u);
    EXPECT_EQ(findEntry(entries, L"open dns", tk::foldAscii), 1u); // exact first
    EXPECT_EQ(findEntry(entries, L"QUAD", tk::foldAscii), 2u);
    EXPECT_EQ(findEntry(entries, L"Quad9", tk::foldAscii), std::nullopt);
}

TEST(Printing, JsonDocuments) {
    AdapterView view = named(L"Caf\u00E9 \"LAN\"", kGuid1);
    view.current.static4 = L"8.8.8.8,8.8.4.4";
    view.current.dhcp6 = L"fd00::53";
    view.current.inUse = std::vector<std::wstring>{L"8.8.8.8"};
    view.current.status = dns::AdapterStatus{true, true, false, dns::AdapterKind::WiFi};
    view.current.doh = {{dns::Family::V4, L"8.8.8.8", 6, L"https://dns.google/dns-query"}};
    AdapterView unlisted = named(L"B", kGuid2);
    unlisted.current.status = dns::AdapterStatus{};
    EXPECT_EQ(
        listJson({view, unlisted, named(L"C", kGuid1)}),
        L"{\"adapters\":[{\"index\":1,\"description\":\"Caf\u00E9 \\\"LAN\\\"\",\"guid\":\"" +
            kGuid1 +
            L"\",\"static\":{\"ipv4\":[\"8.8.8.8\",\"8.8.4.4\"],\"ipv6\":[]},\"dhcp\":{"
            L"\"ipv4\":[],\"ipv6\":[\"fd00::53\"]},\"inUse\":[\"8.8.8.8\"],\"connection\":{"
            L"\"listed\":true,\"connected\":true,\"defaultRoute\":false,\"kind\":\"wifi\"},"
            L"\"doh\":[{\"address\":\"8.8.8.8\",\"template\":\"https://dns.google/dns-query\","
            L"\"flags\":6}],\"dohInForce\":null,\"dohWellKnown\":[],\"encryption\":\"8.8.8.8: DNS "
            L"over HTTPS "
            L"(dns.google), plain when it fails\"},"
            L"{\"index\":2,\"description\":\"B\",\"guid\":\"" +
            kGuid2 +
            L"\",\"static\":{\"ipv4\":[],\"ipv6\":[]},\"dhcp\":{\"ipv4\":[],\"ipv6\":[]},"
            L"\"inUse\":null,\"connection\":{\"listed\":false,\"connected\":false,"
            L"\"defaultRoute\":false,\"kind\":null},\"doh\":[],\"dohInForce\":null,"
            L"\"dohWellKnown\":[],"
            L"\"encryption\":\"no\"},{\"index\":3,\"description\":\"C\","
            L"\"guid\":\"" +
            kGuid1 +
            L"\",\"static\":{\"ipv4\":[],\"ipv6\":[]},\"dhcp\":{\"ipv4\":[],\"ipv6\":[]},"
            L"\"inUse\":null,\"connection\":null,\"doh\":[],\"dohInForce\":null,\"dohWellKnown\":[]"
            L","
            L"\"encryption\":\"no\"}]}");
    EXPECT_EQ(catalogueJson({{L"Open DNS", L"208.67.222.222,208.67.220.220", L"2620:119:35::35",
                              L"https://doh.opendns.com/dns-query"},
                             {L"Empty", L""}}),
              L"{\"catalogue\":[{\"name\":\"Open DNS\",\"ipv4\":[\"208.67.222.222\","
              L"\"208.67.220.220\"],\"ipv6\":[\"2620:119:35::35\"],\"template\":\"https://"
              L"doh.opendns.com/dns-query\"},{\"name\":\"Empty\",\"ipv4\":[],\"ipv6\":[],"
              L"\"template\":null}]}");
    EXPECT_EQ(errorJson(L"set", 2, L"No \"X\""),
              L"{\"command\":\"set\",\"exitCode\":2,\"result\":\"error\",\"message\":\"No "
              L"\\\"X\\\"\"}");
}

TEST(Printing, ChangeReportsWhole) {
    ChangeReport report{
        .verb = Verb::Set, .adapterIndex = 1, .adapter = L"Wi-Fi", .entry = L"Open DNS"};
    auto& o = report.outcome;
    o.service = kGuid2;
    o.result = dns::Result::Saved;
    o.servers = L"1.1.1.1";
    o.servers6 = L"fd00::53";
    o.written = {{true, true, true}, {true, true, false}};
    o.recorded = true;
    o.warnings = {{L"policy-rule", L"R \"."}};
    o.doh = {dns::DohResult::OnReconnect,
             dns::DohMode::Only,
             dns::DohPolicy::Required,
             L"https://dns.google/dns-query",
             {{dns::Family::V4, L"1.1.1.1", 2, L"https://dns.google/dns-query"}}};
    EXPECT_EQ(changeJson(report, L"M"),
              L"{\"command\":\"set\",\"exitCode\":0,\"result\":\"saved\",\"adapter\":{\"index\":2,"
              L"\"description\":\"Wi-Fi\",\"guid\":\"" +
                  kGuid2 +
                  L"\"},\"entry\":\"Open DNS\",\"ipv4\":[\"1.1.1.1\"],\"ipv6\":[\"fd00::53\"],"
                  L"\"written\":{\"ipv4\":{\"ControlSet001\":true,\"ControlSet002\":true,"
                  L"\"CurrentControlSet\":true},\"ipv6\":{\"ControlSet001\":true,\"ControlSet002\":"
                  L"true,\"CurrentControlSet\":false}},\"live\":\"not-available\",\"inUse\":null,"
                  L"\"restoreRecordMade\":true,\"encryption\":{\"result\":\"on-reconnect\","
                  L"\"mode\":\"only\",\"policy\":\"required\",\"template\":\"https://"
                  L"dns.google/dns-query\",\"servers\":[{\"address\":\"1.1.1.1\",\"template\":"
                  L"\"https://dns.google/dns-query\",\"flags\":2}],\"text\":\"DNS over HTTPS "
                  L"(dns.google), encrypted only, from when the adapter reconnects; your "
                  L"administrator's policy (DoHPolicy) requires encrypted DNS\"},\"warnings\":[{"
                  L"\"code\":\"policy-rule\",\"message\":\"R \\\".\"}],\"message\":\"M\"}");
    // Several adapters: each change, the warnings once, and the worst exit code.
    // The other adapters' line names the argument that changes them all.
    ChangeReport other = report;
    other.outcome.result = dns::Result::PartlyWritten;
    other.outcome.warnings.push_back({L"other-adapter-servers", L"O."});
    const auto each = changeEachJson({report, other}, {L"M", L"N"});
    EXPECT_TRUE(each.starts_with(L"{\"command\":\"set\",\"exitCode\":6,\"result\":\"partly-"
                                 L"written\",\"changes\":[{\"command\":\"set\",\"exitCode\":0,"))
        << each;
    EXPECT_TRUE(each.ends_with(L"\"message\":\"N\"}],\"warnings\":[{\"code\":\"policy-rule\","
                               L"\"message\":\"R \\\".\"},{\"code\":\"other-adapter-servers\","
                               L"\"message\":\"O. \\\"/adapter connected\\\" changes them "
                               L"all.\"}]}"))
        << each;
    EXPECT_EQ(worstExitCode({kDone, kOtherServersInUse, kPartlyWritten}), kPartlyWritten);
    EXPECT_EQ(worstExitCode({kNotWritten, kPartlyWritten, kNoRestorePoint}), kNotWritten);
    EXPECT_EQ(worstExitCode({kUnknownTarget, kOtherServersInUse}), kUnknownTarget);
    EXPECT_EQ(worstExitCode({}), kDone);
    o.doh.result = dns::DohResult::NotOffered;
    EXPECT_EQ(changeText(report),
              L"Open DNS -> 2. Wi-Fi  " + kGuid2 +
                  L"\n   IPv4: 1.1.1.1\n   IPv6: fd00::53\n   In use: not "
                  L"reported by Windows\n   Encrypted: no, because this "
                  L"Windows does not offer encryption per adapter: the "
                  L"servers are applied without it; your administrator's policy "
                  L"(DoHPolicy) requires encrypted DNS\n");
    o.result = dns::Result::NoRestorePoint;
    o.written = {};
    o.why = L"Why.";
    EXPECT_EQ(changeText(report), L"Open DNS -> 2. Wi-Fi  " + kGuid2 + L"\n");
    EXPECT_EQ(verdictMessage(o, L""),
              L"The DNS servers were not changed: Keldrast could not record the present ones, so "
              L"there would be no way back.\nWhy.\nAdd /force to change them without a way back.");
    EXPECT_EQ(exitCode(o.result), kNoRestorePoint);
    const std::pair<dns::Result, int> codes[] = {{dns::Result::Applied, kDone},
                                                 {dns::Result::Saved, kDone},
                                                 {dns::Result::Refused, kOtherServersInUse},
                                                 {dns::Result::PartlyWritten, kPartlyWritten},
                                                 {dns::Result::NotWritten, kNotWritten},
                                                 {dns::Result::BadRestoreRecord, kUnknownTarget},
                                                 {dns::Result::BadTemplate, kBadArguments}};
    for (const auto& [result, code] : codes)
        EXPECT_EQ(exitCode(result), code) << static_cast<int>(result);
}

// 5 exactly when the text says Windows still uses other servers; warnings never change it.
TEST(ExitCode, MatchesWhatTheTextSays) {
    using Servers = std::vector<std::wstring>;
    const dns::Warning notConnected{L"not-connected", L"Not connected."};
    const dns::Warning rule{L"policy-rule", L"A rule."};
    const struct {
        dns::Result result;
        dns::ServersInUse inUse;
        std::vector<dns::Warning> warnings;
        int code;
    } cases[] = {
        {dns::Result::Saved, std::nullopt, {}, kDone},
        {dns::Result::Saved, Servers{L"9.9.9.9"}, {}, kOtherServersInUse},
        {dns::Result::OtherServersInUse, Servers{L"9.9.9.9"}, {}, kOtherServersInUse},
        {dns::Result::Applied, Servers{L"1.1.1.1"}, {notConnected, rule}, kDone},
        {dns::Result::Saved, std::nullopt, {notConnected}, kDone},
        {dns::Result::NotWritten, Servers{L"9.9.9.9"}, {}, kNotWritten},
    };
    for (const auto& c : cases) {
        const dns::ChangeOutcome o{.result = c.result,
                                   .written = {{true, true, true}, {true, true, true}},
                                   .servers = L"1.1.1.1",
                                   .inUse = c.inUse,
                                   .warnings = c.warnings};
        const auto text = verdictMessage(o, L"");
        EXPECT_EQ(exitCode(o), c.code) << testing::PrintToString(text);
        EXPECT_EQ(text.find(L"still uses") != std::wstring::npos, c.code == kOtherServersInUse)
            << testing::PrintToString(text);
        const ChangeReport report{.outcome = o};
        EXPECT_NE(changeJson(report, text).find(L"\"exitCode\":" + std::to_wstring(c.code)),
                  std::wstring::npos);
    }
}

TEST(EntryChoice, NearestEntriesAndTheQuotingHint) {
    const std::vector<catalogue::CatalogueEntry> entries{{L"Google DNS", L"8.8.8.8"},
                                                         {L"Google Family", L"8.8.8.8"},
                                                         {L"Quad9", L"9.9.9.9"},
                                                         {L"Open DNS", L"1.1.1.1"}};
    const struct {
        const wchar_t* name;
        const wchar_t* says;
    } unknown[] = {
        {L"goo", L"Did you mean \"Google DNS\" or \"Google Family\"?"}, // prefix, case aside
        {L"Googel DNS", L"Did you mean \"Google DNS\"?"},               // two edits
        {L"Quad8", L"Did you mean \"Quad9\"?"},
        {L"OpenDNS", L"Did you mean \"Open DNS\"?"},
        {L"Cloudflare", L"Run keldrast /catalogue for its names."}, // nothing near
        {L"", L"Run keldrast /catalogue for its names."},
    };
    for (const auto& c : unknown)
        EXPECT_EQ(unknownEntryMessage(entries, c.name, tk::foldAscii),
                  L"The catalogue has no entry called " + std::wstring(c.name) + L". " + c.says);
    EXPECT_EQ(nearestEntries(entries, L"O", tk::foldAscii), std::vector<std::size_t>{3});

    const struct {
        Args words;
        std::wstring hint;
    } hints[] = {
        {{L"Google", L"DNS"}, L"Put a name with spaces in quotes: /set \"Google DNS\""},
        {{L"open", L"dns"}, L"Put a name with spaces in quotes: /set \"Open DNS\""},
        {{L"Google", L"DNS", L"extra"}, L""},
        {{L"Google"}, L""},
    };
    for (const auto& c : hints)
        EXPECT_EQ(quotingHint(entries, c.words, tk::foldAscii), c.hint);

    // The parser keeps the words for that hint, and names the command for /json.
    const auto error = std::get<ParseError>(parse({L"/set", L"Google", L"DNS", L"/adapter", L"1"}));
    EXPECT_EQ(error.message, L"Unexpected argument: DNS");
    EXPECT_EQ(error.setWords, (Args{L"Google", L"DNS"}));
    EXPECT_EQ(error.command, L"set");
    EXPECT_EQ(std::get<ParseError>(parse({L"/set", L"/json"})).command, L"set");
    EXPECT_EQ(std::get<ParseError>(parse({L"/json", L"/?", L"x"})).command, L"help");
    EXPECT_EQ(std::get<ParseError>(parse({L"/json", L"/bogus"})).command, L"");
    EXPECT_TRUE(std::get<ParseError>(parse({L"/list", L"x"})).setWords.empty());
}

TEST(Printing, TextForms) {
    EXPECT_EQ(
        catalogueText({{L"Google DNS", L"8.8.8.8,8.8.4.4", L"2001:4860:4860::8888"}, {L"X", L""}}),
        L"Google DNS  8.8.8.8, 8.8.4.4; 2001:4860:4860::8888\nX           (no servers)\n");
    AdapterView lan = named(L"LAN", kGuid1);
    lan.current.static6 = L"fd00::1";
    lan.current.dhcp4 = L"10.0.0.1";
    lan.current.dhcp6 = L"fd00::53";
    lan.current.inUse = std::vector<std::wstring>{};
    lan.current.doh = {{dns::Family::V6, L"fd00::1", 6, L"https://[fd00::1]/q"}};
    lan.current.dohInForce = std::vector<dns::DohServer>{};
    EXPECT_EQ(
        listText({lan, named(L"B", kGuid2)}),
        L"1. LAN  " + kGuid1 +
            L"\n   Connection: not reported by Windows\n   IPv4 servers set: none\n   IPv6 "
            L"servers set: fd00::1\n   Automatic (DHCP): 10.0.0.1, fd00::53\n   In use: none\n   "
            L"Encrypted: fd00::1: DNS over HTTPS (fd00::1), plain when it fails; not in force "
            L"yet\n2. B  " +
            kGuid2 +
            L"\n   Connection: not reported by Windows\n   IPv4 servers set: none\n   IPv6 "
            L"servers set: none\n   Automatic (DHCP): none\n   In use: not reported by Windows\n   "
            L"Encrypted: no\n");
    EXPECT_EQ(listText({}), L"No network adapters found.\n");
}

TEST(Channel, WhatTheElevatedCopyDidComesBackWholeAsData) {
    elevate::Brought brought;
    brought.exitCode = 5;
    brought.out = L"out \u00E9\tline\\2\r\n";
    brought.err = L"err \U0001F600";
    brought.flush = dns::FlushOutcome{dns::FlushResult::Failed, 3};
    dns::ChangeOutcome o;
    o.kind = dns::ChangeKind::Restore;
    o.result = dns::Result::OtherServersInUse;
    o.service = L"{1D7E0C6B-0000-4000-8000-000000000001}";
    o.written.v4 = {true, false, true};
    o.live = dns::InterfaceDnsResult::Applied;
    o.servers = L"1.1.1.1,1.0.0.1";
    o.inUse = std::vector<std::wstring>{L"9.9.9.9"};
    o.recorded = true;
    o.warnings = {{L"policy-rule", L"A rule\nsends every name"}};
    o.doh = {dns::DohResult::OnReconnect,
             dns::DohMode::Only,
             dns::DohPolicy::Required,
             L"https://dns.example/q",
             {{dns::Family::V6, L"fd00::1", 6, std::nullopt}}};
    brought.outcomes = {o, dns::ChangeOutcome{}};
    EXPECT_EQ(elevate::decode(elevate::encode(brought)), brought);
    EXPECT_EQ(elevate::decode(elevate::encode({})), elevate::Brought{});
    // A report cut short, or with anything it does not know, is no report.
    const std::string whole = elevate::encode(brought);
    for (const std::string& bad :
         std::vector<std::string>{std::string(), whole.substr(0, whole.size() - 1),
                                  whole.substr(0, whole.find("outcome")), "exit\t0\nodd\nend\n",
                                  "exit\tx\nend\n", "exit\t0\nout\t\\q\nend\n"})
        EXPECT_EQ(elevate::decode(bad), std::nullopt) << bad;
}

// The speed test's figures, order and output forms.
#include "dns/address.h"
#include "dns/speedresult.h"

#include <gtest/gtest.h>

using namespace dns;

namespace {

// A server that answered every query: the popular name's warm-up and then `samples`, and
// `uncached` fresh names.
ServerResult server(std::wstring address, std::vector<double> samples,
                    std::vector<double> uncached = {}) {
    ServerResult s;
    s.address = std::move(address);
    s.warmUpMs = samples.empty() ? std::nullopt : std::optional(100.0);
    s.samplesMs = std::move(samples);
    s.uncachedSamplesMs = std::move(uncached);
    s.asked = s.answered =
        static_cast<int>(s.samplesMs.size() + s.uncachedSamplesMs.size()) + (s.warmUpMs ? 1 : 0);
    return s;
}

// A server that never answered: silent, or with this error code.
ServerResult failing(std::wstring address, std::optional<int> rcode = std::nullopt) {
    ServerResult s;
    s.address = std::move(address);
    s.asked = 4;
    s.timedOut = !rcode;
    s.errorRcode = rcode;
    return s;
}

EntryResult entry(std::wstring name, ServerResult preferred, ServerResult alternate = {},
                  ServerResult preferred6 = {}) {
    EntryResult e;
    e.name = std::move(name);
    e.finished = true;
    e.server(ServerRole::Preferred) = std::move(preferred);
    e.server(ServerRole::Alternate) = std::move(alternate);
    e.server(ServerRole::Preferred6) = std::move(preferred6);
    return e;
}

std::vector<std::wstring> names(const std::vector<EntryResult>& results) {
    std::vector<std::wstring> out;
    for (const auto& e : results)
        out.push_back(e.name);
    return out;
}

} // namespace

TEST(SpeedFigure, WarmUpLeftOutMedianAndPercentile) {
    EXPECT_EQ(median({}), std::nullopt);
    EXPECT_EQ(median({30, 10, 20}), 20);
    EXPECT_EQ(median({30, 10, 20, 40}), 25);
    const auto s = server(L"a", {30, 10, 20, 40, 50, 60, 70, 80, 90, 100, 110}, {7, 9});
    EXPECT_EQ(s.medianMs(), 60) << "the warm-up (100) is not among the tries";
    EXPECT_EQ(s.p90Ms(), 100);
    EXPECT_EQ(server(L"a", {4, 5, 6, 7}).p90Ms(), 7);
    EXPECT_EQ(s.uncachedMs(), 8);
    EXPECT_EQ(s.reliability(), 1.0);
    // One try: the warm-up is all there is.
    ServerResult once;
    once.warmUpMs = 12;
    EXPECT_EQ(once.medianMs(), 12);
    EXPECT_EQ(failing(L"a").medianMs(), std::nullopt);
    EXPECT_EQ(failing(L"a").reliability(), 0.0);
    EXPECT_EQ(ServerResult{}.reliability(), std::nullopt) << "nothing asked";
}

TEST(SpeedOrder, FastestFirstErrorsAndNoAnswerLast) {
    std::vector<EntryResult> results{
        entry(L"refused", failing(L"a", 5), server(L"b", {1, 1})),
        entry(L"silent", failing(L"a"), server(L"b", {1, 1})),
        entry(L"slow", server(L"a", {30, 30})),
        entry(L"fast", server(L"a", {3, 3}), failing(L"b")),
        entry(L"fast too", server(L"a", {3, 3}), server(L"b", {1})),
        entry(L"nothing", {}),
    };
    sortFastestFirst(results);
    EXPECT_EQ(names(results), (std::vector<std::wstring>{L"fast too", L"fast", L"slow", L"refused",
                                                         L"silent", L"nothing"}));
    // Tied on IPv4, the IPv6 figures decide.
    std::vector<EntryResult> tied{
        entry(L"slower v6", server(L"a", {5}), server(L"b", {5}), server(L"c", {9})),
        entry(L"faster v6", server(L"a", {5}), server(L"b", {5}), server(L"c", {2}))};
    sortFastestFirst(tied);
    EXPECT_EQ(names(tied), (std::vector<std::wstring>{L"faster v6", L"slower v6"}));
}

TEST(SpeedText, TableWithHeadingsAndFigures) {
    EXPECT_EQ(figureText(23.4), L"23 ms");
    EXPECT_EQ(figureText(0.35), L"0.3 ms");
    EXPECT_EQ(figureText(0.25), L"0.2 ms") << "an exact half rounds to even";
    EXPECT_EQ(figureText(22.5), L"22 ms");
    EXPECT_EQ(figureText(9.96), L"10 ms");
    EXPECT_EQ(figureText(std::nullopt), L"no answer");
    EXPECT_EQ(serverText(failing(L"a", 5)), L"error: REFUSED");
    EXPECT_EQ(serverText(failing(L"a", 12)), L"error: RCODE 12");
    auto redirecting = server(L"127.0.0.2", {9, 23, 23}, {80, 90});
    redirecting.redirects = true;
    const std::vector<EntryResult> v4{entry(L"Fast", redirecting, failing(L"127.0.0.3")),
                                      entry(L"Slower one", server(L"127.0.0.4", {212}, {150})),
                                      entry(L"Nothing", {})};
    EXPECT_EQ(resultsText(v4),
              L"DNS server  Preferred  Alternate  90th pct  Uncached  Reliability  Notes\n"
              L"Fast            23 ms  no answer     23 ms     85 ms          60%  redirects "
              L"unknown names\n"
              L"Slower one     212 ms               212 ms    150 ms         100%\n"
              L"Nothing\n");
    // IPv6 columns appear when any entry has an IPv6 server.
    const std::vector<EntryResult> v6{
        entry(L"A", server(L"127.0.0.2", {2}), {}, server(L"::1", {15}))};
    EXPECT_EQ(resultsText(v6).substr(0, 55),
              L"DNS server  Preferred  Alternate  IPv6 pref.  IPv6 alt.");
    EXPECT_EQ(cellText(v6[0], Column::Preferred6), L"15 ms");

    // The DoH column appears when any server was asked over DoH: its median, or its error.
    auto overDoh = server(L"127.0.0.2", {2});
    overDoh.dohAsked = true;
    overDoh.dohSamplesMs = {40, 12, 31};
    auto failingDoh = server(L"127.0.0.3", {2});
    failingDoh.dohAsked = true;
    failingDoh.dohError = L"not a DNS answer";
    auto silentDoh = failingDoh;
    silentDoh.dohError.reset();
    const std::vector<EntryResult> doh{entry(L"A", overDoh), entry(L"B", {}, failingDoh),
                                       entry(L"C", silentDoh), entry(L"D", server(L"x", {3}))};
    const auto text = resultsText(doh);
    const auto heading = text.substr(0, text.find(L'\n'));
    EXPECT_LT(heading.find(L"Uncached"), heading.find(L"DoH"));
    EXPECT_LT(heading.find(L"DoH"), heading.find(L"Reliability"));
    EXPECT_NE(text.find(L"error: not a DNS answer"), std::wstring::npos);
    EXPECT_EQ(cellText(doh[0], Column::Doh), L"31 ms") << "the median";
    EXPECT_EQ(cellText(doh[1], Column::Doh), L"error: not a DNS answer") << "never a time";
    EXPECT_EQ(cellText(doh[2], Column::Doh), L"no answer");
    EXPECT_EQ(cellText(doh[3], Column::Doh), L"") << "not asked over DoH";
    EXPECT_EQ(sortFigure(doh[0], Column::Doh), 31);
    EXPECT_EQ(sortFigure(doh[1], Column::Doh), std::nullopt);
    EXPECT_EQ(resultColumns(false, true).size(), resultColumns(false).size() + 1);
}

TEST(SpeedText, JsonHoldsEveryFigureOnOneLine) {
    auto refused = failing(L"127.0.0.3", 5);
    refused.dohAsked = true;
    refused.dohError = L"HTTP 500";
    const std::vector<EntryResult> results{
        entry(L"Caf\u00E9 \"1\"", server(L"127.0.0.2", {1, 2}, {5}), refused)};
    EXPECT_EQ(resultsJson(results),
              L"[{\"name\":\"Caf\u00E9 \\\"1\\\"\",\"finished\":true,\"reliability\":0.500,"
              L"\"servers\":[{\"role\":\"preferred\",\"address\":\"127.0.0.2\",\"medianMs\":1.500,"
              L"\"p90Ms\":2.000,\"uncachedMs\":5.000,\"dohMs\":null,\"dohError\":null,"
              L"\"reliability\":1.000,\"asked\":4,"
              L"\"answered\":4,\"timedOut\":false,\"error\":null,\"redirectsUnknownNames\":false,"
              L"\"warmUpMs\":100.000,\"samplesMs\":[1.000,2.000],\"uncachedSamplesMs\":[5.000],"
              L"\"dohSamplesMs\":[]},"
              L"{\"role\":\"alternate\",\"address\":\"127.0.0.3\",\"medianMs\":null,"
              L"\"p90Ms\":null,\"uncachedMs\":null,\"dohMs\":null,\"dohError\":\"HTTP 500\","
              L"\"reliability\":0.000,\"asked\":4,"
              L"\"answered\":0,\"timedOut\":false,\"error\":\"REFUSED\","
              L"\"redirectsUnknownNames\":false,\"warmUpMs\":null,\"samplesMs\":[],"
              L"\"uncachedSamplesMs\":[],\"dohSamplesMs\":[]}]}]");
    EXPECT_EQ(resultsJson({}), L"[]");
}

TEST(SpeedTargets, AddressesAndLoopback) {
    const auto addresses = serverAddresses({L"n", L" 127.0.0.2 ,0.0.0.0", L"::1"});
    EXPECT_EQ(addresses, (std::array<std::wstring, 4>{L"127.0.0.2", L"", L"::1", L""}));
    for (const wchar_t* yes :
         {L"127.0.0.1", L"127.255.0.9", L"::1", L"0:0:0:0:0:0:0:1", L"0::1", L"::0:1"})
        EXPECT_TRUE(isLoopback(yes)) << yes;
    for (const wchar_t* no : {L"8.8.8.8", L"128.0.0.1", L"127.0.0", L"127.0.0.1.5", L"127.0.0.256",
                              L"1127.0.0.1", L"::", L"1::", L"::2", L"::1:0", L"::1::", L"2001::1",
                              L"::ffff:127.0.0.1", L"0:0:0:0:0:0:0:0:1", L"", L"localhost"})
        EXPECT_FALSE(isLoopback(no)) << no;
}

TEST(SpeedColumns, AnAlternateIpv6ServerAloneShowsTheColumnsAndReliabilitySortsBestFirst) {
    EXPECT_TRUE(anyIpv6({{L"a", L"1.1.1.1,1.0.0.1"}, {L"b", L"9.9.9.9,149.112.112.112", L",::1"}}));
    EXPECT_FALSE(anyIpv6({{L"a", L"1.1.1.1,1.0.0.1"}}));
    auto half = failing(L"2.2.2.2");
    half.asked = 8;
    half.answered = 4;
    const auto sure = entry(L"sure", server(L"1.1.1.1", {5, 5}));
    const auto shaky = entry(L"shaky", half);
    EXPECT_LT(sortFigure(sure, Column::Reliability), sortFigure(shaky, Column::Reliability));
}

TEST(SpeedColumns, TheWindowKeepsWhatUsersPickByInFrontOfTheDetails) {
    using C = Column;
    EXPECT_EQ(windowColumns(true, true),
              (std::vector<C>{C::Name, C::Preferred, C::Alternate, C::Reliability, C::Notes,
                              C::Preferred6, C::Alternate6, C::Percentile90, C::Uncached, C::Doh}));
    EXPECT_EQ(windowColumns(false),
              (std::vector<C>{C::Name, C::Preferred, C::Alternate, C::Reliability, C::Notes,
                              C::Percentile90, C::Uncached}));
}

TEST(SpeedTargets, LoopbackGuardFailsClosed) {
    for (const wchar_t* on : {L"1", L"yes", L"true", L"00", L" "})
        EXPECT_TRUE(loopbackGuardOn(std::wstring_view(on))) << on;
    EXPECT_FALSE(loopbackGuardOn(std::nullopt));
    EXPECT_FALSE(loopbackGuardOn(std::wstring_view(L"")));
    EXPECT_FALSE(loopbackGuardOn(std::wstring_view(L"0")));
}

// The speed test's figures, order and output forms.
#include "dns/speedresult.h"

#include <gtest/gtest.h>

using namespace dns;

namespace {

ServerResult server(std::wstring address, std::vector<double> samples, bool timedOut = false) {
    return ServerResult{std::move(address), std::move(samples), timedOut};
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

} // namespace

TEST(SpeedFigure, FirstTryLeftOutThenMedian) {
    EXPECT_EQ(tryFigure({}), std::nullopt);
    EXPECT_EQ(tryFigure({7}), 7);
    EXPECT_EQ(tryFigure({90, 4}), 4);
    EXPECT_EQ(tryFigure({90, 30, 10, 20}), 20);
    EXPECT_EQ(tryFigure({90, 30, 10, 20, 40}), 25);
    // A server that timed out is "no answer", whatever it answered before.
    EXPECT_EQ(server(L"127.0.0.1", {1, 2, 3}, true).medianMs(), std::nullopt);
    EXPECT_EQ(server(L"127.0.0.1", {}).medianMs(), std::nullopt);
}

TEST(SpeedOrder, FastestFirstNoAnswerLast) {
    std::vector<EntryResult> results{
        entry(L"silent", server(L"a", {}, true), server(L"b", {1, 1})),
        entry(L"slow", server(L"a", {0, 30, 30})),
        entry(L"fast", server(L"a", {50, 3, 3}), server(L"b", {}, true)),
        entry(L"fast too", server(L"a", {50, 3, 3}), server(L"b", {0, 1})),
        entry(L"nothing", {}),
    };
    sortFastestFirst(results);
    std::vector<std::wstring> names;
    for (const auto& e : results)
        names.push_back(e.name);
    EXPECT_EQ(names,
              (std::vector<std::wstring>{L"fast too", L"fast", L"slow", L"silent", L"nothing"}));
}

TEST(SpeedText, TableAndFigures) {
    EXPECT_EQ(figureText(23.4), L"23 ms");
    EXPECT_EQ(figureText(0.35), L"0.3 ms");
    EXPECT_EQ(figureText(9.96), L"10 ms");
    EXPECT_EQ(figureText(std::nullopt), L"no answer");
    const std::vector<EntryResult> v4{
        entry(L"Fast", server(L"127.0.0.2", {9, 23, 23}), server(L"127.0.0.3", {}, true)),
        entry(L"Slower one", server(L"127.0.0.4", {0, 212})), entry(L"Nothing", {})};
    EXPECT_EQ(resultsText(v4), L"Fast         23 ms  no answer\n"
                               L"Slower one  212 ms\n"
                               L"Nothing\n");
    // IPv6 columns appear when any entry has an IPv6 server.
    const std::vector<EntryResult> v6{
        entry(L"A", server(L"127.0.0.2", {1, 2}), {}, server(L"::1", {1, 15}))};
    EXPECT_EQ(resultsText(v6), L"A  2.0 ms    15 ms\n");
}

TEST(SpeedText, JsonHoldsEveryFigure) {
    const std::vector<EntryResult> results{
        entry(L"Caf\u00E9 \"1\"", server(L"127.0.0.2", {1, 2}), server(L"127.0.0.3", {4}, true))};
    EXPECT_EQ(resultsJson(results),
              "[\n {\"name\": \"Caf\\u00e9 \\\"1\\\"\", \"servers\": ["
              "{\"role\": \"preferred\", \"address\": \"127.0.0.2\", \"median_ms\": 2.000, "
              "\"timed_out\": false, \"samples_ms\": [1.000, 2.000]}, "
              "{\"role\": \"alternate\", \"address\": \"127.0.0.3\", \"median_ms\": null, "
              "\"timed_out\": true, \"samples_ms\": [4.000]}]}\n]\n");
    EXPECT_EQ(resultsJson({}), "[]\n");
}

TEST(SpeedTargets, AddressesAndLoopback) {
    const auto addresses = serverAddresses({L"n", L" 127.0.0.2 ,0.0.0.0", L"::1"});
    EXPECT_EQ(addresses, (std::array<std::wstring, 4>{L"127.0.0.2", L"", L"::1", L""}));
    for (const wchar_t* yes :
         {L"127.0.0.1", L"127.255.0.9", L"::1", L"0:0:0:0:0:0:0:1", L"0::1", L"::0:1"})
        EXPECT_TRUE(isLoopbackAddress(yes)) << yes;
    for (const wchar_t* no : {L"8.8.8.8", L"128.0.0.1", L"127.0.0", L"127.0.0.1.5", L"127.0.0.256",
                              L"1127.0.0.1", L"::", L"1::", L"::2", L"::1:0", L"::1::", L"2001::1",
                              L"::ffff:127.0.0.1", L"0:0:0:0:0:0:0:0:1", L"", L"localhost"})
        EXPECT_FALSE(isLoopbackAddress(no)) << no;
}

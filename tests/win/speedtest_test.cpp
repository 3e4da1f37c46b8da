// The speed test against real UDP sockets: responders on loopback that answer at once, late,
// never, with an error, with an address for a name that does not exist, with noise first, from
// another socket, or under a stream of stray replies.
#include "dns/speedtest.h"
#include "dns/address.h"
#include "dns/dohclient.h"

#include "loopback_dns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using dns::ServerRole;
using loopback::Plan;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs the test on the responders' catalogue, which names loopback servers only.
std::vector<dns::EntryResult> measure(const loopback::Responders& responders,
                                      const std::vector<loopback::Entry>& layout,
                                      const dns::SpeedOptions& options,
                                      const dns::SpeedProgress& progress = {},
                                      const std::atomic<bool>* cancel = nullptr) {
    const auto entries = responders.catalogue(layout);
    for (const auto& entry : entries)
        for (const auto& address : dns::serverAddresses(entry))
            if (!address.empty() && !dns::isLoopback(address))
                ADD_FAILURE() << "not a loopback address in a test catalogue";
    dns::ScopedServerPorts ports{responders.ports(layout)};
    return dns::runSpeedTest(entries, options, progress, cancel);
}

} // namespace

TEST(SpeedTest, FiguresErrorsRedirectsAndNoise) {
    const loopback::Responders r({Plan{}, Plan{.delayMs = 200}, Plan{.silent = true},
                                  Plan{.delayMs = 100, .wrongIdFirst = true},
                                  Plan{.delayMs = 100, .wrongQuestionFirst = true},
                                  Plan{.delayMs = 100, .shortFirst = true},
                                  Plan{.strangerOnly = true}, Plan{.ipv6 = true}, Plan{.rcode = 5},
                                  Plan{.rcode = 2}, Plan{.redirects = true}});
    const std::vector<loopback::Entry> layout{
        {L"late", {1, 0}},
        {L"half silent", {2, 0}},
        {L"refuses", {8}},
        {L"fast", {0, -1, 7}},
        {L"wrong id first", {3}},
        {L"wrong question first", {4}},
        {L"short first", {5}},
        {L"stranger", {6}},
        {L"fails", {9}},
        {L"redirects", {10}},
        {L"unset"},
    };
    std::vector<std::size_t> reported;
    const auto start = Clock::now();
    auto results = measure(r, layout, {.tries = 3, .timeoutMs = 400},
                           [&](std::size_t i, const dns::EntryResult& e) {
                               EXPECT_TRUE(e.finished);
                               reported.push_back(i);
                           });
    const double elapsed = msSince(start);
    // Serially this would take seconds; side by side it is the silent server's 3 x 400 ms.
    EXPECT_LT(elapsed, 2000);
    EXPECT_EQ(reported.size(), layout.size());
    EXPECT_EQ(reported.front(), 10u) << "an entry without servers is done at once";

    const auto& fast = results[3].server(ServerRole::Preferred);
    EXPECT_TRUE(fast.warmUpMs);
    EXPECT_EQ(fast.samplesMs.size(), 2u) << "the warm-up is not a sample";
    EXPECT_EQ(fast.uncachedSamplesMs.size(), 3u);
    EXPECT_EQ(fast.asked, 6);
    EXPECT_EQ(fast.reliability(), 1.0);
    EXPECT_FALSE(fast.redirects) << "the uncached names got no such name";
    EXPECT_EQ(results[3].server(ServerRole::Preferred6).samplesMs.size(), 2u) << "IPv6 too";

    const auto figure = [&](std::size_t i, ServerRole role) {
        return results[i].server(role).medianMs();
    };
    ASSERT_TRUE(figure(0, ServerRole::Preferred));
    EXPECT_GE(*figure(0, ServerRole::Preferred), 195);
    EXPECT_GE(*results[0].server(ServerRole::Preferred).uncachedMs(), 195);
    EXPECT_LT(*figure(0, ServerRole::Alternate), 100);

    const auto& silent = results[1].server(ServerRole::Preferred);
    EXPECT_EQ(dns::serverText(silent), L"no answer");
    EXPECT_TRUE(silent.timedOut);
    EXPECT_EQ(silent.reliability(), 0.0);
    EXPECT_EQ(r.arrivalsMs(2).size(), 6u) << "every round asks, so reliability counts them all";
    EXPECT_EQ(dns::cellText(results[1], dns::Column::Reliability), L"50%");

    EXPECT_EQ(dns::serverText(results[2].server(ServerRole::Preferred)), L"error: REFUSED");
    EXPECT_EQ(results[2].server(ServerRole::Preferred).reliability(), 0.0);
    EXPECT_EQ(dns::serverText(results[8].server(ServerRole::Preferred)), L"error: SERVFAIL");
    for (std::size_t noisy : {4, 5, 6}) {
        ASSERT_TRUE(figure(noisy, ServerRole::Preferred)) << noisy;
        EXPECT_GE(*figure(noisy, ServerRole::Preferred), 95) << "noise taken as the reply";
    }
    EXPECT_EQ(figure(7, ServerRole::Preferred), std::nullopt) << "a reply from elsewhere";
    EXPECT_TRUE(results[9].server(ServerRole::Preferred).redirects);
    EXPECT_EQ(dns::cellText(results[9], dns::Column::Notes), L"redirects unknown names");
    EXPECT_EQ(dns::serverText(results[10].server(ServerRole::Preferred)), L"");

    dns::sortFastestFirst(results);
    std::vector<std::wstring> order;
    for (const auto& e : results)
        order.push_back(e.name);
    const auto place = [&](const wchar_t* name) {
        return std::find(order.begin(), order.end(), name) - order.begin();
    };
    EXPECT_LT(place(L"fast"), place(L"late")) << dns::resultsText(results);
    EXPECT_GT(place(L"refuses"), place(L"late")) << "an error never ranks above an answer";
    EXPECT_GT(place(L"fails"), place(L"late"));
}

TEST(SpeedTest, AFloodNeitherStretchesTheRunNorStarvesAServer) {
    // The silent server's replies never come, but stray ones (other IDs) stream in meanwhile.
    const loopback::Responders r({Plan{.silent = true, .flood = true}, Plan{.delayMs = 30}});
    const std::vector<loopback::Entry> layout{{L"steady", {1}}, {L"flooded", {0}}};
    const auto start = Clock::now();
    const auto results = measure(r, layout, {.tries = 3, .timeoutMs = 300});
    const double elapsed = msSince(start);
    EXPECT_LT(elapsed, 3 * 300 * 1.5) << "the stray replies kept the run going";
    const auto& steady = results[0].server(ServerRole::Preferred);
    EXPECT_EQ(steady.answered, 6) << "starved by the flood";
    ASSERT_TRUE(steady.medianMs());
    EXPECT_LT(*steady.medianMs(), 100);
    EXPECT_EQ(results[1].server(ServerRole::Preferred).answered, 0);
}

TEST(SpeedTest, AtMostMaxInFlightAndCancelStopsAtOnce) {
    const loopback::Responders r(std::vector<Plan>(20, {.silent = true}));
    std::vector<loopback::Entry> layout;
    for (int i = 0; i < 20; ++i)
        layout.push_back({L"silent " + std::to_wstring(i), {i}});

    auto results = measure(r, layout, {.tries = 1, .timeoutMs = 300, .maxInFlight = 16});
    int firstWave = 0;
    for (std::size_t i = 0; i < 20; ++i) {
        const auto arrivals = r.arrivalsMs(i);
        ASSERT_EQ(arrivals.size(), 2u) << "the popular name and an uncached one";
        if (arrivals[0] < 150) ++firstWave;
        EXPECT_EQ(dns::serverText(results[i].server(ServerRole::Preferred)), L"no answer");
    }
    EXPECT_EQ(firstWave, 16);

    std::atomic<bool> cancel{false};
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        cancel = true;
    });
    const auto start = Clock::now();
    results = measure(r, layout, {.timeoutMs = 5000}, {}, &cancel);
    const double elapsed = msSince(start);
    canceller.join();
    EXPECT_LT(elapsed, 1000);
    EXPECT_FALSE(results[0].finished);
}

TEST(SpeedTest, OutsideLoopbackNothingIsSent) {
    // The test program sets KELDRAST_LOOPBACK_ONLY=1 before any test. An address the guard does
    // not take for loopback is then never asked: it is "no answer" at once, not after the
    // timeout. The one used here (IPv4 loopback written as IPv6) still stays on this machine
    // should the guard ever fail, and reaches the responder then.
    ASSERT_TRUE(dns::loopbackOnly());
    const loopback::Responders r({Plan{}});
    dns::ScopedServerPorts ports{[&](std::size_t, ServerRole) { return r.port(0); }};
    const auto start = Clock::now();
    const auto results =
        dns::runSpeedTest({{L"mapped", L"", L"::ffff:127.0.0.1"}}, {.tries = 1, .timeoutMs = 3000});
    EXPECT_LT(msSince(start), 1000);
    EXPECT_TRUE(r.arrivalsMs(0).empty());
    EXPECT_TRUE(results[0].finished);
    const auto& server = results[0].server(ServerRole::Preferred6);
    EXPECT_EQ(server.asked, 0);
    EXPECT_EQ(dns::serverText(server), L"no answer");

    // The guard fails closed: any value but "" and "0" keeps it on.
    for (const wchar_t* on : {L"1", L"yes", L"10", L"true"}) {
        SetEnvironmentVariableW(L"KELDRAST_LOOPBACK_ONLY", on);
        EXPECT_TRUE(dns::loopbackOnly()) << on;
    }
    SetEnvironmentVariableW(L"KELDRAST_LOOPBACK_ONLY", L"0");
    EXPECT_FALSE(dns::loopbackOnly());
    SetEnvironmentVariableW(L"KELDRAST_LOOPBACK_ONLY", L"1");
}

TEST(SpeedTest, DohRoundsThroughTheEntryPointOnlyForLoopbackTemplatesWithinTheBound) {
    // The test machines' guard is on (scripts/wine-env): a template with a host name is never
    // asked, so nothing is looked up.
    const std::vector<catalogue::CatalogueEntry> entries{
        {L"local", L"127.0.0.61,127.0.0.62", L"", L"https://127.0.0.62:8443/q{?dns}"},
        {L"named", L"127.0.0.63", L"", L"https://dns.example/dns-query"},
        {L"plain", L"127.0.0.64"}};
    std::vector<std::wstring> asked;
    int calls = 0;
    dns::ScopedDohExchange https{
        [&](const dns::DohEndpoint& endpoint, std::span<const std::uint8_t> query, int timeoutMs) {
            asked.push_back(endpoint.host + L":" + std::to_wstring(endpoint.port) + endpoint.path);
            EXPECT_LE(timeoutMs, 300);
            dns::DohExchange answer{dns::HttpsResult::Response,
                                    200,
                                    L"application/dns-message",
                                    {query.begin(), query.end()}};
            answer.body[2] |= 0x80;
            if (++calls == 2) answer.status = 502; // an error among times is kept apart
            return answer;
        }};
    const auto start = Clock::now();
    const auto results = dns::runSpeedTest(entries, {.tries = 3, .timeoutMs = 300});
    EXPECT_LT(msSince(start), 3 * 300 + 500) << "DoH runs beside UDP, within the same bound";
    EXPECT_EQ(asked, std::vector<std::wstring>(3, L"127.0.0.62:8443/q"));
    const auto& timed = results[0].server(ServerRole::Alternate);
    EXPECT_TRUE(timed.dohAsked) << "the server the template names";
    EXPECT_EQ(timed.dohSamplesMs.size(), 2u);
    EXPECT_EQ(timed.dohError, L"HTTP 502");
    EXPECT_FALSE(results[0].server(ServerRole::Preferred).dohAsked);
    EXPECT_FALSE(results[1].server(ServerRole::Preferred).dohAsked);
    EXPECT_FALSE(results[2].server(ServerRole::Preferred).dohAsked);
    EXPECT_TRUE(results[0].finished && results[1].finished && results[2].finished);
}

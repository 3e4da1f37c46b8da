// The speed test against real UDP sockets: responders on loopback that answer at once, late,
// never, with noise first or from another socket.
#include "dns/speedtest.h"

#include "loopback_dns.h"

#include <gtest/gtest.h>

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
            if (!address.empty() && !dns::isLoopbackAddress(address))
                ADD_FAILURE() << "not a loopback address in a test catalogue";
    dns::ScopedServerPorts ports{responders.ports(layout)};
    return dns::runSpeedTest(entries, options, progress, cancel);
}

} // namespace

TEST(SpeedTest, FiguresNoAnswerAndNoiseIgnored) {
    const loopback::Responders r({Plan{}, Plan{.delayMs = 200}, Plan{.silent = true},
                                  Plan{.delayMs = 100, .wrongIdFirst = true},
                                  Plan{.delayMs = 100, .wrongQuestionFirst = true},
                                  Plan{.delayMs = 100, .shortFirst = true},
                                  Plan{.strangerOnly = true}, Plan{.ipv6 = true}});
    const std::vector<loopback::Entry> layout{
        {L"late", {1, 0}},
        {L"half silent", {2, 0}},
        {L"fast", {0, -1, 7}},
        {L"wrong id first", {3}},
        {L"wrong question first", {4}},
        {L"short first", {5}},
        {L"stranger", {6}},
        {L"unset"},
    };
    std::vector<std::size_t> reported;
    const auto start = Clock::now();
    auto results = measure(r, layout, {.tries = 3, .timeoutMs = 500},
                           [&](std::size_t i, const dns::EntryResult& e) {
                               EXPECT_TRUE(e.finished);
                               reported.push_back(i);
                           });
    const double elapsed = msSince(start);
    // Serially this would be about 2.4 s; side by side it is the slowest server's 3 x 200 ms.
    EXPECT_LT(elapsed, 1200);
    EXPECT_EQ(reported.size(), layout.size());
    EXPECT_EQ(reported.front(), 7u) << "an entry without servers is done at once";

    const auto figure = [&](std::size_t i, ServerRole role) {
        return results[i].server(role).medianMs();
    };
    ASSERT_TRUE(figure(0, ServerRole::Preferred));
    EXPECT_GE(*figure(0, ServerRole::Preferred), 195);
    EXPECT_LT(*figure(0, ServerRole::Alternate), 50);
    EXPECT_EQ(figure(1, ServerRole::Preferred), std::nullopt);
    EXPECT_TRUE(results[1].server(ServerRole::Preferred).timedOut);
    EXPECT_EQ(r.arrivalsMs(2).size(), 1u) << "a silent server is not asked again";
    ASSERT_TRUE(figure(2, ServerRole::Preferred6)) << "IPv6 servers are measured too";
    EXPECT_EQ(results[2].server(ServerRole::Preferred6).samplesMs.size(), 3u);
    for (std::size_t noisy : {3, 4, 5}) {
        ASSERT_TRUE(figure(noisy, ServerRole::Preferred)) << noisy;
        EXPECT_GE(*figure(noisy, ServerRole::Preferred), 95) << "noise taken as the reply";
    }
    EXPECT_EQ(figure(6, ServerRole::Preferred), std::nullopt) << "a reply from elsewhere";
    EXPECT_EQ(dns::serverText(results[7].server(ServerRole::Preferred)), L"");

    dns::sortFastestFirst(results);
    std::vector<std::wstring> order;
    for (const auto& e : results)
        order.push_back(e.name);
    EXPECT_EQ(order.front(), L"fast");
    EXPECT_EQ(order[4], L"late");
    EXPECT_EQ(order[5], L"half silent") << dns::resultsText(results);
}

TEST(SpeedTest, AtMostSixteenInFlightAndCancelStopsAtOnce) {
    const loopback::Responders r(std::vector<Plan>(20, {.silent = true}));
    std::vector<loopback::Entry> layout;
    for (int i = 0; i < 20; ++i)
        layout.push_back({L"silent " + std::to_wstring(i), {i}});

    auto results = measure(r, layout, {.tries = 2, .timeoutMs = 400});
    int firstWave = 0;
    for (std::size_t i = 0; i < 20; ++i) {
        const auto arrivals = r.arrivalsMs(i);
        ASSERT_EQ(arrivals.size(), 1u);
        if (arrivals[0] < 200) ++firstWave;
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
    // The test programs turn the guard on before any test. An address the guard does not take
    // for loopback is then never asked: it is "no answer" at once, not after the timeout. The
    // one used here (IPv4 loopback written as IPv6) still stays on this machine should the
    // guard ever fail, and reaches the responder then.
    ASSERT_TRUE(dns::setLoopbackOnly(true));
    const loopback::Responders r({Plan{}});
    dns::ScopedServerPorts ports{[&](std::size_t, ServerRole) { return r.port(0); }};
    const auto start = Clock::now();
    const auto results =
        dns::runSpeedTest({{L"mapped", L"", L"::ffff:127.0.0.1"}}, {.tries = 1, .timeoutMs = 3000});
    EXPECT_LT(msSince(start), 1000);
    EXPECT_TRUE(r.arrivalsMs(0).empty());
    EXPECT_TRUE(results[0].finished);
    EXPECT_FALSE(results[0].server(ServerRole::Preferred6).timedOut);
    EXPECT_EQ(dns::resultsText(results), L"mapped      no answer\n");
}

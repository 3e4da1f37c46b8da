// Waiting for a burst of network notifications to settle: one "apply now" per burst.
#include "tray/settle.h"

#include <gtest/gtest.h>

#include <vector>

using tray::Settle;

TEST(Settle, SaysApplyOnceAfterTheLastNotificationOfABurstHasBeenQuiet) {
    struct Event {
        bool change; // a notification; else the timer fires
        std::uint64_t at;
    };
    struct Case {
        const char* what;
        std::vector<Event> events;
        int applies;
        bool waiting = false; // a change still waits for its quiet
    } cases[] = {
        {"one notification", {{true, 0}, {false, 2000}}, 1},
        {"a burst of twenty, the timer firing at every step",
         [] {
             std::vector<Event> burst;
             for (std::uint64_t t = 0; t < 2000; t += 100)
                 burst.push_back({true, t}), burst.push_back({false, t + 50});
             burst.push_back({false, 1900 + 1999});
             burst.push_back({false, 1900 + 2000});
             burst.push_back({false, 1900 + 2001});
             burst.push_back({false, 9000});
             return burst;
         }(),
         1},
        {"the timer early", {{true, 0}, {false, 1999}}, 0, true},
        {"a notification restarts the quiet", {{true, 0}, {true, 1500}, {false, 2000}}, 0, true},
        {"two bursts apart",
         {{true, 0}, {true, 10}, {false, 2010}, {true, 5000}, {false, 7000}},
         2},
        {"a firing without a change", {{false, 0}, {false, 5000}}, 0},
    };
    for (const auto& c : cases) {
        Settle settle;
        int applies = 0;
        for (const auto& e : c.events) {
            if (e.change)
                settle.changed(e.at);
            else
                applies += settle.fired(e.at);
        }
        EXPECT_EQ(applies, c.applies) << c.what;
        EXPECT_EQ(settle.due().has_value(), c.waiting) << c.what;
    }
    Settle settle(500);
    settle.changed(100);
    settle.changed(300);
    EXPECT_EQ(settle.due(), 800u) << "armed for the quiet after the last";
}

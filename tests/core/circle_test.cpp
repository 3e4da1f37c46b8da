#include "app/circle.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <map>
#include <utility>

namespace {

// Ticks with the cursor away from the corner until the effect stops; returns the ticks taken.
int ticksUntilStop(app::CircleState& state) {
    for (int n = 1; n <= 100000; ++n)
        if (app::circleTick(state, 400, 300).stop) return n;
    return -1;
}

TEST(CircleTick, TurnsATenthPerTickMovesFifteenPixelsAndStopsAfterAMoveFromTheCorner) {
    // 15 pixels from (1000, 1) at the angles 0.1, 3.1 and 4.8.
    const std::map<int, std::pair<int, int>> moves = {
        {1, {1015, 2}}, {31, {985, 2}}, {48, {1001, -14}}};
    app::CircleState state;
    for (int n = 1; n < 63 * 10; ++n) {
        const auto move = app::circleTick(state, 1000, 1);
        // 0.1 ... 6.2, then 0 as 6.3 is above 6.28: 63 ticks a turn.
        ASSERT_NEAR(state.circleAngle, 0.1 * (n % 63), 1e-9) << "tick " << n;
        ASSERT_FALSE(move.stop);
        if (const auto it = moves.find(n); it != moves.end()) {
            EXPECT_EQ(std::pair(move.x, move.y), it->second) << "tick " << n;
        }
    }
    // Only the corner itself stops it, not the top or the left edge.
    EXPECT_FALSE(app::circleTick(state, 0, 300).stop);
    EXPECT_FALSE(app::circleTick(state, 400, 0).stop);
    state.circleAngle = 6.2;
    const auto move = app::circleTick(state, 0, 0); // angle back to 0
    EXPECT_EQ(std::pair(move.x, move.y), std::pair(15, 0));
    EXPECT_TRUE(move.stop);
    // Positions at the edge of the coordinate range do not wrap around.
    constexpr auto big = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(app::circleTick(state, big, big).x, big);
}

TEST(CircleTick, StopsAtTheFiveThousandthTickThenEachRunLastsFiveThousandWithoutOverflow) {
    app::CircleState state;
    app::startCircleRun(state);
    for (int n = 1; n < 3000; ++n)
        app::circleTick(state, 400, 300);
    ASSERT_TRUE(app::circleTick(state, 0, 0).stop);
    app::startCircleRun(state); // the count since the window was made goes on: 2000 more
    EXPECT_EQ(ticksUntilStop(state), 2000);
    // Ten more runs: 55,000 ticks in all, well past what a 16-bit counter holds.
    for (int run = 0; run < 10; ++run) {
        app::startCircleRun(state);
        EXPECT_EQ(ticksUntilStop(state), 5000) << "run " << run;
    }
    app::startCircleRun(state);
    EXPECT_TRUE(app::circleTick(state, 0, 0).stop); // the corner still stops a late run
    // A timer left running without a new start never counts past the limit.
    for (int n = 0; n < 40000; ++n)
        app::circleTick(state, 400, 300);
    EXPECT_EQ(state.circleTicks, 5000);
    EXPECT_GE(state.runTicks, 0);
    EXPECT_LE(state.runTicks, 5000);
}

} // namespace

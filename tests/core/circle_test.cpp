#include "app/circle.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

// Ticks with the cursor away from the corner until the effect stops; returns the ticks taken.
int ticksUntilStop(app::CircleState& state, int limit = 100000) {
    for (int n = 1; n <= limit; ++n)
        if (app::circleTick(state, 400, 300).stop) return n;
    return -1;
}

TEST(CircleTick, AngleTurnsByATenthAndStartsOverAbove628) {
    app::CircleState state;
    for (int n = 1; n <= 62; ++n) {
        app::circleTick(state, 400, 300);
        EXPECT_NEAR(state.circleAngle, 0.1 * n, 1e-9) << "tick " << n;
    }
    app::circleTick(state, 400, 300); // 6.3 is above 6.28
    EXPECT_EQ(state.circleAngle, 0.0);
    app::circleTick(state, 400, 300);
    EXPECT_NEAR(state.circleAngle, 0.1, 1e-9);

    // 63 ticks a turn, every turn.
    int wraps = 0;
    for (int n = 0; n < 63 * 10; ++n) {
        app::circleTick(state, 400, 300);
        if (state.circleAngle == 0.0) ++wraps;
    }
    EXPECT_EQ(wraps, 10);
}

TEST(CircleTick, MovesFifteenPixelsFromTheReadPositionAlongTheAngle) {
    app::CircleState state;
    auto move = app::circleTick(state, 400, 300); // angle 0.1: 15 cos = 14.93, 15 sin = 1.50
    EXPECT_EQ(move.x, 415);
    EXPECT_EQ(move.y, 301);
    EXPECT_FALSE(move.stop);
    EXPECT_EQ(state.cursorX, 400);
    EXPECT_EQ(state.cursorY, 300);

    for (int n = 2; n < 31; ++n)
        app::circleTick(state, 400, 300);
    move = app::circleTick(state, 1000, 20); // angle 3.1: 15 cos = -14.99, 15 sin = 0.62
    EXPECT_EQ(move.x, 985);
    EXPECT_EQ(move.y, 21);
    EXPECT_EQ(state.cursorX, 1000);
    EXPECT_EQ(state.cursorY, 20);

    for (int n = 32; n < 48; ++n)
        app::circleTick(state, 400, 300);
    move = app::circleTick(state, 400, 300); // angle 4.8: 15 cos = 1.31, 15 sin = -14.94
    EXPECT_EQ(move.x, 401);
    EXPECT_EQ(move.y, 285);
}

TEST(CircleTick, CursorInTheTopLeftCornerIsMovedOnceMoreThenTheEffectStops) {
    app::CircleState state;
    for (int n = 1; n <= 62; ++n)
        ASSERT_FALSE(app::circleTick(state, 1, 0).stop); // (1, 0) is not the corner
    const auto move = app::circleTick(state, 0, 0);      // angle back to 0
    EXPECT_EQ(move.x, 15);
    EXPECT_EQ(move.y, 0);
    EXPECT_TRUE(move.stop);

    app::CircleState fresh;
    const auto first = app::circleTick(fresh, 0, 0);
    EXPECT_EQ(first.x, 15);
    EXPECT_EQ(first.y, 1);
    EXPECT_TRUE(first.stop);
}

TEST(CircleTick, StopsAtTheFiveThousandthTickSinceTheWindowWasCreated) {
    app::CircleState state;
    app::startCircleRun(state);
    EXPECT_EQ(ticksUntilStop(state), 5000);
    EXPECT_EQ(state.circleTicks, 5000);

    // A run stopped in the corner does not reset the count: the next run ends at tick 5000.
    app::CircleState early;
    app::startCircleRun(early);
    for (int n = 1; n < 3000; ++n)
        app::circleTick(early, 400, 300);
    ASSERT_TRUE(app::circleTick(early, 0, 0).stop);
    app::startCircleRun(early);
    EXPECT_EQ(ticksUntilStop(early), 2000);
}

TEST(CircleTick, RunsAfterTheFiveThousandthTickLastFiveThousandTicksWithoutOverflow) {
    app::CircleState state;
    app::startCircleRun(state);
    ASSERT_EQ(ticksUntilStop(state), 5000);
    // Ten more runs: 55,000 ticks in all, well past what a 16-bit counter holds.
    for (int run = 0; run < 10; ++run) {
        app::startCircleRun(state);
        EXPECT_EQ(ticksUntilStop(state), 5000) << "run " << run;
        EXPECT_EQ(state.circleTicks, 5000);
        EXPECT_GE(state.runTicks, 0);
    }
    // The corner still stops a late run at once.
    app::startCircleRun(state);
    EXPECT_TRUE(app::circleTick(state, 0, 0).stop);
    // A timer left running without a new start never counts past the limit.
    for (int n = 0; n < 40000; ++n)
        app::circleTick(state, 400, 300);
    EXPECT_EQ(state.circleTicks, 5000);
    EXPECT_GE(state.runTicks, 0);
    EXPECT_LE(state.runTicks, 5000);
}

TEST(CircleTick, CursorAtTheEdgeOfTheCoordinateRangeDoesNotWrapAround) {
    app::CircleState state;
    constexpr auto big = std::numeric_limits<std::int32_t>::max();
    const auto move = app::circleTick(state, big, big);
    EXPECT_EQ(move.x, big);
    EXPECT_EQ(move.y, big);
}

} // namespace

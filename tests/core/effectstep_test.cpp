#include "effect/effectstep.h"

#include <gtest/gtest.h>

#include <array>
#include <set>
#include <vector>

namespace {

// Hands out fixed numbers and counts how many were taken.
class ScriptedRandom final : public fx::Random {
  public:
    explicit ScriptedRandom(std::vector<float> values) : values_(std::move(values)) {}
    float next() override { return values_.at(taken_++); }
    std::vector<float> values_;
    std::size_t taken_ = 0;
};

TEST(EffectStep, DrawsXThenYThenDxThenDyAndRoundsHalvesToEven) {
    struct Case {
        int W, H;
        std::vector<float> draws;
        std::array<int, 4> expected; // x, y, dx, dy
    };
    const Case cases[] = {
        {1280, 800, {0.5f, 0.25f, 0.625f, 0.5f}, {576, 168, 0, 0}}, // 0.5 -> 0, -0.5 -> 0
        {1280, 800, {0.0f, 0.0f, 0.875f, 0.9f}, {0, 0, 2, 2}},      // 1.5 -> 2, 1.5 -> 2
        {1280, 800, {0.0f, 0.0f, 0.125f, 0.1f}, {0, 0, -2, -2}},    // -1.5 -> -2, -2.5 -> -2
        {133, 135, {0.5f, 0.5f, 0.0f, 0.0f}, {2, 4, -2, -3}},       // 2.5 -> 2, 3.5 -> 4
        // 5 x 0.3f is exactly 1.5 in single precision (1.50000006 in double), so dy is -2.
        {1280, 800, {0.0f, 0.0f, 0.5f, 0.3f}, {0, 0, 0, -2}},
    };
    for (const Case& c : cases) {
        ScriptedRandom random(c.draws);
        const fx::EffectStep s = fx::effectStep(c.W, c.H, random);
        EXPECT_EQ(random.taken_, 4u);
        EXPECT_EQ((std::array{s.x, s.y, s.dx, s.dy}), c.expected) << c.W << " " << c.draws[0];
    }
}

TEST(EffectStep, BlocksStayOnScreenAndThePictureDriftsUpwards) {
    fx::UniformRandom random(12345);
    constexpr int W = 1280, H = 800, steps = 200000;
    std::set<int> dxSeen, dySeen;
    double dySum = 0;
    for (int n = 0; n < steps; ++n) {
        const fx::EffectStep s = fx::effectStep(W, H, random);
        ASSERT_TRUE(s.x >= 0 && s.x <= W - 128 && s.y >= 0 && s.y <= H - 128) << s.x << "," << s.y;
        dxSeen.insert(s.dx);
        dySeen.insert(s.dy);
        dySum += s.dy;
    }
    EXPECT_EQ(dxSeen, (std::set<int>{-2, -1, 0, 1, 2}));
    EXPECT_EQ(dySeen, (std::set<int>{-3, -2, -1, 0, 1, 2}));
    EXPECT_NEAR(dySum / steps, -0.5, 0.02);
}

} // namespace

#include "effect/effectstep.h"

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <vector>

namespace {

// Hands out fixed numbers and counts how many were taken.
class ScriptedRandom final : public fx::Random {
  public:
    explicit ScriptedRandom(std::vector<float> values) : values_(std::move(values)) {}
    float next() override { return values_.at(taken_++); }
    std::size_t taken() const { return taken_; }

  private:
    std::vector<float> values_;
    std::size_t taken_ = 0;
};

struct Case {
    int W, H;
    std::array<float, 4> draws;
    fx::EffectStep expected;
};

TEST(EffectStep, DrawsFourNumbersInOrderAndRoundsHalvesToEven) {
    const Case cases[] = {
        {1280, 800, {0.5f, 0.25f, 0.625f, 0.5f}, {576, 168, 0, 0}}, // 0.5 -> 0, -0.5 -> 0
        {1280, 800, {0.0f, 0.0f, 0.875f, 0.9f}, {0, 0, 2, 2}},      // 1.5 -> 2, 1.5 -> 2
        {1280, 800, {0.0f, 0.0f, 0.125f, 0.1f}, {0, 0, -2, -2}},    // -1.5 -> -2, -2.5 -> -2
        {1280, 800, {0.0f, 0.0f, 0.375f, 0.0f}, {0, 0, 0, -3}},     // -0.5 -> 0
        {133, 135, {0.5f, 0.5f, 0.0f, 0.0f}, {2, 4, -2, -3}},       // 2.5 -> 2, 3.5 -> 4
        {1920, 1080, {0.75f, 0.5f, 0.5f, 0.7f}, {1344, 476, 0, 0}}, // 0.7 * 5 - 3 = 0.5 -> 0
    };
    for (const Case& c : cases) {
        ScriptedRandom random({c.draws.begin(), c.draws.end()});
        const fx::EffectStep s = fx::effectStep(c.W, c.H, random);
        EXPECT_EQ(random.taken(), 4u);
        EXPECT_EQ(s.x, c.expected.x) << c.W << " " << c.draws[0];
        EXPECT_EQ(s.y, c.expected.y) << c.H << " " << c.draws[1];
        EXPECT_EQ(s.dx, c.expected.dx) << c.draws[2];
        EXPECT_EQ(s.dy, c.expected.dy) << c.draws[3];
    }
}

TEST(EffectStep, ShiftIsWorkedOutInSinglePrecision) {
    // 5 x 0.3f is exactly 1.5 in single precision (1.50000006 in double), so dy is -2, not -1.
    ScriptedRandom random({0.0f, 0.0f, 0.5f, 0.3f});
    EXPECT_EQ(fx::effectStep(1280, 800, random).dy, -2);
}

TEST(EffectStep, BlocksStayOnScreenAndThePictureDriftsUpwards) {
    fx::UniformRandom random(12345);
    constexpr int W = 1280, H = 800, steps = 200000;
    std::map<int, int> dxSeen, dySeen;
    double dxSum = 0, dySum = 0;
    for (int n = 0; n < steps; ++n) {
        const fx::EffectStep s = fx::effectStep(W, H, random);
        ASSERT_GE(s.x, 0);
        ASSERT_LE(s.x, W - 128);
        ASSERT_GE(s.y, 0);
        ASSERT_LE(s.y, H - 128);
        ++dxSeen[s.dx];
        ++dySeen[s.dy];
        dxSum += s.dx;
        dySum += s.dy;
    }
    EXPECT_EQ(dxSeen.size(), 5u);
    EXPECT_EQ(dxSeen.begin()->first, -2);
    EXPECT_EQ(dxSeen.rbegin()->first, 2);
    EXPECT_EQ(dySeen.size(), 6u);
    EXPECT_EQ(dySeen.begin()->first, -3);
    EXPECT_EQ(dySeen.rbegin()->first, 2);
    EXPECT_NEAR(dxSum / steps, 0.0, 0.02);
    EXPECT_NEAR(dySum / steps, -0.5, 0.02);
}

TEST(EffectStep, GeneratorStaysBelowOne) {
    fx::UniformRandom random(7);
    float lowest = 1, highest = 0;
    for (int n = 0; n < 2000000; ++n) {
        const float r = random.next();
        lowest = std::min(lowest, r);
        highest = std::max(highest, r);
    }
    EXPECT_GE(lowest, 0.0f);
    EXPECT_LT(lowest, 0.001f);
    EXPECT_LT(highest, 1.0f);
    EXPECT_GT(highest, 0.999f);
}

} // namespace

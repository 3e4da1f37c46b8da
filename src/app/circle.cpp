#include "app/circle.h"

#include "toolkit/scale.h"

#include <cmath>
#include <limits>

namespace app {

void startCircleRun(CircleState& state) noexcept {
    state.runTicks = 0;
}

namespace {

std::int32_t clampToInt32(double v) noexcept {
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(tk::roundHalfEven(v < lo ? lo : (v > hi ? hi : v)));
}

} // namespace

CircleMove circleTick(CircleState& state, std::int32_t readX, std::int32_t readY) noexcept {
    bool limitReached = false;
    if (state.circleTicks < kCircleTickLimit) {
        ++state.circleTicks;
        limitReached = state.circleTicks == kCircleTickLimit;
    } else {
        if (state.runTicks < kCircleTickLimit) ++state.runTicks;
        limitReached = state.runTicks >= kCircleTickLimit;
    }

    state.circleAngle += kCircleAngleStep;
    if (state.circleAngle > kCircleAngleWrap) state.circleAngle = 0;

    CircleMove move;
    move.x = clampToInt32(static_cast<double>(readX) + kCircleRadius * std::cos(state.circleAngle));
    move.y = clampToInt32(static_cast<double>(readY) + kCircleRadius * std::sin(state.circleAngle));
    move.stop = (readX == 0 && readY == 0) || limitReached;
    return move;
}

} // namespace app

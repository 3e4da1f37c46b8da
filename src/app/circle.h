// The cursor circle effect of the title label: each tick of Timer2 moves the mouse cursor
// 15 pixels from where it is, in a direction that turns by 0.1 radian per tick. Pure; the
// window reads and sets the cursor position around circleTick.
//
// The tick counter never overflows. circleTicks counts the ticks since the window was created
// and stops counting at kCircleTickLimit (5000): a run that is still going when the 5000th tick
// comes stops there. After that every run has its own counter, set to 0 by startCircleRun
// (the click on the title label), and stops after kCircleTickLimit ticks of its own, or
// earlier when the cursor is found in the top-left corner.
#pragma once

#include <cstdint>

namespace app {

inline constexpr std::int16_t kCircleTickLimit = 5000;
inline constexpr double kCircleAngleStep = 0.1;
inline constexpr double kCircleAngleWrap = 6.28; // deliberately not 2 pi: 63 ticks per turn
inline constexpr double kCircleRadius = 15.0;

struct CircleState {
    double circleAngle = 0;
    std::int16_t circleTicks = 0; // ticks since the window was created, held at the limit
    std::int16_t runTicks = 0;    // ticks of the current run once circleTicks is at the limit
};

struct CircleMove {
    std::int32_t x = 0; // where to put the cursor
    std::int32_t y = 0;
    bool stop = false; // disable the timer after this move
};

// A run of the effect starts (the title label was clicked).
void startCircleRun(CircleState& state) noexcept;

// One tick, given the cursor position just read. The move is always made, also on the tick
// that stops the effect.
CircleMove circleTick(CircleState& state, std::int32_t readX, std::int32_t readY) noexcept;

} // namespace app

#include "effect/effectstep.h"

#include "toolkit/scale.h"

#include <chrono>

namespace fx {

UniformRandom UniformRandom::seededFromClock() {
    const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return UniformRandom(static_cast<std::uint32_t>(ticks ^ (ticks >> 32)));
}

float UniformRandom::next() {
    return static_cast<float>(engine_() >> 8) * (1.0f / 16777216.0f);
}

namespace {

int nearest(float value) {
    return tk::roundHalfEven(static_cast<double>(value));
}

} // namespace

EffectStep effectStep(int W, int H, Random& random, const EffectShape& shape) {
    EffectStep step;
    step.x = nearest(static_cast<float>(W - 128) * random.next());
    step.y = nearest(static_cast<float>(H - 128) * random.next());
    step.dx = nearest(static_cast<float>(shape.shiftRangeX) * random.next() -
                      static_cast<float>(shape.shiftBiasX));
    step.dy = nearest(static_cast<float>(shape.shiftRangeY) * random.next() -
                      static_cast<float>(shape.shiftBiasY));
    return step;
}

} // namespace fx

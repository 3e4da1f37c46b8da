// One step of the screen effect: which block of the picture is copied, and how far it is
// shifted. Pure, so the random draws and the rounding can be checked without a screen.
#pragma once

#include <cstdint>
#include <random>

namespace fx {

// Uniform single-precision numbers in [0, 1).
class Random {
  public:
    virtual ~Random() = default;
    virtual float next() = 0;
};

// The effect's generator: 24 random bits per number, so 1.0 can never come out.
class UniformRandom final : public Random {
  public:
    explicit UniformRandom(std::uint32_t seed) : engine_(seed) {}
    static UniformRandom seededFromClock();
    float next() override;

  private:
    std::mt19937 engine_;
};

// The shape of the effect: block size and the spans and biases of the random shift.
struct EffectShape {
    std::int16_t shiftRangeX = 4;
    std::int16_t shiftBiasX = 2;
    std::int16_t shiftRangeY = 5;
    std::int16_t shiftBiasY = 3;
    std::int16_t blockWidth = 222;
    std::int16_t blockHeight = 99;
};

struct EffectStep {
    int x = 0; // source corner of the block
    int y = 0;
    int dx = 0; // the destination is the source moved by (dx, dy)
    int dy = 0;
};

// Draws four numbers, in this order, for x, y, dx and dy, each computed in single precision
// and rounded to the nearest integer, halves to even. With the default shape dx is in -2..2
// and dy in -3..2, so the picture creeps upwards. W and H are the screen size in pixels.
EffectStep effectStep(int W, int H, Random& random, const EffectShape& shape = {});

} // namespace fx

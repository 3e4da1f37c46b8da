#include "tray/trayicon.h"

#include <algorithm>
#include <cmath>

namespace tray {

namespace {

struct Point {
    double x, y;
};

double distanceToSegment(Point p, Point a, Point b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double t =
        std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// How far inside the unit square with rounded corners a point lies; negative outside.
double insideTile(Point p, double radius) {
    const double lo = radius, hi = 1.0 - radius;
    const double dx = std::max({lo - p.x, 0.0, p.x - hi});
    const double dy = std::max({lo - p.y, 0.0, p.y - hi});
    if (dx > 0 || dy > 0) return radius - std::hypot(dx, dy);
    return radius + std::min({p.x - lo, hi - p.x, p.y - lo, hi - p.y});
}

// The same strokes as the program's icon, a little bolder so that the "K" reads at 16 pixels.
constexpr Point kStem[2]{{0.31, 0.21}, {0.31, 0.79}};
constexpr Point kUpperArm[2]{{0.33, 0.54}, {0.69, 0.21}};
constexpr Point kLowerArm[2]{{0.45, 0.44}, {0.71, 0.79}};
constexpr double kHalfStroke = 0.075;
constexpr Point kDot{0.77, 0.77};
constexpr double kDotRadius = 0.13;

constexpr std::uint32_t kFill = 0x2F7FD0, kDarkRim = 0x174A85, kLightRim = 0x6FAAF0;
constexpr std::uint32_t kGlyph = 0xFFFFFF, kDotColour = 0x00C000;

} // namespace

std::vector<std::uint32_t> iconPixels(int size, bool lightTaskbar) {
    size = std::max(size, 8);
    constexpr int kSamples = 4; // per side of a pixel: smooth edges without blurring the strokes
    const double rim = 1.0 / size;
    const std::uint32_t rimColour = lightTaskbar ? kDarkRim : kLightRim;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(size) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            unsigned sum[3]{}, opaque = 0;
            for (int sy = 0; sy < kSamples; ++sy)
                for (int sx = 0; sx < kSamples; ++sx) {
                    const Point p{(x + (sx + 0.5) / kSamples) / size,
                                  (y + (sy + 0.5) / kSamples) / size};
                    const double inside = insideTile(p, 0.2);
                    if (inside < 0) continue;
                    std::uint32_t colour = inside < rim ? rimColour : kFill;
                    const double stroke =
                        std::min({distanceToSegment(p, kStem[0], kStem[1]),
                                  distanceToSegment(p, kUpperArm[0], kUpperArm[1]),
                                  distanceToSegment(p, kLowerArm[0], kLowerArm[1])});
                    if (stroke <= kHalfStroke) colour = kGlyph;
                    if (std::hypot(p.x - kDot.x, p.y - kDot.y) <= kDotRadius) colour = kDotColour;
                    for (int c = 0; c < 3; ++c)
                        sum[c] += (colour >> (16 - 8 * c)) & 0xFF;
                    ++opaque;
                }
            if (!opaque) continue;
            std::uint32_t argb = (opaque * 255 / (kSamples * kSamples)) << 24;
            for (int c = 0; c < 3; ++c)
                argb |= (sum[c] / opaque) << (16 - 8 * c);
            pixels[static_cast<std::size_t>(y) * size + x] = argb;
        }
    return pixels;
}

} // namespace tray

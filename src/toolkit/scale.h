// Rounding and unit conversion shared by the layout and the effects. Pure.
#pragma once

namespace tk {

// Nearest integer, halves to even (2.5 -> 2, 3.5 -> 4, -0.5 -> 0).
int roundHalfEven(double value);

// Layout numbers are kept in twips: 1440 per inch, so 15 per pixel at 96 DPI.
constexpr int kTwipsPerInch = 1440;
int twipsToPixels(int twips, int dpi);

// A size given in pixels at 96 DPI, scaled for another DPI (rounded to nearest).
int scaleFrom96(int pixels, int dpi);

} // namespace tk

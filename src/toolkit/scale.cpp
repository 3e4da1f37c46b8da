#include "toolkit/scale.h"

#include <cmath>

namespace tk {

int roundHalfEven(double value) {
    return static_cast<int>(std::nearbyint(value)); // the default FP rounding mode is to-even
}

int twipsToPixels(int twips, int dpi) {
    return roundHalfEven(static_cast<double>(twips) * dpi / kTwipsPerInch);
}

int scaleFrom96(int pixels, int dpi) {
    return roundHalfEven(static_cast<double>(pixels) * dpi / 96.0);
}

} // namespace tk

#include "toolkit/font.h"

#include "toolkit/scale.h"

namespace tk {

int fontHeightForDpi(double points, int dpi) {
    return -roundHalfEven(points * dpi / 72.0);
}

std::shared_ptr<void> Font::cachedHandle(int dpi) const {
    const auto it = handles_.find(dpi);
    return it == handles_.end() ? nullptr : it->second;
}

void Font::cacheHandle(int dpi, std::shared_ptr<void> handle) const {
    handles_[dpi] = std::move(handle);
}

} // namespace tk

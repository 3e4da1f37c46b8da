#include "toolkit/colour.h"

namespace tk {

bool isValidColour(std::uint32_t colour) noexcept {
    if (!isSystemColour(colour)) return colour <= 0x00FFFFFFu;
    return (colour & 0x7FFFFF00u) == 0 &&
           static_cast<int>(colour & 0xFFu) <= kLastSystemColourIndex;
}

std::uint32_t resolveColour(std::uint32_t colour,
                            const std::function<std::uint32_t(int index)>& systemColour) {
    if (!isValidColour(colour)) return 0;
    if (!isSystemColour(colour)) return colour;
    return systemColour ? systemColour(static_cast<int>(colour & 0xFFu)) & 0x00FFFFFFu : 0;
}

} // namespace tk

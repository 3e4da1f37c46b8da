#include "toolkit/colour_win.h"

namespace tk {

COLORREF toColorRef(std::uint32_t colour) {
    return resolveColour(colour,
                         [](int index) { return static_cast<std::uint32_t>(GetSysColor(index)); });
}

} // namespace tk

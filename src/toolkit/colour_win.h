// Colour values turned into the COLORREF of the running system.
#pragma once

#include "toolkit/colour.h"

#include <windows.h>

namespace tk {

// System colours are looked up with GetSysColor at the time of the call.
COLORREF toColorRef(std::uint32_t colour);

} // namespace tk

// The native font of a font object for a DPI.
#pragma once

#include "toolkit/font.h"

#include <windows.h>

namespace tk {

// Made on first use for each DPI and owned by the font object: the caller must not delete it,
// and must not keep it selected after the object is gone or its description changed.
HFONT fontHandle(const Font& font, int dpi);
// The same handle, kept alive by the returned owner even if the font object drops it.
std::shared_ptr<void> sharedFontHandle(const Font& font, int dpi);

} // namespace tk

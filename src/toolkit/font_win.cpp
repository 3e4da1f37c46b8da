#include "toolkit/font_win.h"

namespace tk {

std::shared_ptr<void> sharedFontHandle(const Font& font, int dpi) {
    if (auto cached = font.cachedHandle(dpi)) return cached;
    const FontDescription& d = font.description();
    HFONT made =
        CreateFontW(fontHeightForDpi(d.points, dpi), 0, 0, 0, d.weight, d.italic, d.underline,
                    d.strikethrough, d.charset, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                    DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, d.face.c_str());
    if (!made) return nullptr;
    std::shared_ptr<void> owner(made, [](void* h) { DeleteObject(static_cast<HGDIOBJ>(h)); });
    font.cacheHandle(dpi, owner);
    return owner;
}

HFONT fontHandle(const Font& font, int dpi) {
    return static_cast<HFONT>(sharedFontHandle(font, dpi).get());
}

} // namespace tk

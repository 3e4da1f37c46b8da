// The font object of the controls: a description (face, size in points, weight, style,
// character set) shared by std::shared_ptr between a control and whoever assigned it. The
// native font for a DPI is made on demand and kept by the object (font_win.h).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace tk {

struct FontDescription {
    std::wstring face = L"Tahoma";
    double points = 8.25;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool strikethrough = false;
    std::uint8_t charset = 0;

    bool operator==(const FontDescription&) const = default;
};

// Character height in pixels for a size in points at a DPI, as the negative number the
// platform takes for "character height, not cell height" (8.25 pt at 96 DPI: -11).
int fontHeightForDpi(double points, int dpi);

class Font {
  public:
    Font() = default;
    explicit Font(FontDescription description) : description_(std::move(description)) {}
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    const FontDescription& description() const noexcept { return description_; }

    // Native handles by DPI, owned here; filled by the Win32 side.
    std::shared_ptr<void> cachedHandle(int dpi) const;
    void cacheHandle(int dpi, std::shared_ptr<void> handle) const;

  private:
    FontDescription description_;
    mutable std::map<int, std::shared_ptr<void>> handles_;
};

using FontPtr = std::shared_ptr<Font>;

inline FontPtr makeFont(FontDescription description = {}) {
    return std::make_shared<Font>(std::move(description));
}

} // namespace tk

// The notification-area icon's picture: a filled tile with a glyph at every size the taskbar
// asks for, unlike the outlined globe of Windows' network icon.
#include "tray/trayicon.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

unsigned alpha(std::uint32_t argb) {
    return argb >> 24;
}

TEST(TrayIcon, AFilledTileWithAWhiteGlyphAtEverySizeAndTaskbar) {
    for (const int size : {16, 20, 24, 32})
        for (const bool light : {false, true}) {
            const auto pixels = tray::iconPixels(size, light);
            ASSERT_EQ(pixels.size(), static_cast<std::size_t>(size * size)) << size;
            const auto at = [&](int x, int y) { return pixels[y * size + x]; };
            const auto why = testing::Message() << size << (light ? " light" : " dark");
            // Rounded corners, but the middle of every edge is covered: a tile, not a disc.
            EXPECT_EQ(alpha(at(0, 0)), 0u) << why;
            EXPECT_EQ(alpha(at(size - 1, size - 1)), 0u) << why;
            for (const auto& [x, y] : {std::pair{size / 2, 0},
                                       {0, size / 2},
                                       {size / 2, size - 1},
                                       {size - 1, size / 2}})
                EXPECT_GT(alpha(at(x, y)), 128u) << why << " edge " << x << "," << y;
            // Filled, not an outline: most of the square is opaque.
            const auto opaque = std::count_if(pixels.begin(), pixels.end(),
                                              [](std::uint32_t p) { return alpha(p) == 255; });
            EXPECT_GT(opaque * 10, static_cast<long>(pixels.size()) * 7) << why;
            // The stem of the "K" is white from top to bottom of the glyph.
            const int stem = size * 31 / 100;
            for (int y = size * 3 / 10; y < size * 7 / 10; ++y)
                EXPECT_EQ(at(stem, y), 0xFFFFFFFFu) << why << " stem row " << y;
        }
    // The rim differs with the taskbar, so that the tile stands out from either.
    EXPECT_NE(tray::iconPixels(16, true)[8], tray::iconPixels(16, false)[8]);
}

} // namespace

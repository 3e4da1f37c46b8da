#include "toolkit/colour.h"
#include "toolkit/font.h"

#include <gtest/gtest.h>

namespace {

TEST(Colour, RgbPassesThroughSystemColoursAreLookedUpOthersAreInvalid) {
    // A stand-in system palette: index i has the value 0x000100 * i, so a lookup shows.
    auto palette = [](int index) { return 0x100u * static_cast<std::uint32_t>(index); };
    const struct {
        std::uint32_t colour, resolved; // 0 resolved: invalid
    } rows[] = {{0x00C00000u, 0x00C00000u}, {0x00FFFFFFu, 0x00FFFFFFu}, {0x8000000Fu, 0x0F00u},
                {0x80000012u, 0x1200u},     {0x8000001Eu, 0x1E00u},     {0x01000000u, 0u},
                {0x8000001Fu, 0u},          {0x80000112u, 0u}};
    for (const auto& row : rows) {
        EXPECT_EQ(tk::isValidColour(row.colour), row.resolved != 0) << std::hex << row.colour;
        EXPECT_EQ(tk::resolveColour(row.colour, palette), row.resolved) << std::hex << row.colour;
    }
}

TEST(Font, HeightFollowsPointsAndDpiAndDescriptionChangesDropCachedHandles) {
    EXPECT_EQ(tk::fontHeightForDpi(8.25, 96), -11);
    EXPECT_EQ(tk::fontHeightForDpi(9.75, 96), -13);
    EXPECT_EQ(tk::fontHeightForDpi(8.25, 144), -16);  // 16.5 rounds to even
    EXPECT_EQ(tk::fontHeightForDpi(21.75, 120), -36); // 36.25

    auto font = tk::makeFont();
    font->cacheHandle(96, std::make_shared<int>(1));
    EXPECT_NE(font->cachedHandle(96), nullptr);
    EXPECT_EQ(font->cachedHandle(120), nullptr);
}

} // namespace

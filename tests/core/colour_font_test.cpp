#include "toolkit/colour.h"
#include "toolkit/font.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A stand-in system palette: index i has the value 0x000100 * i, so a lookup is visible.
std::uint32_t palette(int index) {
    return 0x100u * static_cast<std::uint32_t>(index);
}

TEST(Colour, RgbValuesPassThroughAndSystemColoursAreLookedUp) {
    EXPECT_EQ(tk::resolveColour(0x00C00000u, palette), 0x00C00000u);
    EXPECT_EQ(tk::resolveColour(0x00000000u, palette), 0u);
    EXPECT_EQ(tk::resolveColour(tk::kColourButtonFace, palette), palette(15));
    EXPECT_EQ(tk::resolveColour(tk::kColourButtonShadow, palette), palette(16));
    EXPECT_EQ(tk::resolveColour(tk::kColourButtonText, palette), palette(18));
}

TEST(Colour, OnlyTheLowByteOfASystemColourIsItsIndex) {
    std::vector<int> asked;
    tk::resolveColour(0x80000005u, [&](int index) {
        asked.push_back(index);
        return 0u;
    });
    EXPECT_EQ(asked, std::vector<int>{5});
}

TEST(Colour, ValuesOutsideBothRangesAreInvalid) {
    EXPECT_TRUE(tk::isValidColour(0x00FFFFFFu));
    EXPECT_TRUE(tk::isValidColour(0x8000001Eu));
    EXPECT_FALSE(tk::isValidColour(0x01000000u));
    EXPECT_FALSE(tk::isValidColour(0x8000001Fu));
    EXPECT_FALSE(tk::isValidColour(0x80000112u));
    EXPECT_EQ(tk::resolveColour(0x01000000u, palette), 0u);
}

TEST(Font, HeightFollowsPointsAndDpiRoundingHalvesToEven) {
    EXPECT_EQ(tk::fontHeightForDpi(8.25, 96), -11);
    EXPECT_EQ(tk::fontHeightForDpi(9.75, 96), -13);
    EXPECT_EQ(tk::fontHeightForDpi(8.25, 144), -16);  // 16.5 rounds to 16
    EXPECT_EQ(tk::fontHeightForDpi(21.75, 120), -36); // 36.25
}

TEST(Font, ChangingTheDescriptionDropsCachedHandles) {
    auto font = tk::makeFont();
    EXPECT_EQ(font->description().face, L"Tahoma");
    font->cacheHandle(96, std::make_shared<int>(1));
    font->cacheHandle(144, std::make_shared<int>(2));
    EXPECT_EQ(font->cachedHandleCount(), 2u);
    EXPECT_NE(font->cachedHandle(96), nullptr);
    EXPECT_EQ(font->cachedHandle(120), nullptr);

    tk::FontDescription bold = font->description();
    bold.weight = 700;
    font->setDescription(bold);
    EXPECT_EQ(font->cachedHandleCount(), 0u);
    EXPECT_EQ(font->description().weight, 700);
}

} // namespace

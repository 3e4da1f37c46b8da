#include "toolkit/scale.h"

#include <gtest/gtest.h>

TEST(Scale, RoundsHalvesToEvenAndConvertsTwipsAtTheDpi) {
    const struct {
        double in;
        int out;
    } cases[] = {{0.5, 0},    {1.5, 2},   {2.5, 2},   {-0.5, 0},  {-1.5, -2}, {2.4999, 2},
                 {2.5001, 3}, {-2.6, -3}, {14.5, 14}, {15.5, 16}, {0.0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(tk::roundHalfEven(c.in), c.out) << c.in;
    EXPECT_EQ(tk::twipsToPixels(6090, 96), 406); // the main window's client area
    EXPECT_EQ(tk::twipsToPixels(6090, 144), 609);
    EXPECT_EQ(tk::twipsToPixels(3480, 192), 464);
    EXPECT_EQ(tk::twipsToPixels(195, 96), 13);
    // Where the division is not exact (120 DPI: twips / 12): nearest, halves to even.
    const struct {
        int twips, pixels;
    } at120[] = {{30, 2}, {90, 8}, {105, 9}, {810, 68}, {1035, 86}, {3830, 319}};
    for (const auto& c : at120)
        EXPECT_EQ(tk::twipsToPixels(c.twips, 120), c.pixels) << c.twips;
    EXPECT_EQ(tk::scaleFrom96(25, 144), 38); // 37.5 rounds to even
}

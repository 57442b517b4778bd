// The wizard's measures, font heights, gradient palette and colour requests.
#include <gtest/gtest.h>

#include <vector>

#include "ui/appearance.h"

namespace {
TEST(Appearance, MeasuresFollowTheScreenResolution) {
    EXPECT_EQ(stripeBottomWidth(96), 140);
    EXPECT_EQ(stripeTopWidth(96), 90);
    EXPECT_EQ(stripeBottomWidth(120), 175);
    EXPECT_EQ(stripeTopWidth(120), 112);
    EXPECT_EQ(fontHeight(8, 120), -13);
    EXPECT_EQ(fontHeight(12, 120), -20);
    EXPECT_EQ(fontHeight(10, 120), -17);
    EXPECT_EQ(fontHeight(8, 96), -11);
    EXPECT_EQ(fontHeight(12, 96), -16);
}

TEST(Appearance, GradientRunsFromTopToBottomThenAccentAndButtonFace) {
    const int steps = 200;
    std::vector<PaletteColor> palette(gradientPaletteSize(steps));
    ASSERT_EQ(palette.size(), 222u);
    COLORREF top = 0x00804040;  // red 0x40, green 0x40, blue 0x80
    fillGradientPalette(palette.data(), steps, top, 0, 0x00C88C00, 0x00C0C0C0);
    for (int i = 0; i < 20; ++i) EXPECT_EQ(palette[i].red | palette[i].green | palette[i].blue, 0) << i;
    EXPECT_EQ(palette[20].red, 0x40);
    EXPECT_EQ(palette[20].green, 0x40);
    EXPECT_EQ(palette[20].blue, 0x80);
    EXPECT_EQ(palette[219].red | palette[219].green | palette[219].blue, 0);
    EXPECT_EQ(palette[119].blue, 0x80 - 0x80 * 99 / 199);
    EXPECT_EQ(palette[220].red, 0x00);
    EXPECT_EQ(palette[220].green, 0x8C);
    EXPECT_EQ(palette[220].blue, 0xC8);
    EXPECT_EQ(palette[221].red, 0xC0);
    for (const PaletteColor& entry : palette) EXPECT_EQ(entry.flags, 0);
}

TEST(Appearance, RisingChannelsUseSignedDivision) {
    std::vector<PaletteColor> palette(gradientPaletteSize(3));
    fillGradientPalette(palette.data(), 3, 0x000000FF, 0x0000FF00, 0, 0);
    EXPECT_EQ(palette[21].red, 0xFF - 0xFF / 2);
    EXPECT_EQ(palette[21].green, 0xFF / 2);
    EXPECT_EQ(palette[22].red, 0);
    EXPECT_EQ(palette[22].green, 0xFF);
}

TEST(Appearance, SystemColourRequests) {
    EXPECT_EQ(resolveColor(0x02000000, 0x111111, 0x222222), 0x111111u);
    EXPECT_EQ(resolveColor(0x03000000, 0x111111, 0x222222), 0x111111u) << "the window bit wins";
    EXPECT_EQ(resolveColor(0x01000000, 0x111111, 0x222222), 0x222222u);
    EXPECT_EQ(resolveColor(0x00123456, 0x111111, 0x222222), 0x123456u);
}
}  // namespace

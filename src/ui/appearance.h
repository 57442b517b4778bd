// appearance.h -- the arithmetic behind the wizard's look: frame measures and font heights for
// the screen's resolution, the gradient palette, and colour values that ask for system colours.
#pragma once
#include "support/platform.h"

struct PaletteColor {
    BYTE red, green, blue, flags;
};

// Frame stripe widths for the screen's pixels per inch.
int stripeBottomWidth(int dpi);
int stripeTopWidth(int dpi);
// Logical font height (negative: character height) of a point size at dpi, rounded.
int fontHeight(int points, int dpi);
// Entries of the gradient palette: steps + 22. Entries 0..19 black, 20+j the gradient from top to
// bottom (RGB with red in the low byte), then the accent colour, then the button-face colour.
int gradientPaletteSize(int steps);
void fillGradientPalette(PaletteColor* entries, int steps, COLORREF top, COLORREF bottom, COLORREF accent,
                         COLORREF buttonFace);
// A colour value: 0x02000000 asks for the window colour, else 0x01000000 for the button face.
COLORREF resolveColor(COLORREF value, COLORREF windowColor, COLORREF buttonFaceColor);

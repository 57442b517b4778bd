// appearance.cpp -- measures, font heights, gradient palette and colour requests.
#include "ui/appearance.h"

#include "format/package_format.h"

int stripeBottomWidth(int dpi) { return dpi * 140 / 96; }

int stripeTopWidth(int dpi) { return dpi * 90 / 96; }

int fontHeight(int points, int dpi) { return -((points * dpi + 36) / 72); }

int gradientPaletteSize(int steps) { return steps + 22; }

static BYTE channel(COLORREF color, int shift) { return static_cast<BYTE>((color >> shift) & 0xFF); }

static PaletteColor paletteColor(COLORREF color) { return {channel(color, 0), channel(color, 8), channel(color, 16), 0}; }

// One channel of gradient step j: top + (bottom - top) * j / (steps - 1), signed division.
static BYTE gradientChannel(COLORREF top, COLORREF bottom, int shift, int j, int steps) {
    int from = channel(top, shift), to = channel(bottom, shift);
    int divisor = steps > 1 ? steps - 1 : 1;
    return static_cast<BYTE>(from + (to - from) * j / divisor);
}

void fillGradientPalette(PaletteColor* entries, int steps, COLORREF top, COLORREF bottom, COLORREF accent,
                         COLORREF buttonFace) {
    for (int i = 0; i < 20; ++i) entries[i] = {0, 0, 0, 0};
    for (int j = 0; j < steps; ++j)
        entries[20 + j] = {gradientChannel(top, bottom, 0, j, steps), gradientChannel(top, bottom, 8, j, steps),
                           gradientChannel(top, bottom, 16, j, steps), 0};
    entries[20 + steps] = paletteColor(accent);
    entries[21 + steps] = paletteColor(buttonFace);
}

COLORREF resolveColor(COLORREF value, COLORREF windowColor, COLORREF buttonFaceColor) {
    if (value & colorSystemWindow) return windowColor;
    if (value & colorSystemButtonFace) return buttonFaceColor;
    return value;
}

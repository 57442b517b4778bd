// page_painting.h -- the wizard's look: header band, body, footer and the accent stripe, painted
// by the pages (and the uninstaller window) and by the frame's footer.
#pragma once
#include "support/platform.h"

// Paints a page's background (header band, body, the uninstaller window's footer, stripe piece).
void paintPageBackground(HWND page, HDC dc);
// Paints the frame's footer band and the stripe's footer piece.
void paintFrameFooter(HWND frame, HDC dc);
// A colour value (system window / button-face requests) as the colour it stands for.
COLORREF systemColor(COLORREF value);
// Deletes and recreates the page, header and frame brushes (after a system colour change).
void recreateColorBrushes();
// The colour with each of red, green and blue multiplied by numerator and divided by denominator.
COLORREF scaledColor(COLORREF color, int numerator, int denominator);

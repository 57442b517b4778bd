// page_painting.cpp -- fills of the header band, body and footer, and the accent stripe drawn
// through the gradient palette.
#include "ui/page_painting.h"

#include "resources/ids.h"
#include "script/setup_state.h"
#include "ui/appearance.h"

COLORREF systemColor(COLORREF value) {
    return resolveColor(value, GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_BTNFACE));
}

static void replaceBrush(HBRUSH* brush, COLORREF value) {
    if (*brush) DeleteObject(*brush);
    *brush = CreateSolidBrush(systemColor(value));
}

void recreateColorBrushes() {
    replaceBrush(&state.pageBrush, state.pageColor);
    replaceBrush(&state.headerBrush, state.headerColor);
    replaceBrush(&state.frameBrush, state.frameColor);
}

COLORREF scaledColor(COLORREF color, int numerator, int denominator) {
    int red = GetRValue(color) * numerator / denominator;
    int green = GetGValue(color) * numerator / denominator;
    int blue = GetBValue(color) * numerator / denominator;
    return RGB(red & 0xFF, green & 0xFF, blue & 0xFF);
}

static void fill(HDC dc, int left, int top, int right, int bottom, HBRUSH brush) {
    RECT area = {left, top, right, bottom};
    FillRect(dc, &area, brush);
}

// One piece of the stripe: the accent polygon drawn through the realized gradient palette.
static void fillStripe(HDC dc, const POINT* points) {
    HPALETTE oldPalette = SelectPalette(dc, state.gradientPalette, FALSE);
    RealizePalette(dc);
    HGDIOBJ oldBrush = SelectObject(dc, state.accentBrush);
    HGDIOBJ oldPen = SelectObject(dc, state.accentPen);
    Polygon(dc, points, 4);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldBrush);
    SelectPalette(dc, oldPalette, FALSE);
}

static bool fullSizeSet() { return state.dialogIdBase == 0; }

void paintPageBackground(HWND page, HDC dc) {
    bool window = state.pageType == IDD_UNINSTALL_WINDOW;
    RECT client;
    GetClientRect(page, &client);
    int width = client.right - (window ? 0 : 3), height = client.bottom;
    int footer = window ? state.footerHeight : 0;
    fill(dc, 0, 0, width, state.headerHeight, state.headerBrush);
    bool headerBody = state.pageType == IDD_PAGE_WELCOME && state.welcomeHeaderFill;
    fill(dc, 0, state.headerHeight, width, height - footer, headerBody ? state.headerBrush : state.pageBrush);
    if (window) fill(dc, 0, height - state.footerHeight, width, height, state.frameBrush);
    if (fullSizeSet()) {
        int top = state.stripeTopWidth, bottom = state.stripeBottomWidth;
        int divisor = window ? height : height + state.footerHeight;
        if (divisor <= 0) divisor = 1;
        POINT points[4] = {{width - top, -1},
                           {width, -1},
                           {width, height},
                           {width - bottom + (bottom - top) * state.footerHeight / divisor + 1, height}};
        fillStripe(dc, points);
    }
    if (!window) InvalidateRect(GetDlgItem(GetParent(page), IDC_FOOTER_LABEL), nullptr, FALSE);
}

void paintFrameFooter(HWND frame, HDC dc) {
    RECT client;
    GetClientRect(frame, &client);
    int right = client.right, height = client.bottom, footer = state.footerHeight;
    fill(dc, 0, height - footer, right, height, state.frameBrush);
    if (!fullSizeSet() || height <= 0) return;
    int top = state.stripeTopWidth, bottom = state.stripeBottomWidth;
    POINT points[4] = {{right - bottom + (bottom - top) * footer / height + 1, height - footer},
                       {right - 1, height - footer},
                       {right - 1, height - 1},
                       {right - bottom, height - 1}};
    fillStripe(dc, points);
}

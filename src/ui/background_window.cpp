// background_window.cpp -- gradient, texts and the swallowed moves of the background window.
#include "ui/background_window.h"

#include "resources/ids.h"
#include "script/fields.h"
#include "script/setup_state.h"
#include "script/variables.h"
#include "support/heap.h"
#include "support/text_compare.h"

static const char className[] = "VelkorinBGWindow";

static void paintGradient(HWND window, HDC dc) {
    RECT client;
    GetClientRect(window, &client);
    HPALETTE old = SelectPalette(dc, state.gradientPalette, FALSE);
    RealizePalette(dc);
    int steps = state.gradientSteps > 0 ? state.gradientSteps : 1;
    for (int i = 0; i < steps; ++i) {
        HBRUSH band = CreateSolidBrush(PALETTEINDEX(i + 20));
        RECT area = {0, i * client.bottom / steps, client.right, (i + 1) * client.bottom / steps};
        FillRect(dc, &area, band);
        DeleteObject(band);
    }
    SelectPalette(dc, old, FALSE);
    UnrealizeObject(state.gradientPalette);
}

POINT placeBackgroundText(const TextPlacement& place, SIZE text, SIZE client, int* topStack, int* bottomStack) {
    POINT at;
    at.x = place.right ? client.cx - text.cx - place.distanceX : place.distanceX;
    if (place.bottom) {
        at.y = client.cy - text.cy - place.distanceY - *bottomStack;
        *bottomStack = client.cy - at.y;
    } else {
        at.y = place.distanceY + *topStack;
        *topStack = at.y + text.cy;
    }
    return at;
}

static int number(int index) { return toNumber(field(index)); }

static COLORREF specColor(int index) {
    DWORD n = static_cast<DWORD>(number(index));
    return RGB((n >> 16) & 0xFF, (n >> 8) & 0xFF, n & 0xFF);
}

static HFONT createTextFont() {
    int size = number(6) ? number(6) : 12, weight = number(8) ? number(8) * 100 : FW_NORMAL;
    const char* face = field(5)[0] ? field(5) : "Tahoma";
    return CreateFontA(-MulDiv(size, state.screenDpi, 72), number(7), 0, 0, weight, number(9) != 0, number(10) != 0,
                       FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, PROOF_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
}

// Draws one text specification; fieldList holds its fields.
static void drawText(HDC dc, SIZE client, int* topStack, int* bottomStack) {
    HFONT font = createTextFont();
    HGDIOBJ old = SelectObject(dc, font);
    const char* shown = field(0);
    RECT measure = {0, 0, 0, 0};
    DrawTextA(dc, shown, -1, &measure, DT_SINGLELINE | DT_NOPREFIX | DT_CALCRECT);
    TextPlacement place = {sameTextIgnoringCase(field(1), "right"), sameTextIgnoringCase(field(2), "bottom"), number(3),
                           number(4)};
    SIZE size = {measure.right, measure.bottom};
    POINT at = placeBackgroundText(place, size, client, topStack, bottomStack);
    int shadow = number(12);
    if (shadow) {
        RECT area = {at.x + shadow, at.y + shadow, at.x + shadow + size.cx, at.y + shadow + size.cy};
        SetTextColor(dc, specColor(13));
        DrawTextA(dc, shown, -1, &area, DT_SINGLELINE | DT_NOPREFIX);
    }
    RECT area = {at.x, at.y, at.x + size.cx, at.y + size.cy};
    SetTextColor(dc, specColor(11));
    DrawTextA(dc, shown, -1, &area, DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
}

static void paintTexts(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    state.screenDpi = GetDeviceCaps(dc, LOGPIXELSY);
    SetBkMode(dc, TRANSPARENT);
    RECT client;
    GetClientRect(window, &client);
    SIZE size = {client.right, client.bottom};
    int topStack = 0, bottomStack = 0;
    for (int i = 0; i < 2 && i < listCount(&state.backgroundTexts); ++i) {
        char* spec = expandVariables(listAt(&state.backgroundTexts, i));
        splitFields(spec ? spec : "", true);
        heapFree(spec);
        drawText(dc, size, &topStack, &bottomStack);
    }
    EndPaint(window, &paint);
}

static LRESULT CALLBACK backgroundProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ERASEBKGND: paintGradient(window, reinterpret_cast<HDC>(wParam)); return 1;
    case WM_PAINT: paintTexts(window); return 0;
    case WM_NCLBUTTONDOWN:
        if (wParam == HTCAPTION) return 0;
        break;
    case WM_NCLBUTTONDBLCLK: return 0;
    case WM_SYSCOMMAND:
        if (wParam == SC_MOVE) return 0;
        if (wParam == SC_CLOSE) {
            SendMessageA(state.frameDialog, WM_COMMAND, IDCANCEL, 0);
            return 0;
        }
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND createBackgroundWindow(HINSTANCE instance) {
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = backgroundProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP));
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    windowClass.lpszClassName = className;
    RegisterClassA(&windowClass);
    DWORD style = (state.backgroundCaption ? WS_CAPTION : WS_POPUP) | WS_SYSMENU | WS_MINIMIZEBOX;
    HWND window = CreateWindowExA(0, className, "", style, 0, 0, GetSystemMetrics(SM_CXSCREEN),
                                  GetSystemMetrics(SM_CYSCREEN), GetDesktopWindow(), nullptr, instance, nullptr);
    if (window) ShowWindow(window, SW_SHOWMAXIMIZED);
    return window;
}

// background_window.h -- the full-screen window behind the wizard: a vertical gradient through
// the palette and up to two lines of large text. It cannot be moved; closing it is Cancel.
#pragma once
#include "support/platform.h"

// Registers the class, creates the window maximized and returns it (null on failure).
HWND createBackgroundWindow(HINSTANCE instance);
// Where a text of size width x height lands: anchors and distances from a specification, the
// stack heights of the top and bottom edges updated (texts on one edge stack away from it).
struct TextPlacement {
    bool right, bottom;
    int distanceX, distanceY;
};
POINT placeBackgroundText(const TextPlacement& place, SIZE text, SIZE client, int* topStack, int* bottomStack);

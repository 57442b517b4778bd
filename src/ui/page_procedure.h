// page_procedure.h -- the one dialog procedure of every wizard page and of the uninstaller
// window: fonts, header measurement, texts in the current language, painting, text colours,
// Enter and Esc forwarding, and the values stored when a page closes.
#pragma once
#include "support/platform.h"

// Program message: reload every text of the page in the newly chosen language (lParam: slot).
constexpr UINT UM_RELOAD_TEXTS = WM_USER + 10;

// Dialog procedure of pages and of the uninstaller window; the creation parameter is the slot
// index (0..11 wizard pages, 12 the uninstaller window).
INT_PTR CALLBACK pageProcedure(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
// Loads the page's texts for the current language: background title, frame caption and button
// captions (wizard pages), and control 1000 + i from text i.
void loadPageTexts(HWND page, int slot);
// Sets a control's text to the expansion of a text (variables replaced); nothing for null text.
void setExpandedText(HWND window, const char* text);

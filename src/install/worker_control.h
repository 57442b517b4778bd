// worker_control.h -- what the install worker shares with the steps it runs: the check point
// where it obeys pause and cancel, the installing page's progress and labels (nothing in silent
// mode), and the per-item error questions.
#pragma once
#include "support/platform.h"

// Controls of the installing page that the worker updates.
constexpr int pageProgressBar = 1023;
constexpr int pageItemLabel = 1005;
constexpr int pageStepLabel = 1004;

// Waits while the wizard asks whether to cancel, then looks for the cancel request (WM_QUIT in
// the thread's queue). False when the installation is to be aborted; always true when silent.
bool workerCheckPoint();
// Sets a label of the installing page and repaints it cleanly; nothing without a page.
void setPageText(HWND page, int control, const char* text);
// Moves the installing page's progress bar to a percentage; nothing without a page.
void setProgress(HWND page, int percent);
// Asks error item `item` of the current language's error table, filled with up to three texts,
// caption setupCaption, owned by the page (none in silent mode). Returns the box's answer.
int askError(HWND page, int item, const char* arg1, const char* arg2 = nullptr, const char* arg3 = nullptr,
             UINT style = MB_YESNO | MB_ICONHAND);
// askError with Yes/No: true when the user chose to continue.
bool continueAfterError(HWND page, int item, const char* arg1, const char* arg2 = nullptr,
                        const char* arg3 = nullptr);

// dialog_watch.h -- for tests that open a modal box in this process: a thread that waits for the
// box, records its caption and texts, and answers it by pressing a control.
#pragma once
#include <windows.h>

#include <string>

struct DialogWatch {
    int answerId;            // control to press
    int textId;              // control whose text is recorded (0xFFFF: a message box's text)
    std::string caption;     // recorded
    std::string text;        // recorded
    HANDLE thread;
};

// EnumWindows callback: stores this process's first visible dialog in *(HWND*)found.
BOOL CALLBACK findOwnDialog(HWND window, LPARAM found);
// Starts watching for the next dialog of this process; call finishWatch after the box returned.
void startWatch(DialogWatch* watch, int answerId, int textId);
// Waits for the watcher; false when no dialog appeared within five seconds.
bool finishWatch(DialogWatch* watch);

// worker_check_point.cpp -- the install worker's check point, where it obeys pause and cancel.
// In a file of its own so that the check-point test build of the stub can link its own version
// in its place (tests/stub_variants) while every other piece of the worker stays the same.
#include "install/worker_control.h"

#include "script/setup_state.h"

bool workerCheckPoint() {
    // Nothing pauses or cancels a silent run: no window asks, no thread posts WM_QUIT. Skipping the
    // wait and the queue look saves two calls into the system per entry, which under Wine are two
    // round trips to its server for every file.
    if (state.silentMode) return true;
    WaitForSingleObject(state.resumeEvent, INFINITE);
    MSG message;
    return !PeekMessageA(&message, reinterpret_cast<HWND>(-1), WM_QUIT, WM_QUIT, PM_REMOVE);
}

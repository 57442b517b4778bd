// counted_check_point.cpp -- workerCheckPoint of the check-point test build of the stub
// (velkorin-checkpoints.exe), which takes the place of src/install/worker_check_point.cpp there.
// Never part of the shipped velkorin.exe.
//
// Every check point is numbered from 1 in the order the process reaches it. Two environment
// variables steer it:
//   VELKORIN_CHECKPOINT_STOP   a number N: check point N answers "stop", as a cancel would;
//   VELKORIN_CHECKPOINT_TALLY  a file to which each check point appends one line, "N" when it
//                              let the worker go on, "N stop" when it stopped it.
// Without them it behaves as the shipped check point: at once true in silent mode, else the wait
// for the wizard's cancel question and the look for the cancel request.
#include "install/worker_control.h"

#include "script/setup_state.h"

static LONG checkPointsReached;

static DWORD numberFromEnvironment(const char* name) {
    char value[16];
    DWORD length = GetEnvironmentVariableA(name, value, sizeof(value));
    if (length == 0 || length >= sizeof(value)) return 0;
    DWORD number = 0;
    for (const char* c = value; *c >= '0' && *c <= '9'; ++c) number = number * 10 + static_cast<DWORD>(*c - '0');
    return number;
}

static void appendTally(DWORD number, bool stopping) {
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("VELKORIN_CHECKPOINT_TALLY", path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char line[32];
    int size = wsprintfA(line, stopping ? "%lu stop\r\n" : "%lu\r\n", number);
    DWORD written;
    WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
}

bool workerCheckPoint() {
    DWORD number = static_cast<DWORD>(InterlockedIncrement(&checkPointsReached));
    bool stopping = number == numberFromEnvironment("VELKORIN_CHECKPOINT_STOP");
    appendTally(number, stopping);
    if (stopping) return false;
    if (state.silentMode) return true;
    WaitForSingleObject(state.resumeEvent, INFINITE);
    MSG message;
    return !PeekMessageA(&message, reinterpret_cast<HWND>(-1), WM_QUIT, WM_QUIT, PM_REMOVE);
}

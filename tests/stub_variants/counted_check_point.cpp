// counted_check_point.cpp -- workerCheckPoint of the check-point test build of the stub
// (velkorin-checkpoints.exe), which takes the place of src/install/worker_check_point.cpp there.
// Never part of the shipped velkorin.exe.
//
// Every check point is numbered from 1 in the order the process reaches it. Environment
// variables steer it:
//   VELKORIN_CHECKPOINT_STOP     a number N: check point N answers "stop", as a cancel would;
//   VELKORIN_CHECKPOINT_TALLY    a file to which each check point appends one line, "N" when it
//                                let the worker go on, "N stop" when it stopped it, "N hold"
//                                when it holds (below);
//   VELKORIN_CHECKPOINT_HOLD     a number N: check point N waits until the file named by
//   VELKORIN_CHECKPOINT_RELEASE  exists (a minute at the longest), then does what the shipped
//                                check point does: a test cancels the wizard while the worker
//                                is known to stand at that check point;
//   VELKORIN_CHECKPOINT_PACE     milliseconds every check point waits first: an installation
//                                that lasts long enough to be watched on any machine.
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

static void appendTally(DWORD number, const char* suffix) {
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("VELKORIN_CHECKPOINT_TALLY", path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    char line[32];
    int size = wsprintfA(line, "%lu%s\r\n", number, suffix);
    DWORD written;
    WriteFile(file, line, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
}

// Waits until the release file exists, a minute at the longest.
static void holdUntilReleased() {
    char path[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("VELKORIN_CHECKPOINT_RELEASE", path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return;
    for (int waited = 0; waited < 60000 && GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES; waited += 20) Sleep(20);
}

bool workerCheckPoint() {
    DWORD number = static_cast<DWORD>(InterlockedIncrement(&checkPointsReached));
    if (DWORD pace = numberFromEnvironment("VELKORIN_CHECKPOINT_PACE")) Sleep(pace);
    bool stopping = number == numberFromEnvironment("VELKORIN_CHECKPOINT_STOP");
    bool holding = number == numberFromEnvironment("VELKORIN_CHECKPOINT_HOLD");
    appendTally(number, stopping ? " stop" : holding ? " hold" : "");
    if (stopping) return false;
    if (holding) holdUntilReleased();
    if (state.silentMode) return true;
    WaitForSingleObject(state.resumeEvent, INFINITE);
    MSG message;
    return !PeekMessageA(&message, reinterpret_cast<HWND>(-1), WM_QUIT, WM_QUIT, PM_REMOVE);
}

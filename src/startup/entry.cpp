// entry.cpp -- the program's entry point: no C runtime, straight into the run.
#include "startup/run_modes.h"

extern "C" void WINAPI entryPoint() { ExitProcess(runProgram()); }

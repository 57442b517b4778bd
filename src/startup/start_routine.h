// start_routine.h -- the image's entry point. It lives in the start section beside the inflater
// and runs before the program's code and read-only data exist in memory.
#pragma once
#include <windows.h>

// Inflates the stored part into its pages, checks it, protects the pages and enters the program.
// A damaged stored part ends the run with "The installer file is damaged!" and exit code 2.
extern "C" void WINAPI startRoutine();

// run_modes.h -- the whole run: start-up, package check, the chosen mode, clean-up.
#pragma once
#include "support/platform.h"

// Exit codes of the program: what a script running a silent install needs to know.
constexpr DWORD exitSuccess = 0;        // installed, removed, or handed over to the second stage
constexpr DWORD exitCancelled = 1;      // the user cancelled
constexpr DWORD exitFailed = 2;         // damaged package, start-up failure, requirements, abort
constexpr DWORD exitRestartPending = 3010;  // success, but a restart is still needed

// Runs the program from the first start-up stage to the clean-up; returns the exit code.
DWORD runProgram();

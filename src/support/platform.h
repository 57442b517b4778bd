// platform.h -- the Win32 names the portable core uses. On Windows these are the system's own;
// the host build of the tests supplies a small stand-in with the same names.
#pragma once
#ifdef _WIN32
#include <windows.h>
#include <commctrl.h>
#else
#include "win32_standin.h"
#endif

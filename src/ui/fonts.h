// fonts.h -- questions about the system's fonts (Win32 only; the host tests use a double).
#pragma once
#include "support/platform.h"

// Whether a font family of that face (at most 31 characters) is installed for the screen.
bool fontInstalled(const char* face);

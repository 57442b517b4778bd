// records.h -- the script interpreter: turns each record of the setup script into configuration
// in SetupState.
#pragma once
#include "support/platform.h"

// Applies one record; record points to its length word, the payload follows. Unknown types and
// records too short for what they carry are ignored.
void applyRecord(DWORD type, const BYTE* record);

// records.h -- the script interpreter: turns each record of the setup script into configuration
// in SetupState.
#pragma once
#include "support/platform.h"

// Applies one record; record points to its length word, the payload follows. Unknown types are
// ignored; nothing is read past the record's length, and fields a short record does not reach
// keep their values.
void applyRecord(DWORD type, const BYTE* record);

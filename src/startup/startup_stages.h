// startup_stages.h -- the numbered preparations before the package is read, and their undoing.
#pragma once

// Runs one start-up stage 0..7; false when it failed (its message has been shown).
bool runStartupStage(int stage);
// Releases everything the stages and the script acquired, the private heap last.
void cleanUpStartup();

// system_doubles.h -- for the host build of the tests only: doubles of the Win32-only functions
// that the portable core calls (registry string read, installed-font test, user language), with
// hooks that let a test decide what the "system" answers.
#pragma once
#include "win32_standin.h"

// Stores a string value that readRegistryString finds: root number 0..6, key without a leading
// backslash, value name ("" for the default value). Keys and value names match in any case.
void doubleSetRegistryString(int root, const char* key, const char* valueName, const char* data);
// Declares a font family installed (faces match in any case).
void doubleInstallFont(const char* face);
// The user's default language identifier the system reports.
void doubleSetUserLanguage(WORD languageId);
// The text of the last start-up error shown (showStartupError), "" when none was.
const char* doubleLastStartupError();
// Forgets the last start-up error.
void doubleClearStartupError();
// Forgets every registry value and font; the user language becomes 0x0409 (English).
void doubleReset();

// user_language.h -- the system's default language of the user.
#pragma once
#include "support/platform.h"

// The user's default language identifier (its low byte is the primary language number).
WORD userDefaultLanguageId();

// user_language.cpp -- the user's default language, asked from the system.
#include "system/user_language.h"

WORD userDefaultLanguageId() { return GetUserDefaultLangID(); }

// text_compare.h -- the locale-aware text comparison that lists and lookups share.
#pragma once
#include "support/platform.h"

// <0, 0 or >0 by the system's locale comparison, with or without case.
int compareTexts(const char* a, const char* b, bool caseSensitive);
// The system's ANSI upper case of one character (CharUpperA), asked once per character value.
unsigned char upperCaseChar(char c);
// Equal under per-character ANSI upper-casing (the rule for names, tokens and keywords).
bool sameTextIgnoringCase(const char* a, const char* b);

// text_tools.h -- search and replace over zero-terminated ANSI texts. Case-insensitive means
// both characters upper-cased by the system's ANSI upper-casing, one character at a time.
#pragma once
#include "support/platform.h"
#include "support/string_list.h"

// ---- searching ----
// A length limit of wholeText searches the whole text; otherwise only its first limit characters.
constexpr int wholeText = -1;

// First occurrence of search lying wholly inside the limit, or null; an empty or null search
// finds nothing.
const char* findText(const char* text, const char* search, int limit, bool caseSensitive);
// First occurrence of the character inside the limit, or null.
const char* findChar(const char* text, char c, int limit, bool caseSensitive);
// Last occurrence of the character inside the limit, or null.
const char* findLastChar(const char* text, char c, int limit, bool caseSensitive);
// Start of the first delimiter when a second one follows inside the limit; *between receives a
// new text from the first delimiter through the end of the second. Null (and no copy) otherwise.
const char* extractBetween(const char* text, const char* delimiter, int limit, bool caseSensitive,
                           char** between);
// Whether any item of the list occurs in the text (case-sensitive).
bool containsAny(const char* text, const StringList* list);

// ---- rewriting ----
// New text with every occurrence of search replaced; inserted replacements are not searched
// again. A copy of the text when nothing matches; null when the heap is exhausted.
char* replaceAll(const char* text, const char* search, const char* replacement, bool caseSensitive);
// As replaceAll, on a heap text that is replaced only when something matched; false when the
// heap is exhausted (the text is then freed and null).
bool replaceAllIn(char** text, const char* search, const char* replacement, bool caseSensitive);
// Tokeniser with a remembered position: a non-empty text starts a new scan (the text is cut in
// place); null or an empty text continues. Returns the next piece, cut at the delimiter
// (case-sensitive), or null after the last piece.
char* nextToken(char* text, const char* delimiter);

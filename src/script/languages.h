// languages.h -- the offered languages and the per-language text tables: page texts, messages,
// errors and button captions, each one list per language number 0..97.
#pragma once
#include "support/platform.h"
#include "support/string_list.h"

// The list of a table (table byte 0..12 = page texts, tableMessages, tableErrors, tableButtons)
// for a language number; null for any other table byte or a language of 98 or more.
StringList* textTable(DWORD table, DWORD language);
// Item of the table in the current language (state.languageId); null when absent.
const char* text(DWORD table, int item);
// Record type 5 (language, table, item, text): stores the text; page texts after folder-token
// expansion. Records for tables or languages outside the tables are ignored.
void applyTextRecord(const BYTE* payload, DWORD length);
// Record type 6 (auto-select flag, language numbers): the offered languages and the start
// language: the user's language when offered and auto-selection is on, else the first listed.
// Numbers of 98 or more are skipped; without any valid number languageId is kept.
void applyLanguagesRecord(const BYTE* payload, DWORD length);
// The offered language at index 0..languageCount-1.
WORD offeredLanguage(int index);

// fields.h -- the comma field syntax of list records and install-log lines, and numbers in them.
#pragma once
#include "support/platform.h"

constexpr int fieldCount = 15;  // a split always yields this many fields

// Cuts text at commas into the 15 items of state.fieldList; fields the text does not reach are
// empty, anything behind the 15th comma is dropped. With quotedFirst, field 0 is the text between
// the first two double quotes (all fields empty without a quote) and the fields after it follow
// the next comma. A null text gives 15 empty fields. The list is rewritten on every split.
void splitFields(const char* text, bool quotedFirst);
// Field i of the last split ("" when absent; borrowed until the next split).
const char* field(int index);
// New text: the fields at the given indexes joined with commas; null when the heap is exhausted.
char* joinFields(const BYTE* indexes, int count);
// Decimal with optional "-", octal after "0", hexadecimal after "0x"/"0X"; no blanks skipped;
// anything else yields 0. Wraps in 32 bits.
int toNumber(const char* text);

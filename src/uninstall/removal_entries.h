// removal_entries.h -- the removal worker's decisions over the log's entry lines: the walk from
// the last line to the first, each line's kind and fields, its step text, and the list of
// leftover folders shown at the end.
#pragma once
#include "support/platform.h"
#include "support/string_list.h"

// Number of line feeds in [begin, end): the lines the worker undoes.
int countLogLines(const char* begin, const char* end);
// The last line of [begin, *end) that ends in a line feed, cut at it; *end moves to the line's
// start so that the next call yields the line before. Null when no line feed is left.
char* takeLastLine(char* begin, char** end);
// Splits an entry line: character 1 is the kind (returned), character 2 a separator, the rest
// comma fields into state.fieldList (all empty when the line is shorter).
char splitLogEntry(const char* line);
// Whether the entry just split (kind and state.fieldList) names only what an installation can
// have created: a path with a drive or a network share (a drive root is never one), a root number
// 0..6 written as one digit, a key that is not empty and does not end in a backslash. A damaged or
// hand-edited line is skipped rather than widened (an empty key would be the whole root).
bool entryIsSound(char kind);
// The step text shown for a kind "a".."h"; null for any other kind (skipped).
const char* removalStepText(char kind);
// Leftover folders as the tree shows them: only the outermost of nested folders (a later entry
// containing an earlier one's path and "\" goes, ignoring case), sorted by text ignoring case.
void prepareLeftoverPaths(StringList* paths);

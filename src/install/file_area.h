// file_area.h -- extracting the package's file area: each group's destination, its folders and
// its files, with the overwrite rules, files in use, and the install-log lines.
#pragma once
#include "support/platform.h"

// Walks the file area of the program's own file (state.selfFile, state.package): checks the whole
// table against the package bounds first, then creates and extracts every item, asking about each
// failure over page (none in silent mode). Obeys the worker's check point before every group and
// entry and moves the page's progress bar. True when the walk reached the end; false when it was
// aborted (a cancel, a "No", a damaged table), after which the worker rolls back.
bool extractFileArea(HWND page);

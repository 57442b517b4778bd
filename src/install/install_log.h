// install_log.h -- the install log: every change of the installation, one line each, so that the
// uninstaller (or the rollback) can undo them last to first. The lines of the run are collected in
// state.logLines; the temporary log on disk gets only what this run created.
#pragma once
#include "support/platform.h"

// Records the line "kind[,text]\n" unless an equal line (ignoring case) was recorded before, or
// skipSpecialFolders is set and text is one of the resolved special folders. Returns the new
// line (kept in state.logLines), or null when nothing was recorded.
const char* recordLogLine(const char* kind, const char* text, bool skipSpecialFolders);
// recordLogLine, and the new line written to logFile when write is set.
bool appendLogLine(HANDLE logFile, const char* kind, const char* text, bool write, bool skipSpecialFolders);
// Writes what waits of logFile's text: it is written in blocks, not line by line.
void flushLogFile(HANDLE logFile);
// flushLogFile, then closes the file.
void closeLogFile(HANDLE logFile);
// Writes the four header lines: title, product title, product name, and the look of the window.
void writeLogHeader(HANDLE logFile);
// The header's fourth line: dialog set, colours and fonts of the installer's look.
void formatLogLook(char* line);
// Writes every recorded line, in order, to a new file at path; false when it cannot be created.
bool writeFinalLog(const char* path);

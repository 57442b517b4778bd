// messages.h -- the message services every part of the program uses: formatted message boxes,
// the system's text for an error code, and the Yes / Yes To All / No question.
#pragma once
#include "support/platform.h"

// Answers of askQuestion.
constexpr int answerYes = 1;
constexpr int answerYesToAll = 2;
constexpr int answerNo = 3;

// A message box whose text is format filled with up to three texts (no argument, or a format
// with conversions other than %s or more of them than texts given: the format as it stands);
// returns the box's result.
int showMessage(HWND owner, const char* caption, const char* format, const char* arg1 = nullptr,
                const char* arg2 = nullptr, const char* arg3 = nullptr, UINT style = MB_OK);
// The system's text for an error code (ends with a line break), in one shared buffer; empty
// when the system has none.
const char* systemErrorText(DWORD code);
// Asks a question with Yes, Yes To All and No (dialog 200); answerYes, answerYesToAll or answerNo.
int askQuestion(HWND owner, const char* caption, const char* question);

// code_page.h -- converting the project's UTF-8 texts into the 8-bit ANSI code page of a language.
#pragma once
#include <string>

// Whether texts can be converted into this code page (932, 1250, 1251, 1252, 1254).
bool codePageSupported(int codePage);
// Converts UTF-8 text into the code page. On failure *what names the first character the code
// page cannot hold (or says that the text is not UTF-8) and *out is unspecified.
bool toCodePage(const std::string& utf8, int codePage, std::string* out, std::string* what);
// The UTF-8 text of ANSI text in a supported code page (unassigned bytes become U+FFFD).
std::string fromCodePage(const std::string& ansi, int codePage);

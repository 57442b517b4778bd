// toml_guard.h -- the one way the builder parses TOML: toml++ over a text that has been checked
// for the characters the parser must not be given.
//
// toml++ 3.3 tests a character for non-ASCII whitespace with a generated range table whose
// fall-through is marked unreachable: for most code points from U+00A1 to U+0499 (and a few
// ranges above) that test is undefined behaviour, and the optimised parser may then take any
// branch. The parser runs it on every character it meets outside a quoted text or comment (after
// a key, a value or a table header, and through a malformed value up to the next blank) and after
// a line-ending backslash in a multi-line basic text. TOML allows characters other than ASCII
// only inside quoted texts and comments, so the builder refuses a file with one anywhere else
// before toml++ sees it: it first parses a copy with each such character replaced by '@' (no
// character there can reach the table, and the copy parses only when every replaced character
// stood in a quoted text or comment), then scans for the backslash case. Control characters that
// TOML forbids everywhere are refused first. The only valid files refused are those with such a
// character in a quoted part of a dotted key inside an inline table, which the scan reads as bare.
#pragma once
#define TOML_EXCEPTIONS 0
#include <toml++/toml.h>

#include <cstddef>
#include <string>

// Where the first control character stands that TOML allows nowhere (all but the tab, the line
// feed and a carriage return before a line feed); text.size() when there is none.
size_t forbiddenTomlControlAt(const std::string& text);
// Where the first such control character stands, or else the first byte above 0x7F that lies
// outside every quoted text and comment, or directly after a backslash (and any blanks and line
// breaks behind it) in a multi-line basic text; text.size() when there is none. A UTF-8
// byte-order mark at the start is allowed.
size_t unsafeTomlCharacterAt(const std::string& text);
// toml::parse(text, path) once the checks above hold; otherwise a parse error at the line and
// column of the first character they refuse (or the copy's own error, which the text shares).
toml::parse_result parseTomlText(const std::string& text, const std::string& path);

// code_page_tables.h -- the character tables of the ANSI code pages (code_page_tables.cpp,
// written by scripts/code_page_tables.py).
#pragma once
#include <cstddef>
#include <cstdint>

// One character of a double-byte code page: its Unicode value and its bytes (one byte below
// 0x100, else lead byte << 8 | trail byte).
struct CodePagePair {
    uint16_t character;
    uint16_t code;
};

// Single-byte code pages: the character of each byte 0x80..0xFF (0 for a byte the page leaves
// undefined). Bytes below 0x80 are ASCII.
extern const uint16_t windows1250High[128];
extern const uint16_t windows1251High[128];
extern const uint16_t windows1252High[128];
extern const uint16_t windows1254High[128];
// Code page 932 (Japanese Shift-JIS), sorted by character; ASCII is not listed.
extern const CodePagePair windows932Pairs[];
extern const size_t windows932PairCount;

// win32_standin.h -- for the host build of the tests only: the few Win32 names the portable core
// uses, implemented over the C library. Behaviour follows the system's where the core relies on
// it (zero-filled heap blocks, validation of foreign pointers, pointer arrays growing with nulls).
#pragma once
#include <stddef.h>
#include <stdint.h>

typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef int BOOL;
typedef unsigned int UINT;
typedef intptr_t INT_PTR;
typedef uintptr_t UINT_PTR;
typedef intptr_t LPARAM;
typedef uintptr_t WPARAM;
typedef intptr_t LRESULT;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* HANDLE;
typedef void* HWND;
typedef void* HMODULE;
typedef struct StandinPointerArray* HDPA;
typedef int (*FARPROC)();
typedef DWORD LCID;
typedef DWORD COLORREF;
typedef void* HINSTANCE;
typedef void* HPALETTE;
typedef void* HFONT;
typedef void* HBRUSH;
typedef void* HPEN;
typedef void* HCURSOR;
typedef int32_t LONG;
typedef LONG* PLONG;
typedef DWORD* LPDWORD;
typedef void* LPVOID;
typedef struct StandinOverlapped* LPOVERLAPPED;
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

#define WINAPI
#define CALLBACK
#define TRUE 1
#define FALSE 0
#define HEAP_ZERO_MEMORY 0x00000008
#define LOCALE_USER_DEFAULT 0x0400
#define NORM_IGNORECASE 0x00000001
#define CSTR_LESS_THAN 1
#define CSTR_EQUAL 2
#define CSTR_GREATER_THAN 3
#define WM_USER 0x0400
#define PBM_SETPOS (WM_USER + 2)
#define PBM_GETPOS (WM_USER + 8)
#define FILE_BEGIN 0
#define INVALID_SET_FILE_POINTER ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define NO_ERROR 0
#define ERROR_INVALID_HANDLE 6
#define ERROR_NEGATIVE_SEEK 131

HANDLE HeapCreate(DWORD options, size_t initial, size_t maximum);
BOOL HeapDestroy(HANDLE heap);
void* HeapAlloc(HANDLE heap, DWORD flags, size_t size);
void* HeapReAlloc(HANDLE heap, DWORD flags, void* block, size_t size);
BOOL HeapFree(HANDLE heap, DWORD flags, void* block);
BOOL HeapValidate(HANDLE heap, DWORD flags, const void* block);
int CompareStringA(LCID locale, DWORD flags, LPCSTR a, int aLength, LPCSTR b, int bLength);
LPSTR CharUpperA(LPSTR textOrChar);
// The next and the previous character of an ANSI text in the stand-in's code page (a lead byte
// and the byte after it are one character in code page 932; every byte is one otherwise).
LPSTR CharNextA(LPCSTR c);
LPSTR CharPrevA(LPCSTR start, LPCSTR c);
LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int wsprintfA(LPSTR buffer, LPCSTR format, ...);
DWORD GetLastError(void);
void SetLastError(DWORD code);

// Files: only the in-memory files made by standinMemoryFile (no other handle reads anything).
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD method);
DWORD GetFileSize(HANDLE file, LPDWORD sizeHigh);

// Test hook: how many blocks the stand-in heap holds now.
size_t standinHeapBlockCount();
// Test hook: the ANSI code page CharNextA and CharPrevA follow: 932 (Shift-JIS) or single-byte
// (any other number; the start-up default).
void standinSetCodePage(UINT codePage);
// Test hook: make the next n allocations fail (0 = none).
void standinFailAllocations(int count);
// Test hook: a file handle over size bytes at data (not copied: they must outlive the handle),
// positioned at 0. Reads past the end come back short, as from a disk file.
HANDLE standinMemoryFile(const BYTE* data, DWORD size);
// Test hook: releases a handle made by standinMemoryFile.
void standinCloseMemoryFile(HANDLE file);

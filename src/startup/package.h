// package.h -- reading the package that the builder appends to the program image: the DOS-header
// fields, the whole-file checksum, the script inflater and the bounded record walk. Portable:
// reads go through a callback so that the same code runs on a file and on memory.
#pragma once
#include "format/package_format.h"
#include "support/platform.h"

struct DosFields {
    WORD packageOffset;
    DWORD scriptReadSize;
    DWORD fileChecksum;
};

// The two header fields that signing rewrites, as found in the file, and where the part of the
// file that the builder summed ends: the start of the certificate table, or the end of the file.
struct SigningFields {
    DWORD checkSumAt;   // file offset of the PE CheckSum field
    BYTE checkSum[4];
    DWORD securityAt;   // file offset of the security directory entry
    BYTE security[peSecurityEntrySize];
    DWORD packageEnd;
};

// Reads count bytes at the reader's current position; returns the number of bytes read.
typedef DWORD (*ChunkReader)(void* context, BYTE* buffer, DWORD count);

// The three builder fields of a 64-byte DOS header.
DosFields readDosFields(const BYTE* header);
// A little-endian u32.
DWORD readU32(const BYTE* p);
// Adler-32 of the file bytes from offset 40 to fileSize, read in blocks of checksumBlock bytes
// (a heap buffer; 512-byte reads when it cannot be had) from a reader positioned at offset 40.
// With signing fields also, in the same pass, the tolerant sum: bytes 40 to packageEnd with the
// two fields counted as zeros. False when a read comes back short.
bool computePackageChecksum(ChunkReader read, void* context, DWORD fileSize, DWORD* checksum,
                            const SigningFields* signing = nullptr, DWORD* tolerant = nullptr);
// The Adler-32 of length bytes with the count bytes at position (from the start of the summed
// bytes) counted as zeros instead of their values, from the sum over the bytes as they are.
DWORD adlerWithZeros(DWORD sum, DWORD length, DWORD position, const BYTE* bytes, DWORD count);
// Inflates one zlib stream (possibly ending in a sync flush with no trailer) into destination.
// Moves the progress bar by the consumed input as a percentage of progressTotal (0: no moves).
// Returns the bytes produced, or -1 when the inflater cannot be initialised.
int inflateBlock(const BYTE* source, DWORD sourceLength, BYTE* destination, DWORD destinationLength,
                 HWND progressBar, DWORD progressTotal);

// Called for each record with its type and a pointer to its length word (payload follows).
typedef void (*RecordHandler)(DWORD type, const BYTE* record);
// Walks the records of an inflated script until the terminator, handing each to apply. Never
// reads past size bytes: a record whose length runs past the end, or a missing terminator, ends
// the walk. Returns the number of records handed on.
DWORD walkScript(const BYTE* script, DWORD size, RecordHandler apply);

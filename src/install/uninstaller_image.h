// uninstaller_image.h -- the headers of the uninstaller copy: the program image without its
// package, so without anything that describes the package or a signature over it. Portable.
#pragma once
#include "support/platform.h"

// Room the headers of the copy need at most (DOS header, PE signature and header to the end of
// the security directory entry).
constexpr DWORD uninstallerHeaderRoom = 512;

// Writes into headers (uninstallerHeaderRoom bytes) the first bytes of the copy of image (size
// bytes): the package offset set to 0, the security directory entry cleared (the certificate
// table stays behind with the package) and the PE CheckSum of the copy. Returns how many bytes
// to write over the copy's start: 64 when the PE header lies out of reach (only the package
// offset is then cleared).
DWORD uninstallerHeaders(const BYTE* image, DWORD size, BYTE* headers);
// The PE CheckSum of size bytes whose first headerSize bytes are headers and the rest image;
// the four bytes at checkSumAt (even) are left out of the sum.
DWORD imageCheckSum(const BYTE* headers, DWORD headerSize, const BYTE* image, DWORD size, DWORD checkSumAt);

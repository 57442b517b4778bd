// uninstaller_image.cpp -- the uninstaller copy's headers and their PE CheckSum.
#include "install/uninstaller_image.h"

#include "format/package_format.h"
#include "startup/package.h"
#include "support/heap.h"

DWORD imageCheckSum(const BYTE* headers, DWORD headerSize, const BYTE* image, DWORD size, DWORD checkSumAt) {
    DWORD sum = 0;
    for (DWORD i = 0; i < size; i += 2) {
        if (i == checkSumAt || i == checkSumAt + 2) continue;
        DWORD low = i < headerSize ? headers[i] : image[i];
        DWORD high = i + 1 >= size ? 0 : i + 1 < headerSize ? headers[i + 1] : image[i + 1];
        sum += low | high << 8;
        sum = (sum & 0xFFFF) + (sum >> 16);  // the carry folds back into the 16-bit sum
    }
    return sum + size;
}

DWORD uninstallerHeaders(const BYTE* image, DWORD size, BYTE* headers) {
    DWORD pe = readU32(image + dosPeOffsetAt);
    DWORD span = pe + peSecurityEntryAt + peSecurityEntrySize;
    bool reachable = pe % 2 == 0 && pe < uninstallerHeaderRoom && span <= uninstallerHeaderRoom && span <= size;
    DWORD count = reachable ? span : dosHeaderSize;
    copyBytes(headers, image, count);
    headers[dosPackageOffsetAt] = headers[dosPackageOffsetAt + 1] = 0;
    if (!reachable) return count;
    for (DWORD i = 0; i < peSecurityEntrySize; ++i) headers[pe + peSecurityEntryAt + i] = 0;
    DWORD checkSum = imageCheckSum(headers, count, image, size, pe + peCheckSumAt);
    for (DWORD i = 0; i < 4; ++i) headers[pe + peCheckSumAt + i] = static_cast<BYTE>(checkSum >> (8 * i));
    return count;
}

// package_file.cpp -- verifyPackage over the program's own file.
#include "startup/package_file.h"

#include "script/records.h"
#include "script/setup_state.h"
#include "startup/package.h"
#include "support/heap.h"
#include "ui/message_box.h"

static DWORD readFromSelf(void* file, BYTE* buffer, DWORD count) {
    DWORD read = 0;
    if (!ReadFile(static_cast<HANDLE>(file), buffer, count, &read, nullptr)) return 0;
    return read;
}

static bool readAt(DWORD offset, void* buffer, DWORD count) {
    if (SetFilePointer(state.selfFile, static_cast<LONG>(offset), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return false;
    return readFromSelf(state.selfFile, static_cast<BYTE*>(buffer), count) == count;
}

// The signing fields of the image and where the package ends: at the certificate table that the
// security directory entry names, which must be aligned and run to the end of the file, or at the
// end of the file when there is none. False when the header leaves no room for the fields.
static bool readSigningFields(const BYTE* header, DWORD fileSize, SigningFields* fields) {
    DWORD pe = readU32(header + dosPeOffsetAt);
    if (pe > state.packageOffset || state.packageOffset - pe < peSecurityEntryAt + peSecurityEntrySize) return false;
    fields->checkSumAt = pe + peCheckSumAt;
    fields->securityAt = pe + peSecurityEntryAt;
    if (!readAt(fields->checkSumAt, fields->checkSum, sizeof(fields->checkSum)) ||
        !readAt(fields->securityAt, fields->security, sizeof(fields->security)))
        return false;
    DWORD tableAt = readU32(fields->security), tableSize = readU32(fields->security + 4);
    fields->packageEnd = fileSize;
    if (tableSize == 0) return true;
    if (tableAt % certificateAlignment || tableAt < state.packageOffset + sizeof(PackageHeader) ||
        tableAt > fileSize || fileSize - tableAt != tableSize)
        return false;
    fields->packageEnd = tableAt;
    return true;
}

// The sum over bytes 40..end as the builder has always written it, or else the tolerant sum of a
// file that was signed after it was built (or built with a valid PE CheckSum). Sets *packageEnd.
static bool checksumHolds(const BYTE* header, DWORD fileSize, DWORD* packageEnd) {
    SigningFields signing;
    bool signable = readSigningFields(header, fileSize, &signing);
    DWORD checksum = 0, tolerant = 0;
    SetFilePointer(state.selfFile, checksumStart, nullptr, FILE_BEGIN);
    if (!computePackageChecksum(readFromSelf, state.selfFile, fileSize, &checksum, signable ? &signing : nullptr,
                                &tolerant)) {
        showStartupError("Error verifying the file CRC.");
        return false;
    }
    *packageEnd = fileSize;
    if (checksum == state.fileChecksum) return true;
    if (signable && tolerant == state.fileChecksum) {
        *packageEnd = signing.packageEnd;
        return true;
    }
    showStartupError("The installer file is damaged!");
    return false;
}

// Reads and inflates the script. The checksum proves the bytes are the builder's, but a package
// header pointing outside the file (a damaged builder, a crafted file) must still not make the
// program read or allocate past the file: such a package counts as damaged.
// fileSize is where the package ends: a certificate table behind it is not read.
static bool loadScript(DWORD fileSize) {
    DWORD packageStart = state.packageOffset;
    if (fileSize < packageStart + sizeof(PackageHeader) || !readAt(packageStart, &state.package, sizeof(PackageHeader)))
        return false;
    DWORD scriptBlock = packageStart + state.package.scriptOffset;
    if (state.package.scriptOffset > fileSize || scriptBlock > fileSize - scriptSizeFieldSize) return false;
    DWORD expectedSize = 0;
    if (!readAt(scriptBlock, &expectedSize, scriptSizeFieldSize)) return false;

    DWORD available = fileSize - scriptBlock - scriptSizeFieldSize;  // the read stops at end of file
    DWORD readSize = state.scriptReadSize < available ? state.scriptReadSize : available;
    BYTE* compressed = static_cast<BYTE*>(heapAlloc(readSize + 1));
    state.script = static_cast<BYTE*>(heapAlloc(expectedSize + 1));
    if (!compressed || !state.script || readFromSelf(state.selfFile, compressed, readSize) != readSize) {
        heapFree(compressed);
        return false;
    }
    int produced = inflateBlock(compressed, readSize, state.script, expectedSize, nullptr, 0);
    heapFree(compressed);
    state.scriptSize = produced > 0 ? static_cast<DWORD>(produced) : 0;
    return true;
}

PackageResult verifyPackage() {
    BYTE header[dosHeaderSize];
    if (!readAt(0, header, dosHeaderSize)) {
        showStartupError("Error reading the module file header.");
        return packageFailed;
    }
    DosFields fields = readDosFields(header);
    state.packageOffset = fields.packageOffset;
    state.scriptReadSize = fields.scriptReadSize;
    state.fileChecksum = fields.fileChecksum;
    if (state.packageOffset == 0) return packageAbsent;

    DWORD fileSize = GetFileSize(state.selfFile, nullptr);
    if (fileSize == INVALID_FILE_SIZE) {
        showStartupError("Error retrieving the module file size.");
        return packageFailed;
    }
    DWORD packageEnd;
    if (!checksumHolds(header, fileSize, &packageEnd)) return packageFailed;
    if (!loadScript(packageEnd)) {
        showStartupError("The installer file is damaged!");
        return packageFailed;
    }
    state.recordsRead = walkScript(state.script, state.scriptSize, applyRecord);
    return packageLoaded;
}

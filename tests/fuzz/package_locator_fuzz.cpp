// Fuzzes the package locator over whole setup files held in memory: the DOS-header fields, the
// checksum with its signing tolerance, the package header, the script size and the inflater.
// The first input byte is not part of the file: when its low bit is set the file's checksum is
// recomputed over the changed bytes (as a crafted file would carry it), so that the checks behind
// the checksum are reached too. Whatever the file says, the locator reads no byte past its own
// buffers (AddressSanitizer watches), a refusal always shows a message, and an accepted package
// lies within the file with a script no larger than the size its header claims.
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "startup/package.h"
#include "startup/package_file.h"
#include "system_doubles.h"

namespace {

void writeChecksum(std::vector<BYTE>* file) {
    if (file->size() < dosHeaderSize) return;
    uLong sum = adler32(adler32(0, nullptr, 0), file->data() + checksumStart,
                        static_cast<uInt>(file->size() - checksumStart));
    for (int i = 0; i < 4; ++i) (*file)[dosFileChecksumAt + i] = static_cast<BYTE>(sum >> (8 * i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    prepareFuzzState();
    std::vector<BYTE> file(data + 1, data + size);
    if (data[0] & 1) writeChecksum(&file);
    doubleClearStartupError();
    state.selfFile = standinMemoryFile(file.data(), static_cast<DWORD>(file.size()));
    PackageResult result = verifyPackage();
    bool shown = *doubleLastStartupError() != 0;
    if (result == packageFailed && !shown) __builtin_trap();
    if (result != packageFailed && shown) __builtin_trap();
    if (result == packageAbsent && state.packageOffset != 0) __builtin_trap();
    if (result == packageLoaded) {
        if (state.packageOffset + sizeof(PackageHeader) > file.size()) __builtin_trap();
        if (state.scriptSize && !state.script) __builtin_trap();
        size_t scriptBlock = state.packageOffset + size_t{state.package.scriptOffset};
        if (scriptBlock + scriptSizeFieldSize > file.size()) __builtin_trap();
        if (state.scriptSize > readU32(file.data() + scriptBlock)) __builtin_trap();
    }
    standinCloseMemoryFile(state.selfFile);
    state.selfFile = INVALID_HANDLE_VALUE;
    releaseFuzzState();
    return 0;
}

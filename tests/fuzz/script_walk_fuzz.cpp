// Fuzzes the record walk and the interpreter over arbitrary script bytes: the walk must never
// read past the bytes it was given, whatever the lengths and terminator say.
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "script/records.h"
#include "startup/package.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    prepareFuzzState();
    // An exact-size copy so that AddressSanitizer sees any read past the end.
    std::vector<uint8_t> script(data, data + size);
    walkScript(script.data(), static_cast<DWORD>(script.size()), applyRecord);
    releaseFuzzState();
    return 0;
}

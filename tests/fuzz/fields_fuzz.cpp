// Fuzzes the field splitter in both modes, joining fields and the number parser over arbitrary
// texts: every split yields exactly 15 non-null fields, none longer than the text.
#include <cstring>
#include <string>

#include "fuzz_support.h"
#include "script/fields.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    prepareFuzzState();
    std::string text(reinterpret_cast<const char*>(data), size);  // cut at the first zero byte
    for (bool quotedFirst : {false, true}) {
        splitFields(text.c_str(), quotedFirst);
        if (listCount(&state.fieldList) != fieldCount) __builtin_trap();
        for (int i = 0; i < fieldCount; ++i) {
            const char* item = listAt(&state.fieldList, i);
            if (!item || std::strlen(item) > std::strlen(text.c_str())) __builtin_trap();
            (void)toNumber(item);
        }
        const BYTE order[] = {14, 0, 7, 3, 3};
        heapFree(joinFields(order, sizeof(order)));
    }
    (void)toNumber(text.c_str());
    releaseFuzzState();
    return 0;
}

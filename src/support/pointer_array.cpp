// pointer_array.cpp -- looks the DPA/DSA functions up by ordinal in the common-controls library.
#include "support/pointer_array.h"

PointerArrayFunctions pointerArray;
static HMODULE commonControls;

// Ordinals in the order of the fields of PointerArrayFunctions.
static const WORD pointerArrayOrdinals[] = {328, 340, 331, 329, 334, 335, 330, 332, 336, 337, 339,
                                            338, 333, 320, 321, 324, 325, 322, 323, 326, 327};
static_assert(sizeof(pointerArrayOrdinals) / sizeof(WORD) == sizeof(PointerArrayFunctions) / sizeof(FARPROC),
              "one ordinal per function");

bool loadPointerArrayFunctions() {
    // Already bound by the import of InitCommonControls; this only takes another reference.
    commonControls = LoadLibraryA("COMCTL32.DLL");
    if (!commonControls) return false;
    FARPROC* slots = reinterpret_cast<FARPROC*>(&pointerArray);
    for (WORD i = 0; i < sizeof(pointerArrayOrdinals) / sizeof(WORD); ++i) {
        slots[i] = GetProcAddress(commonControls, MAKEINTRESOURCEA(pointerArrayOrdinals[i]));
        if (!slots[i]) {
            unloadPointerArrayFunctions();
            return false;
        }
    }
    return true;
}

void unloadPointerArrayFunctions() {
    pointerArray = PointerArrayFunctions();
    if (commonControls) FreeLibrary(commonControls);
    commonControls = nullptr;
}

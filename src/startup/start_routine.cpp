// start_routine.cpp -- the image's first code: inflates the program's code and read-only data
// from the stored part into their reserved pages, checks them against the checksum stored at
// build time, makes the code pages executable and read-only, the data pages read-only, and
// enters the program.
//
// Nothing of the stored part exists yet while this runs: the linker script keeps this file, the
// memory helpers and zlib's inflater in the start section, and the code uses only functions that
// Windows 95's kernel32 and user32 already have. It never jumps into bytes it has not checked:
// the memory helpers and the inflater (the start section up to startUnchecked) are summed before
// they first run, and the names the loader bound the imports by before any import is called.
// While it works, from its first instruction on, a fault in its own (unchecked) code is reported
// as damage too.
#include "startup/start_routine.h"

#include <zlib.h>

#include "format/stored_image.h"

// Defined by the linker script (cmake/stub-layout.ld).
extern "C" {
extern BYTE storedCodeStart[], storedCodeEnd[], storedReadOnlyStart[], storedReadOnlyEnd[];
extern const BYTE storedPart[], startSection[], startUnchecked[], checkedDataStart[], checkedDataEnd[];
extern const BYTE __ImageBase[];  // the image's first byte: its DOS header
void WINAPI entryPoint();
}

static const DWORD exitDamaged = 2;  // the program's failure code

static voidpf startAlloc(voidpf, uInt items, uInt size) { return GlobalAlloc(GMEM_FIXED, items * size); }
static void startFree(voidpf, voidpf block) { GlobalFree(block); }

static const BYTE* imageBase() { return __ImageBase; }

static const IMAGE_OPTIONAL_HEADER32& optionalHeader() {
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(imageBase());
    return reinterpret_cast<const IMAGE_NT_HEADERS32*>(imageBase() + dos->e_lfanew)->OptionalHeader;
}

// The first address behind the loaded image (the stored stream must end before it).
static const BYTE* imageEnd() { return imageBase() + optionalHeader().SizeOfImage; }

// Whether the import table holds the names it was built with. It calls nothing, since a damaged
// name may have bound any import to something else.
static inline __attribute__((always_inline)) bool importsIntact() {
    const IMAGE_OPTIONAL_HEADER32& optional = optionalHeader();
    uint32_t sum;
    return importNamesSum(imageBase(), optional.SizeOfImage,
                          optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress, &sum) &&
           sum == reinterpret_cast<const StoredPartHeader*>(storedPart)->importChecksum;
}

// Checks the start section's checked bytes (the inflater and its tables) and the data section's
// initial bytes (nothing has written them yet; the program reads tables there before it looks at
// the package), then inflates the stored stream into .text .. .rdata; true when it filled them
// exactly and the inflated bytes match the stored checksum.
static inline __attribute__((always_inline)) bool inflateStoredPart() {
    const StoredPartHeader* header = reinterpret_cast<const StoredPartHeader*>(storedPart);
    if (storedSum(checkedDataStart, checkedDataEnd, storedSum(startSection, startUnchecked)) != header->startChecksum)
        return false;
    const BYTE* packed = storedPart + sizeof(StoredPartHeader);
    DWORD size = static_cast<DWORD>(storedReadOnlyEnd - storedCodeStart);
    if (header->inflatedSize != size || header->packedSize > static_cast<DWORD>(imageEnd() - packed)) return false;

    z_stream stream;
    BYTE* clear = reinterpret_cast<BYTE*>(&stream);
    for (DWORD i = 0; i < sizeof(stream); ++i) clear[i] = 0;
    stream.zalloc = startAlloc;
    stream.zfree = startFree;
    if (inflateInit2(&stream, storedWindowBits) != Z_OK) return false;
    stream.next_in = const_cast<BYTE*>(packed);
    stream.avail_in = header->packedSize;
    stream.next_out = storedCodeStart;
    stream.avail_out = size;
    int result = inflate(&stream, Z_FINISH);
    bool complete = result == Z_STREAM_END && stream.avail_out == 0 && stream.avail_in == 0;
    inflateEnd(&stream);
    return complete && storedSum(storedCodeStart, storedCodeStart + size) == header->checksum;
}

// Code pages become executable and read-only, the read-only data read-only. (Windows 95 wants a
// place for the old protection.)
static bool protectStoredPart() {
    DWORD previous;
    DWORD codeSize = static_cast<DWORD>(storedCodeEnd - storedCodeStart);
    if (!VirtualProtect(storedCodeStart, codeSize, PAGE_EXECUTE_READ, &previous)) return false;
    if (!VirtualProtect(storedReadOnlyStart, static_cast<DWORD>(storedReadOnlyEnd - storedReadOnlyStart),
                        PAGE_READONLY, &previous))
        return false;
    FlushInstructionCache(GetCurrentProcess(), storedCodeStart, codeSize);
    return true;
}

static void __attribute__((noreturn)) reportDamage() {
    MessageBoxA(nullptr, "The installer file is damaged!", "Velkorin", MB_OK | MB_ICONERROR);
    ExitProcess(exitDamaged);
}

// A fault while the start routine works can only come from a damaged byte of its own code. The
// report is a handler in the thread's chain of exception frames (fs:[0]), put there without a
// call, so that it covers the import check too: nothing is called before that check.
struct FaultFrame {
    FaultFrame* next;
    EXCEPTION_DISPOSITION(__cdecl* handler)(EXCEPTION_RECORD*, void*, CONTEXT*, void*);
};

static EXCEPTION_DISPOSITION __cdecl reportFaultAsDamage(EXCEPTION_RECORD* record, void*, CONTEXT*, void*) {
    if (record->ExceptionFlags & (EXCEPTION_UNWINDING | EXCEPTION_EXIT_UNWIND)) return ExceptionContinueSearch;
    reportDamage();
}

static inline __attribute__((always_inline)) FaultFrame* frameChain() {
    FaultFrame* head;
    __asm__ volatile("movl %%fs:0, %0" : "=r"(head));
    return head;
}

static inline __attribute__((always_inline)) void setFrameChain(FaultFrame* head) {
    __asm__ volatile("movl %0, %%fs:0" : : "r"(head) : "memory");
}

extern "C" void WINAPI startRoutine() {
    FaultFrame frame = {frameChain(), reportFaultAsDamage};
    setFrameChain(&frame);
    if (!importsIntact() || !inflateStoredPart() || !protectStoredPart()) reportDamage();
    setFrameChain(frame.next);
    entryPoint();
}

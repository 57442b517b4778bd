// Fuzzes the file-table reader over arbitrary package bytes (the first 12 are the package header):
// whatever the offsets, names and sizes say, the reader never reads past the bytes it is offered,
// every item it accepts lies within the file area, and every item moves the walk forward.
#include <cstdint>
#include <cstring>
#include <vector>

#include "install/file_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < sizeof(PackageHeader) + 1) return 0;
    // The last byte chooses how many bytes each read is offered (a narrow view of the package).
    DWORD offered = 16u << (data[size - 1] % 13);
    std::vector<BYTE> package(data, data + size - 1);
    PackageHeader header;
    std::memcpy(&header, package.data(), sizeof(header));
    TableCursor cursor;
    if (!startFileTable(&cursor, header, 0, static_cast<DWORD>(package.size()))) return 0;
    for (;;) {
        DWORD at = cursor.at;
        DWORD rest = static_cast<DWORD>(package.size()) - at;
        DWORD count = rest < offered ? rest : offered;
        // An exact-size window: AddressSanitizer reports any read past the bytes offered.
        std::vector<BYTE> window(package.begin() + at, package.begin() + at + count);
        TableItem item;
        DWORD kind = readTableItem(&cursor, window.data(), count, &item);
        if (kind == tableEnd || kind == tableDamaged) {
            if (cursor.at != at) __builtin_trap();
            break;
        }
        if (cursor.at <= at || cursor.at > cursor.areaEnd || cursor.areaEnd > package.size()) __builtin_trap();
        if (kind == tableFile && (item.dataAt < at || item.dataAt + item.file.storedSize != cursor.at)) __builtin_trap();
        if (item.text && std::strlen(item.text) >= count) __builtin_trap();
    }
    return 0;
}

// file_table.cpp -- the bounded reader of the package's file table.
#include "install/file_table.h"

#include "support/heap.h"
#include "system/paths.h"

// A deflate stream yields at most 1032 bytes per input byte: a larger extracted size is no
// stream the builder wrote.
constexpr unsigned long long maxInflateRatio = 1032;

bool startFileTable(TableCursor* cursor, const PackageHeader& header, DWORD packageStart, DWORD fileSize) {
    cursor->at = header.fileAreaOffset;
    cursor->areaEnd = header.scriptOffset;
    cursor->groupEnd = 0;
    cursor->folderLevels = 0;
    return header.fileAreaOffset >= sizeof(PackageHeader) && header.fileAreaOffset <= header.scriptOffset &&
           static_cast<unsigned long long>(packageStart) + header.scriptOffset <= fileSize;
}

// Length of the text at bytes when its terminator lies within limit bytes; -1 otherwise.
static int terminatedLength(const BYTE* bytes, DWORD limit) {
    for (DWORD i = 0; i < limit; ++i)
        if (!bytes[i]) return static_cast<int>(i);
    return -1;
}

// Upper-cases an ASCII letter; the device names below are plain ASCII.
static char asciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether the name, up to its first dot, is one of the system's device names (CON, PRN, AUX, NUL,
// COM0..COM9, LPT0..LPT9, CONIN$, CONOUT$, CLOCK$): such a name opens the device, not a file,
// whatever extension follows it and whatever blanks end the stem.
static bool isDeviceName(const char* name) {
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "COM#", "LPT#", "CONIN$", "CONOUT$", "CLOCK$"};
    DWORD stem = 0;
    while (name[stem] && name[stem] != '.') ++stem;
    while (stem && name[stem - 1] == ' ') --stem;
    for (const char* device : devices) {
        DWORD i = 0;
        for (; i < stem && device[i]; ++i) {
            char c = asciiUpper(name[i]);
            if (device[i] == '#' ? c < '0' || c > '9' : c != device[i]) break;
        }
        if (i == stem && !device[i]) return true;
    }
    return false;
}

// An entry's name is one path component that names a file of its own: not empty, not "." or
// "..", no separator, drive colon, wildcard, other character the file system refuses or control
// character, no final dot or blank (the system drops them, so two entries could meet in one
// file), and no device name.
static bool isPlainName(const char* name) {
    if (!name[0] || (name[0] == '.' && (!name[1] || (name[1] == '.' && !name[2])))) return false;
    const char* c = name;
    for (; *c; c = CharNextA(c)) {  // by characters: a second byte may be any of the refused ones
        BYTE b = static_cast<BYTE>(*c);
        if (b < 32 || lastOf("\\/:*?\"<>|", *c)) return false;  // a control or refused character
    }
    if (c[-1] == '.' || c[-1] == ' ') return false;
    return !isDeviceName(name);
}

static DWORD readGroup(TableCursor* cursor, const BYTE* bytes, DWORD limit, TableItem* item) {
    if (cursor->at == cursor->areaEnd) return item->kind = tableEnd;
    if (limit <= sizeof(FileGroupHeader)) return tableDamaged;
    copyBytes(&item->group, bytes, sizeof(FileGroupHeader));
    DWORD groupEnd = item->group.groupEnd;
    if (groupEnd > cursor->areaEnd || groupEnd < cursor->at || groupEnd - cursor->at <= sizeof(FileGroupHeader))
        return tableDamaged;
    DWORD reach = groupEnd - cursor->at < limit ? groupEnd - cursor->at : limit;
    int length = terminatedLength(bytes + sizeof(FileGroupHeader), reach - sizeof(FileGroupHeader));
    if (length < 0) return tableDamaged;
    item->text = reinterpret_cast<const char*>(bytes + sizeof(FileGroupHeader));
    cursor->at += sizeof(FileGroupHeader) + length + 1;
    cursor->groupEnd = groupEnd;
    cursor->folderLevels = 0;
    return item->kind = tableGroup;
}

static DWORD readEntry(TableCursor* cursor, const BYTE* bytes, DWORD limit, TableItem* item) {
    int length = terminatedLength(bytes, limit);
    if (length < 0) return tableDamaged;
    item->text = reinterpret_cast<const char*>(bytes);
    DWORD headAt = static_cast<DWORD>(length) + 1;
    if (!isPlainName(item->text) || limit - headAt < sizeof(FileEntryHead)) return tableDamaged;
    FileEntryHead head;
    copyBytes(&head, bytes + headAt, sizeof(head));
    if (head.depth > cursor->folderLevels) return tableDamaged;  // no folder of that level precedes it
    item->depth = head.depth;
    item->flags = head.flags;
    DWORD dataAt = headAt + sizeof(FileEntryHead);
    if (!(head.flags & fileEntryIsFile)) {
        cursor->at += dataAt;
        cursor->folderLevels = head.depth + 1;
        return item->kind = tableFolder;
    }
    if (limit - dataAt < sizeof(FileEntryData)) return tableDamaged;
    copyBytes(&item->file, bytes + dataAt, sizeof(FileEntryData));
    dataAt += sizeof(FileEntryData);
    DWORD stored = item->file.storedSize;
    if (stored > cursor->groupEnd - cursor->at - dataAt) return tableDamaged;
    if ((head.flags & fileEntryCompressed) && item->file.size > stored * maxInflateRatio) return tableDamaged;
    item->dataAt = cursor->at + dataAt;
    cursor->at = item->dataAt + stored;
    return item->kind = tableFile;
}

DWORD readTableItem(TableCursor* cursor, const BYTE* bytes, DWORD available, TableItem* item) {
    item->kind = tableDamaged;
    item->at = cursor->at;
    item->text = nullptr;
    if (cursor->groupEnd && cursor->at == cursor->groupEnd) cursor->groupEnd = 0;
    DWORD end = cursor->groupEnd ? cursor->groupEnd : cursor->areaEnd;
    DWORD limit = end - cursor->at < available ? end - cursor->at : available;
    if (!cursor->groupEnd) return readGroup(cursor, bytes, limit, item);
    return readEntry(cursor, bytes, limit, item);
}

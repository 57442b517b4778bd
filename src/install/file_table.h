// file_table.h -- reading the package's file table: groups with their folder and file entries,
// each checked against the bounds of the file area before anything of it is used. Portable: the
// caller hands over the package bytes at the cursor, however it keeps them in view.
#pragma once
#include "format/package_format.h"
#include "support/platform.h"

// Bytes a table header may span (fixed fields, name or destination, terminator). The caller
// offers at least this many bytes at the cursor, or all bytes up to the area's end; a name that
// needs more counts as damaged.
constexpr DWORD tableHeaderReach = 0x10000;

enum TableItemKind {
    tableGroup,    // a group header: destination and rules
    tableFolder,   // a folder entry
    tableFile,     // a file entry: its record and the position of its data
    tableEnd,      // the file area ends here
    tableDamaged,  // the bytes at the cursor break the table's rules; the walk must stop
};

// Where the walk stands. Offsets count from the package start.
struct TableCursor {
    DWORD at;            // the next item
    DWORD areaEnd;       // scriptOffset: the file area ends here
    DWORD groupEnd;      // after the current group; 0 between groups
    DWORD folderLevels;  // deepest entry level the next entry may name (0 at a group's start)
};

// One item of the table, as read. Texts point into the bytes the reader was given.
struct TableItem {
    DWORD kind;              // TableItemKind
    DWORD at;                // offset of the item
    const char* text;        // destination of a group, name of an entry
    FileGroupHeader group;   // a group's header
    DWORD depth;             // an entry's level
    BYTE flags;              // an entry's flags
    FileEntryData file;      // a file's record
    DWORD dataAt;            // offset of a file's data (file.storedSize bytes)
};

// Starts the walk over the file area of header, for a package that starts at packageStart in a
// file of fileSize bytes. False when the area does not lie within the package and the file.
bool startFileTable(TableCursor* cursor, const PackageHeader& header, DWORD packageStart, DWORD fileSize);
// Reads the item at cursor->at from bytes (the package's bytes from there on, available of them)
// and moves the cursor past it (a file: past its data). Returns the item's kind; after
// tableEnd or tableDamaged the cursor stays.
DWORD readTableItem(TableCursor* cursor, const BYTE* bytes, DWORD available, TableItem* item);

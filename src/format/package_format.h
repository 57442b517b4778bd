// package_format.h -- the on-disk layouts that the stub and the package builder share.
// Everything here is little-endian and byte-packed. Nothing else defines these numbers.
#pragma once
#include <stdint.h>

// ---- DOS header fields patched by the builder --------------------------------------------------
// The program reads the first 64 bytes as one block. The three fields lie below byte 40 and are
// therefore not covered by the checksum, which runs from byte 40 to the end of the file.
constexpr uint32_t dosHeaderSize = 64;
constexpr uint32_t dosPackageOffsetAt = 18;   // u16: file offset of the package; 0 = no package
constexpr uint32_t dosScriptReadSizeAt = 28;  // u32: bytes to read for the compressed script
constexpr uint32_t dosFileChecksumAt = 36;    // u32: Adler-32 of bytes checksumStart..end
constexpr uint32_t checksumStart = 40;
constexpr uint32_t checksumBlock = 0x40000;   // the stub sums the file in reads of this size
constexpr uint32_t checksumSmallBlock = 512;  // ... or of this one when no larger buffer is to be had
constexpr uint32_t maxStubSize = 65536;       // packageOffset is 16 bits: the image must be smaller

// ---- What signing changes -----------------------------------------------------------------------
// A signing tool rewrites two fields of the PE header and appends a certificate table that the
// security directory entry points to. The builder's checksum counts both fields as zeros and ends
// where the table starts, so that a signed file still proves its own bytes.
constexpr uint32_t dosPeOffsetAt = 0x3C;         // u32: file offset of the "PE\0\0" signature
constexpr uint32_t peCheckSumAt = 88;             // u32 CheckSum, from the signature (PE32)
constexpr uint32_t peSecurityEntryAt = 152;       // u32 file offset, u32 size of the certificate table
constexpr uint32_t peSecurityEntrySize = 8;
constexpr uint32_t certificateAlignment = 8;      // the table starts and ends on this boundary

// ---- Package header (at packageOffset) ---------------------------------------------------------
#pragma pack(push, 1)
struct PackageHeader {
    uint32_t fileAreaOffset;  // from the package start; the builder writes 12
    uint32_t scriptOffset;    // from the package start; the file area ends here
    uint32_t requiredSpace;   // bytes the installation needs on the target disk
};
#pragma pack(pop)
static_assert(sizeof(PackageHeader) == 12, "PackageHeader is 12 bytes");
// At package start + scriptOffset: u32 scriptSize (inflated size), then the zlib stream of the
// script to the end of the file. Every compressed stream ends with a sync flush (00 00 FF FF):
// no final block and no Adler-32 trailer.
constexpr uint32_t scriptSizeFieldSize = 4;

// ---- Script records ----------------------------------------------------------------------------
// u32 type, u32 length, then length payload bytes; the script ends with the type scriptEnd.
#pragma pack(push, 1)
struct RecordHeader {
    uint32_t type;
    uint32_t length;
};
#pragma pack(pop)
static_assert(sizeof(RecordHeader) == 8, "RecordHeader is 8 bytes");
constexpr uint32_t scriptEnd = 0xFFFFFFFFu;

enum RecordType : uint32_t {
    recordVariable = 1,        // text name (with its percent signs), text value
    recordPages = 2,           // 12 bytes: page i enabled when byte i is nonzero
    recordLicense = 3,         // text: licence (plain or rich text)
    recordReadme = 4,          // text: readme (plain or rich text)
    recordText = 5,            // u16 language, u8 table, u8 item, text
    recordLanguages = 6,       // u8 auto-select flag, then u16 language numbers
    recordBackground = 7,      // u32 top colour, u32 bottom colour (0xRRGGBB), u32 reserved
    recordAccentColor = 8,     // u32 colour (stored as is)
    recordProduct = 9,         // product names, fonts, colours, default path, finish offers, flags
    recordShortcut = 10,       // text: link path, target, ... (comma fields)
    recordRegistry = 11,       // text: root, key, value name, type, data
    recordIni = 12,            // text: INI file entry (comma fields)
    recordLaunch = 13,         // text: verb/program, file/args, folder, page, wait, once, window
    recordDllCall = 14,        // text: library, function, arg 1, arg 2, page, flag
    recordAssociation = 15,    // text: file association (comma fields)
    recordRequirements = 16,   // texts OS, DirectX, IE, Access, then u8 requireAdmin
    recordBackgroundText = 17, // text: "quoted text", then placement, font and colour fields
};
constexpr uint32_t firstRecordType = recordVariable;
constexpr uint32_t lastRecordType = recordBackgroundText;

constexpr uint32_t wizardPageCount = 12;  // pages 0..11; record 12 holds the uninstaller's texts
constexpr uint32_t pageRecordCount = 13;

// Type 9, flags A (after the header colour).
constexpr uint8_t productWelcomeHeaderFill = 0x01;
constexpr uint8_t productBackgroundCaption = 0x02;
// Type 9, flags B (after the finish readme).
constexpr uint8_t productCompactDialogs = 0x01;  // dialogIdBase 20 instead of 0
constexpr uint8_t productGroupChoice = 0x02;
constexpr uint8_t productDesktopChoice = 0x04;
constexpr uint8_t productQuickLaunchChoice = 0x08;
constexpr uint8_t productRestart = 0x10;         // rebootRequired and restartAtEnd
constexpr uint8_t productCreateUninstaller = 0x20;

// Colour values: these bits ask for a system colour instead of an RGB value.
constexpr uint32_t colorSystemWindow = 0x02000000u;
constexpr uint32_t colorSystemButtonFace = 0x01000000u;

// ---- Text tables (record type 5) ---------------------------------------------------------------
#pragma pack(push, 1)
struct TextRecordHead {
    uint16_t language;  // primary language number 0..97
    uint8_t table;      // 0..12 page texts, or one of the tables below
    uint8_t item;
};
#pragma pack(pop)
static_assert(sizeof(TextRecordHead) == 4, "TextRecordHead is 4 bytes");
constexpr uint8_t tableMessages = 0x60;
constexpr uint8_t tableErrors = 0x70;
constexpr uint8_t tableButtons = 0x80;
constexpr uint32_t languageSlots = 98;  // language numbers 0..97

// ---- File area ---------------------------------------------------------------------------------
#pragma pack(push, 1)
struct FileGroupHeader {
    uint32_t groupEnd;       // package offset of the first byte after this group
    uint32_t overwriteMode;  // OverwriteMode
    uint32_t compareBy;      // CompareBy
    uint32_t sharedGroup;    // nonzero: files carry a SharedDLLs reference count
    uint32_t reserved;       // written as 0
    // followed by the zero-terminated destination folder, then the entries
};
// A FileEntry starts with its zero-terminated name; this follows the terminator.
struct FileEntryHead {
    uint32_t depth;  // 0 = in the group's destination, k = inside the preceding folder of level k-1
    uint8_t flags;   // fileEntryIsFile, fileEntryCompressed
};
struct PackedFileTime {
    uint32_t low;
    uint32_t high;
};
// A file entry continues with this record (its first 36 bytes mirror WIN32_FIND_DATA's start).
struct FileEntryData {
    uint32_t attributes;
    PackedFileTime creationTime;
    PackedFileTime lastAccessTime;
    PackedFileTime lastWriteTime;  // compared by the overwrite decision
    uint32_t sizeHigh;             // not read by the stub
    uint32_t size;                 // extracted size
    uint32_t versionMs;            // 0 when the file has no version resource
    uint32_t versionLs;
    uint32_t storedSize;           // bytes of data that follow
};
#pragma pack(pop)
static_assert(sizeof(FileGroupHeader) == 20, "FileGroupHeader is 20 bytes");
static_assert(sizeof(FileEntryHead) == 5, "FileEntryHead is 5 bytes");
static_assert(sizeof(FileEntryData) == 48, "FileEntryData is 48 bytes");

constexpr uint8_t fileEntryIsFile = 0x01;
constexpr uint8_t fileEntryCompressed = 0x02;

enum OverwriteMode : uint32_t {
    overwriteAlways = 0,
    overwriteIfNewer = 1,
    overwriteIfNewerOrEqual = 2,
    overwriteIfOlder = 3,
    overwriteNever = 4,
};
enum CompareBy : uint32_t {
    compareByTime = 0,
    compareByVersion = 1,
    compareByVersionAndTime = 2,
};

// ---- Install log -------------------------------------------------------------------------------
// A text file, lines ending in a single line feed. Four header lines, then one entry a line:
// kind letter, comma, fields.
constexpr const char* installLogTitle = "=== Velkorin log file ===";
constexpr const char* installLogLookFormat = "%u,0x%X,0x%X,0x%X,0x%X,%s,0x%X,%s,0x%X";
constexpr char logFolder = 'a';    // folder path: removed when empty
constexpr char logFile = 'b';      // file path: deleted
constexpr char logValue = 'c';     // root, key, value name: value deleted
constexpr char logLaunch = 'd';    // six launch fields: run at removal
constexpr char logKey = 'e';       // root, key [, "1" = with subkeys]: key deleted
constexpr char logDllCall = 'f';   // five DLL-call fields: called at removal
constexpr char logShared = 'g';    // path: shared count lowered
constexpr char logLink = 'h';      // link path: deleted

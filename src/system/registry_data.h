// registry_data.h -- registry records of the setup script as texts: their fields, the key path
// and the value data they describe, encoded as the system stores it (portable, no system call).
// Texts and data are private heap copies that belong to the record.
#pragma once
#include "support/platform.h"

// Value types a registry record may name; every other type is skipped.
constexpr DWORD valueTypeString = 1;        // REG_SZ
constexpr DWORD valueTypeExpandString = 2;  // REG_EXPAND_SZ
constexpr DWORD valueTypeBinary = 3;        // REG_BINARY
constexpr DWORD valueTypeNumber = 4;        // REG_DWORD
constexpr DWORD valueTypeMultiString = 7;   // REG_MULTI_SZ

// One registry record, split and converted; the shell fills error and valueExisted.
struct RegistryRecord {
    int root;            // root number 0..6; the predefined key is 0x80000000 + root
    char* rootText;      // field 0 as written, repeated in the install log
    char* key;           // the key path, see registryKeyPath
    char* valueName;     // "" for the key's default value
    DWORD type;          // field 3; empty or 0 reads as valueTypeString
    BYTE* data;          // the encoded data
    DWORD size;          // bytes of data
    DWORD error;         // system error of the step that failed
    bool valueExisted;   // whether the value was there before it was set
};

enum RegistryRecordOutcome {
    registryRecordReady,     // read and converted, nothing written yet
    registryRecordSkipped,   // a value type that is not stored; nothing done
    registryRecordNoMemory,  // the heap is exhausted
    registryRecordWritten,   // key and value written
    registryKeyFailed,       // the key chain could not be created (error set)
    registryValueFailed,     // the value could not be set (error set)
};

// Whether a key path names a key below its root: not empty (leading backslashes aside) and not
// ending in a backslash, which would name the key above the one meant.
bool isUsableKeyPath(const char* key);
// Whether records of this value type are stored (1, 2, 3, 4 and 7).
bool isStoredValueType(DWORD type);
// The data of a text for a stored type: the text with its zero (1, 2); hex digit pairs up to the
// first non-hex character, a dangling digit giving its high nibble (3); a number, 4 bytes (4);
// the text with every "|" made a zero and one more zero at the end (7). New heap block, null when
// the heap is exhausted.
BYTE* encodeRegistryData(DWORD type, const char* text, DWORD* size);
// New text: key without its leading backslash and without one trailing backslash or slash.
char* registryKeyPath(const char* key);
// Expands the variables of a record text ("root,key,value name,type,data"), splits it and fills
// *record (zeroed first). The data is everything after the fourth comma, commas included.
// registryRecordReady, registryRecordSkipped or registryRecordNoMemory.
int readRegistryRecord(const char* text, RegistryRecord* record);
// Frees the texts and data of a record and zeroes it.
void freeRegistryRecord(RegistryRecord* record);

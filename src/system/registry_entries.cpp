// registry_entries.cpp -- registry values and file associations of the install worker.
#include "system/registry_entries.h"

#include <shlobj.h>

#include "script/fields.h"
#include "script/variables.h"
#include "support/heap.h"
#include "system/registry.h"
#include "system/registry_log.h"

int applyRegistryRecord(const char* text, RegistryRecord* record) {
    int outcome = readRegistryRecord(text, record);
    if (outcome == registryRecordSkipped) return outcome;
    if (outcome == registryRecordNoMemory) {
        record->error = ERROR_NOT_ENOUGH_MEMORY;
        return registryKeyFailed;
    }
    HKEY key;
    record->error = createRegistryKeyChain(rootKeyFromNumber(record->root), record->key,
                                           KEY_QUERY_VALUE | KEY_SET_VALUE, &key);
    if (record->error != ERROR_SUCCESS) return registryKeyFailed;
    record->valueExisted =
        RegQueryValueExA(key, record->valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    record->error = RegSetValueExA(key, record->valueName, 0, record->type, record->data, record->size);
    RegCloseKey(key);
    if (record->error != ERROR_SUCCESS) return registryValueFailed;
    recordRegistryValue(record->rootText, record->key, record->valueName, !record->valueExisted);
    return registryRecordWritten;
}

static bool classKeyExists(const char* key) {
    HKEY opened;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

// A value under HKEY_CLASSES_ROOT at key, or at key followed by subkey. In a key that was there
// before the association (logged false), the value and the key levels it needed are recorded as
// a registry record's are, so that the removal takes only what the installation added.
static bool writeClassString(const char* key, const char* subkey, const char* valueName, const char* text,
                             bool keyLogged, DWORD type = REG_SZ) {
    char* path = concatTexts(key, subkey);
    if (!path) return false;
    DWORD error;
    DWORD size = textLength(text) + 1;
    if (keyLogged) {
        error = writeRegistryValue(HKEY_CLASSES_ROOT, path, valueName, type, text, size);
    } else {
        HKEY opened;
        error = createRegistryKeyChain(HKEY_CLASSES_ROOT, path, KEY_QUERY_VALUE | KEY_SET_VALUE, &opened);
        if (error == ERROR_SUCCESS) {
            bool existed = RegQueryValueExA(opened, valueName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
            error = RegSetValueExA(opened, valueName, 0, type, reinterpret_cast<const BYTE*>(text), size);
            RegCloseKey(opened);
            if (error == ERROR_SUCCESS) recordRegistryValue("0", path, valueName, !existed);
        }
    }
    heapFree(path);
    return error == ERROR_SUCCESS;
}

// Steps 3 to 7 of an association: the texts of the extension and ProgID keys.
static bool writeAssociationTexts(const char* const fields[], int iconIndex, bool extensionNew, bool progIdNew) {
    const char* progId = fields[associationProgId];
    if (!writeClassString(fields[associationExtension], nullptr, "Content Type", fields[associationContentType],
                          extensionNew))
        return false;
    const char* description = fields[associationDescription];
    if (*description && !writeClassString(progId, nullptr, "", description, progIdNew)) return false;
    const char* infoTip = fields[associationInfoTip];
    if (*infoTip && !writeClassString(progId, nullptr, "InfoTip", infoTip, progIdNew, REG_EXPAND_SZ)) return false;
    const char* command = fields[associationOpenCommand];
    if (*command && !writeClassString(progId, "\\shell\\open\\command", "", command, progIdNew)) return false;
    const char* iconFile = fields[associationIconFile];
    if (!*iconFile) return true;
    char index[16];
    wsprintfA(index, ",%i", iconIndex);
    char* icon = concatTexts(iconFile, index);
    bool written = icon && writeClassString(progId, "\\DefaultIcon", "", icon, progIdNew);
    heapFree(icon);
    return written;
}

bool createAssociation(const char* const fields[associationFieldCount], int iconIndex) {
    const char* extension = fields[associationExtension];
    const char* progId = fields[associationProgId];
    // An empty name would make the root itself the key that the uninstaller deletes with all
    // its subkeys.
    if (!*extension || !*progId) return false;
    // Only keys this association creates are removed with their subkeys; a key that was there
    // (".txt" of the system) keeps everything but the values the association added.
    bool extensionNew = !classKeyExists(extension), progIdNew = !classKeyExists(progId);
    if (!writeClassString(extension, nullptr, "", progId, extensionNew)) return false;
    if (extensionNew) recordRegistryKey(0, extension, true, true);
    if (!writeAssociationTexts(fields, iconIndex, extensionNew, progIdNew)) return false;
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    if (progIdNew) recordRegistryKey(0, progId, true, true);
    return true;
}

bool applyAssociationRecord(const char* text) {
    char* expanded = expandVariables(text);
    if (!expanded) return false;
    splitFields(expanded, false);
    heapFree(expanded);
    const char* fields[associationFieldCount];
    for (int i = 0; i < associationFieldCount; ++i) fields[i] = field(i);
    return createAssociation(fields, toNumber(field(associationFieldCount)));
}

// registry_entries.h -- the install worker's registry values and file associations: one record
// text in, the system changed and its install-log lines recorded. The worker only loops over its
// lists and turns failures into its questions.
#pragma once
#include "support/platform.h"
#include "system/registry_data.h"

// Fields of an association record, in record order.
enum AssociationField {
    associationExtension,    // with its leading dot
    associationProgId,
    associationContentType,
    associationDescription,
    associationInfoTip,
    associationOpenCommand,
    associationIconFile,
    associationFieldCount,
};

// Applies one registry record text: expands its variables, splits and converts it, creates the
// key chain, notes whether the value existed, sets it and records its "c" line (written only for
// a new value). Returns a RegistryRecordOutcome; *record keeps the texts and the error for the
// worker's messages: free it with freeRegistryRecord.
int applyRegistryRecord(const char* text, RegistryRecord* record);
// Writes the extension and ProgID keys of an association under HKEY_CLASSES_ROOT and records
// both as whole key trees; false at the first write that fails (the extension's line stays) and
// when the extension or the ProgID is empty.
bool createAssociation(const char* const fields[associationFieldCount], int iconIndex);
// Expands the variables of an association record text, splits it and creates the association;
// after a failure field(associationExtension) names the extension for the worker's question.
bool applyAssociationRecord(const char* text);

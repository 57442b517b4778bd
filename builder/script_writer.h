// script_writer.h -- the setup script: typed records (u32 type, u32 length, payload) ended by the
// terminator, built from a project.
#pragma once
#include <cstdint>
#include <string>

#include "byte_buffer.h"
#include "project.h"

// Collects records in order; finish() appends the terminator.
class ScriptWriter {
public:
    // Appends one record with its payload.
    void record(uint32_t type, const Bytes& payload);
    // The script with its terminator; the writer is empty afterwards.
    Bytes finish();

private:
    Bytes bytes_;
};

// Payload of a variable definition (type 1).
Bytes variablePayload(const Variable& variable);
// Payload of the product record (type 9).
Bytes productPayload(const Project& project);
// Payload of the page switches (type 2): one byte per wizard page.
Bytes pagesPayload(const Project& project);
// Payload of the offered languages (type 6): auto-select flag, then the language numbers.
Bytes languagesPayload(const Project& project);
// Payload of one text (type 5): language, table byte, item, text.
Bytes textPayload(uint16_t language, const TextEntry& entry);
// Payload of the requirements (type 16): four texts, then the administrator flag.
Bytes requirementsPayload(const Requirements& requirements);

// The whole uncompressed script of a project.
Bytes buildScript(const Project& project);

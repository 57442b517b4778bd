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

// The whole uncompressed script of a project.
Bytes buildScript(const Project& project);

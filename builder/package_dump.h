// package_dump.h -- a readable account of a setup file: DOS fields, package header, script records,
// file table, and whether the checksum holds. Every read is bounded by the file's bytes.
#pragma once
#include <cstdint>
#include <string>

#include "byte_buffer.h"

enum class InspectResult {
    checksumOk,        // a package whose checksum holds
    checksumMismatch,  // a package whose checksum does not hold
    noPackage,         // package offset 0: an uninstaller image, nothing to check
    notSetupFile,      // shorter than a DOS header
};

// Describes the setup file's bytes into *report.
InspectResult inspectSetup(const Bytes& file, std::string* report);

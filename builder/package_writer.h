// package_writer.h -- a setup file: the stub image, then the package (header, file area, script),
// with the DOS-header fields and the checksum patched in.
#pragma once
#include <cstdint>
#include <string>

#include "byte_buffer.h"
#include "progress_line.h"
#include "project.h"
#include "setup_resources.h"
#include "signing.h"

struct BuildOptions {
    std::string stubPath;
    std::string outputPath;
    unsigned threads = 0;  // 0: all cores
    SigningOptions signing;
    uint64_t latestTime = 0;  // FILETIME ticks: later file times are written as this one (0: none)
    ProgressReport progress;  // called after each packaged file, when set
};

struct BuildSummary {
    uint32_t stubSize;
    uint32_t files, folders;
    uint32_t requiredSpace;
    uint32_t scriptSize, scriptStreamSize;
    uint64_t setupSize;
    ResourceReport resources;  // what went into the stub's resource section
};

// Reads and checks a stub image: at least a DOS header, "MZ", smaller than 64 KiB, not signed.
// Its PE CheckSum field is cleared: the builder writes the setup file's own.
bool loadStub(const std::string& path, Bytes* stub, std::string* err);
// The script of a project as the package stores it: u32 inflated size, then the zlib stream.
bool packScript(const Project& project, Bytes* block, uint32_t* scriptSize, std::string* err);
// Writes the setup file. Nothing is left at outputPath unless the whole file was written.
bool buildSetup(const Project& project, const BuildOptions& options, BuildSummary* summary, std::string* err);

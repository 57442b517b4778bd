// file_area.h -- the package's file area: one FileGroup per project group, each followed by its
// folder and file entries, file data stored raw or as a package zlib stream.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "output_file.h"
#include "project.h"

struct FileAreaResult {
    uint64_t requiredSpace;  // sum of the extracted sizes of all files
    uint32_t files, folders;
};

// Writes the file area of the project's groups at the end of out. Group ends are package offsets,
// so the package start (the file offset of the package header) is needed. Files are read in
// chunks and compressed on up to `threads` threads (0: all cores); the output does not depend
// on the number of threads.
bool writeFileArea(const Project& project, uint64_t packageStart, unsigned threads, OutputFile* out,
                   FileAreaResult* result, std::string* err);

// file_area.h -- the package's file area: one FileGroup per project group, each followed by its
// folder and file entries, file data stored raw or as a package zlib stream.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "output_file.h"
#include "progress_line.h"
#include "project.h"

struct FileAreaResult {
    uint64_t requiredSpace;  // sum of the extracted sizes of all files
    uint32_t files, folders;
};

struct FileAreaOptions {
    unsigned threads = 0;     // compression threads, 0: all cores
    uint64_t latestTime = 0;  // FILETIME ticks: a later file time is written as this one (0: none)
    ProgressReport progress;  // called after each file, when set
};

// Writes the file area of the project's groups at the end of out. Group ends are package offsets,
// so the package start (the file offset of the package header) is needed. Files are read in
// chunks and compressed on several threads; the output does not depend on the number of threads.
bool writeFileArea(const Project& project, uint64_t packageStart, const FileAreaOptions& options, OutputFile* out,
                   FileAreaResult* result, std::string* err);

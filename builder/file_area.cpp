// file_area.cpp -- lists the groups' source trees, reads every file's entry fields, has the
// compression queue compress the files on several threads and writes the entries in order.
#include "file_area.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "code_page.h"
#include "compression_queue.h"
#include "host_files.h"
#include "source_tree.h"
#include "version_resource.h"

namespace {

constexpr size_t readChunk = 1 << 16;

// One file ready to be written: its entry fields and, when compressed, its stream.
struct PreparedFile {
    FileEntryData data;
    bool store;         // by the group's rules: copied as it is
    bool compressed;    // the stream is written
    uint64_t size;
    Bytes stream;
    std::string err;
};

struct PlannedFile {
    const SourceEntry* entry;
    const FileGroupConfig* group;
    PreparedFile prepared;
    size_t job;  // in the compression queue, when not stored
};

uint32_t low32(uint64_t v) { return static_cast<uint32_t>(v); }
uint32_t high32(uint64_t v) { return static_cast<uint32_t>(v >> 32); }

// Everything of the entry but its data: times, attributes, size, version, and whether the group
// stores it.
void prepareEntry(const SourceEntry& entry, const FileGroupConfig& group, uint64_t latestTime, PreparedFile* out) {
    SourceFileInfo info;
    if (!readSourceFileInfo(entry.path, &info, &out->err)) return;
    if (latestTime) {
        for (uint64_t* time : {&info.creationTime, &info.lastAccessTime, &info.lastWriteTime})
            if (*time > latestTime) *time = latestTime;
    }
    if (info.size > 0xFFFFFFFFu) {
        out->err = entry.path + ": too large (a packaged file must be smaller than 4 GiB)";
        return;
    }
    FileEntryData& d = out->data;
    d = FileEntryData();
    d.attributes = info.attributes;
    d.creationTime = {low32(info.creationTime), high32(info.creationTime)};
    d.lastAccessTime = {low32(info.lastAccessTime), high32(info.lastAccessTime)};
    d.lastWriteTime = {low32(info.lastWriteTime), high32(info.lastWriteTime)};
    d.size = low32(info.size);
    out->size = info.size;
    PeVersion version{0, 0};
    if (readPeFileVersion(entry.path, &version)) d.versionMs = version.ms, d.versionLs = version.ls;
    out->store = group.compression == "store" || matchesAny(entry.relative, group.store);
    out->compressed = false;
    d.storedSize = d.size;
}

// Takes the file's stream from the queue; "auto" keeps it only when it is smaller than the file.
bool finishCompression(PlannedFile& file, CompressionQueue* queue, std::string* err) {
    PreparedFile& p = file.prepared;
    if (!queue->take(file.job, &p.stream, err)) return false;
    p.compressed = file.group->compression == "deflate" || p.stream.size() < p.size;
    if (!p.compressed) Bytes().swap(p.stream);
    if (p.compressed && p.stream.size() > 0xFFFFFFFFu)
        return *err = file.entry->path + ": compressed data too large", false;
    p.data.storedSize = p.compressed ? static_cast<uint32_t>(p.stream.size()) : p.data.size;
    return true;
}

// Copies a stored file's bytes; the size must still be what the entry says.
bool copyFile(const std::string& path, uint32_t size, OutputFile* out, std::string* err) {
    std::FILE* file = openHostFile(path, "rb");
    if (!file) return *err = path + ": cannot open (" + std::strerror(errno) + ")", false;
    uint8_t chunk[readChunk];
    uint64_t total = 0;
    size_t got;
    bool written = true;
    while (written && (got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        total += got;
        if (total > size) break;
        written = out->write(chunk, got, err);
    }
    bool readError = std::ferror(file);
    std::fclose(file);
    if (!written) return false;
    if (readError) return *err = path + ": cannot read", false;
    if (total != size) return *err = path + ": changed while the package was built", false;
    return true;
}

bool writeEntryHead(const SourceEntry& entry, uint8_t flags, OutputFile* out, std::string* err) {
    Bytes head;
    putText(&head, entry.name);
    putU32(&head, entry.depth);
    putU8(&head, flags);
    return out->write(head, err);
}

bool writeFile(PlannedFile& file, CompressionQueue* queue, OutputFile* out, std::string* err) {
    PreparedFile& p = file.prepared;
    if (!p.err.empty()) return *err = p.err, false;
    if (!p.store && !finishCompression(file, queue, err)) return false;
    uint8_t flags = fileEntryIsFile | (p.compressed ? fileEntryCompressed : 0);
    if (!writeEntryHead(*file.entry, flags, out, err) ||
        !out->write(reinterpret_cast<const uint8_t*>(&p.data), sizeof(p.data), err))
        return false;
    bool written = p.compressed ? out->write(p.stream, err) : copyFile(file.entry->path, p.data.size, out, err);
    Bytes().swap(p.stream);
    return written;
}

// The setup program creates the entries through the system's ANSI functions: their names go
// into the package in the project's code page (the host's names are UTF-8).
bool convertNames(std::vector<SourceEntry>* entries, int codePage, std::string* err) {
    for (SourceEntry& e : *entries) {
        std::string ansi, what;
        if (!toCodePage(e.name, codePage, &ansi, &what))
            return *err = e.path + ": the name cannot be written in the project's code page: " + what, false;
        e.name = ansi;
    }
    return true;
}

struct GroupPlan {
    const FileGroupConfig* group;
    std::vector<SourceEntry> entries;
};

bool writeGroupHead(const FileGroupConfig& g, OutputFile* out, std::string* err) {
    Bytes head;
    putU32(&head, 0);  // groupEnd, patched once the group's entries are written
    putU32(&head, g.overwriteMode);
    putU32(&head, g.compareBy);
    putU32(&head, g.shared ? 1 : 0);
    putU32(&head, 0);
    putText(&head, g.destination);
    return out->write(head, err);
}

}  // namespace

bool writeFileArea(const Project& project, uint64_t packageStart, const FileAreaOptions& options, OutputFile* out,
                   FileAreaResult* result, std::string* err) {
    std::vector<GroupPlan> plans;
    std::vector<PlannedFile> files;
    for (const FileGroupConfig& g : project.groups) {
        plans.push_back({&g, {}});
        if (!listSourceTree(g.source, g.exclude, &plans.back().entries, err)) return false;
        if (!convertNames(&plans.back().entries, project.codePage, err)) return false;
    }
    std::vector<CompressionJob> jobs;
    for (const GroupPlan& plan : plans)
        for (const SourceEntry& e : plan.entries) {
            if (!e.isFile) continue;
            files.push_back({&e, plan.group, {}, 0});
            PlannedFile& file = files.back();
            prepareEntry(e, *plan.group, options.latestTime, &file.prepared);
            if (!file.prepared.err.empty() || file.prepared.store) continue;
            file.job = jobs.size();
            jobs.push_back({e.path, file.prepared.size});
        }

    BuildProgress progress{0, static_cast<uint32_t>(files.size()), 0, 0};
    for (const PlannedFile& file : files) progress.bytes += file.prepared.size;
    unsigned threads = options.threads ? options.threads : std::max(1u, std::thread::hardware_concurrency());
    CompressionQueue queue(std::move(jobs), threads);
    *result = FileAreaResult{0, 0, 0};
    size_t nextFile = 0;
    for (const GroupPlan& plan : plans) {
        uint64_t groupStart = out->size();
        if (!writeGroupHead(*plan.group, out, err)) return false;
        for (const SourceEntry& e : plan.entries) {
            if (!e.isFile) {
                ++result->folders;
                if (!writeEntryHead(e, 0, out, err)) return false;
                continue;
            }
            PlannedFile& file = files[nextFile];
            if (!writeFile(file, &queue, out, err)) return false;
            result->requiredSpace += file.prepared.data.size;
            ++result->files;
            ++nextFile;
            ++progress.filesDone;
            progress.bytesDone += file.prepared.size;
            if (options.progress) options.progress(progress);
        }
        uint64_t groupEnd = out->size() - packageStart;
        if (groupEnd > 0xFFFFFFFFu) return *err = "the package is larger than 4 GiB", false;
        if (!out->patchU32(groupStart, static_cast<uint32_t>(groupEnd), err)) return false;
    }
    return true;
}

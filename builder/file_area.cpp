// file_area.cpp -- lists the groups' source trees, prepares file data in parallel batches and
// writes the entries in order.
#include "file_area.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

#include "deflate.h"
#include "source_tree.h"
#include "version_resource.h"

namespace {

constexpr size_t readChunk = 1 << 16;

// One file ready to be written: its entry fields and, when compressed, its stream.
struct PreparedFile {
    FileEntryData data;
    bool compressed;
    Bytes stream;
    std::string err;
};

struct PlannedFile {
    const SourceEntry* entry;
    const FileGroupConfig* group;
    PreparedFile prepared;
    bool ready;
};

uint32_t low32(uint64_t v) { return static_cast<uint32_t>(v); }
uint32_t high32(uint64_t v) { return static_cast<uint32_t>(v >> 32); }

// Reads the file in chunks into the deflater; false with *err on a read failure or a size change.
bool compressFile(const std::string& path, uint64_t size, Bytes* stream, std::string* err) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return *err = path + ": cannot open (" + std::strerror(errno) + ")", false;
    SyncDeflater deflater;
    uint8_t chunk[readChunk];
    uint64_t total = 0;
    size_t got;
    bool ok = true;
    while (ok && (got = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
        total += got;
        ok = deflater.feed(chunk, got);
    }
    ok = ok && !std::ferror(file) && deflater.finish(stream);
    std::fclose(file);
    if (!ok) return *err = path + ": cannot read or compress", false;
    if (total != size) return *err = path + ": changed while the package was built", false;
    return true;
}

void prepareFile(const SourceEntry& entry, const FileGroupConfig& group, PreparedFile* out) {
    SourceFileInfo info;
    if (!readSourceFileInfo(entry.path, &info, &out->err)) return;
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
    PeVersion version{0, 0};
    if (readPeFileVersion(entry.path, &version)) d.versionMs = version.ms, d.versionLs = version.ls;

    bool store = group.compression == "store" || matchesAny(entry.relative, group.store);
    out->compressed = false;
    if (!store) {
        if (!compressFile(entry.path, info.size, &out->stream, &out->err)) return;
        // "auto" keeps the stream only when it is smaller than the file itself.
        out->compressed = group.compression == "deflate" || out->stream.size() < info.size;
        if (!out->compressed) Bytes().swap(out->stream);
    }
    if (out->compressed && out->stream.size() > 0xFFFFFFFFu) {
        out->err = entry.path + ": compressed data too large";
        return;
    }
    d.storedSize = out->compressed ? static_cast<uint32_t>(out->stream.size()) : d.size;
}

// Prepares files[first..first+count) on up to `threads` threads.
void prepareBatch(std::vector<PlannedFile>* files, size_t first, size_t count, unsigned threads) {
    std::atomic<size_t> next{first};
    auto work = [&]() {
        for (size_t i; (i = next++) < first + count;) {
            prepareFile(*(*files)[i].entry, *(*files)[i].group, &(*files)[i].prepared);
            (*files)[i].ready = true;
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads && t < count; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
}

// Copies a stored file's bytes; the size must still be what the entry says.
bool copyFile(const std::string& path, uint32_t size, OutputFile* out, std::string* err) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
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

bool writeFile(PlannedFile& file, OutputFile* out, std::string* err) {
    PreparedFile& p = file.prepared;
    if (!p.err.empty()) return *err = p.err, false;
    uint8_t flags = fileEntryIsFile | (p.compressed ? fileEntryCompressed : 0);
    if (!writeEntryHead(*file.entry, flags, out, err) ||
        !out->write(reinterpret_cast<const uint8_t*>(&p.data), sizeof(p.data), err))
        return false;
    bool written = p.compressed ? out->write(p.stream, err) : copyFile(file.entry->path, p.data.size, out, err);
    Bytes().swap(p.stream);
    return written;
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

bool writeFileArea(const Project& project, uint64_t packageStart, unsigned threads, OutputFile* out,
                   FileAreaResult* result, std::string* err) {
    std::vector<GroupPlan> plans;
    std::vector<PlannedFile> files;
    for (const FileGroupConfig& g : project.groups) {
        plans.push_back({&g, {}});
        if (!listSourceTree(g.source, g.exclude, &plans.back().entries, err)) return false;
    }
    for (const GroupPlan& plan : plans)
        for (const SourceEntry& e : plan.entries)
            if (e.isFile) files.push_back({&e, plan.group, {}, false});

    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    const size_t batch = threads * 2;  // bounds the compressed data held at once
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
            if (!file.ready) prepareBatch(&files, nextFile, std::min(batch, files.size() - nextFile), threads);
            if (!writeFile(file, out, err)) return false;
            result->requiredSpace += file.prepared.data.size;
            ++result->files;
            ++nextFile;
        }
        uint64_t groupEnd = out->size() - packageStart;
        if (groupEnd > 0xFFFFFFFFu) return *err = "the package is larger than 4 GiB", false;
        if (!out->patchU32(groupStart, static_cast<uint32_t>(groupEnd), err)) return false;
    }
    return true;
}

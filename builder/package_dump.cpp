// package_dump.cpp -- decoding a setup file for people. Damaged parts are reported and skipped.
#include "package_dump.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "deflate.h"
#include "format/package_format.h"
#include "pe_fields.h"
#include "record_dump.h"
#include "resource_dump.h"

namespace {

constexpr size_t maxScriptSize = 256u << 20;  // refuses absurd sizes from a damaged header

// A FILETIME as "YYYY-MM-DD hh:mm:ss" UTC, computed here rather than by the C library, whose
// Windows version knows no time before 1970.
std::string fileTime(uint32_t low, uint32_t high) {
    uint64_t seconds = (static_cast<uint64_t>(high) << 32 | low) / 10000000u;
    int64_t days = static_cast<int64_t>(seconds / 86400) + 584694;  // counted from 0000-03-01
    uint32_t second = static_cast<uint32_t>(seconds % 86400);
    int64_t era = days / 146097;  // 400-year cycles; days is never negative here
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    int day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    int month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    long long year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    char out[48];
    std::snprintf(out, sizeof out, "%04lld-%02d-%02d %02u:%02u:%02u", year, month, day, second / 3600,
                  second / 60 % 60, second % 60);
    return out;
}

void describeScript(Report& r, const Bytes& file, uint64_t package, const PackageHeader& header) {
    uint64_t at = package + header.scriptOffset;
    if (at > file.size() || file.size() - at < scriptSizeFieldSize)
        return r.line("script: damaged: scriptOffset lies outside the file");
    uint32_t scriptSize = loadU32(file.data() + at);
    size_t streamSize = file.size() - at - scriptSizeFieldSize;
    r.line("script: scriptSize %u, stream %zu bytes", scriptSize, streamSize);
    Bytes script;
    size_t limit = scriptSize < maxScriptSize ? scriptSize : maxScriptSize;
    bool ok = inflateSync(file.data() + at + scriptSizeFieldSize, streamSize, limit, &script);
    if (!ok || script.size() != scriptSize)
        r.line("  damaged: the stream inflates to %zu bytes%s", script.size(), ok ? "" : " before an error");
    describeRecords(r, script);
}

void describeFileEntry(Report& r, ByteSpan* s, const std::string& name, uint32_t depth, uint8_t flags) {
    FileEntryData d;
    if (!s->has(sizeof(d))) return r.line("    damaged: file entry %s ends early", quoted(name).c_str()), void(s->at = s->size);
    std::memcpy(&d, s->data + s->at, sizeof(d));
    s->at += sizeof(d);
    r.line("    file depth %u %s: flags 0x%02X (%s), size %u, storedSize %u, version %u.%u.%u.%u, attributes 0x%X",
           depth, quoted(name).c_str(), flags, (flags & fileEntryCompressed) ? "compressed" : "stored", d.size,
           d.storedSize, d.versionMs >> 16, d.versionMs & 0xFFFF, d.versionLs >> 16, d.versionLs & 0xFFFF,
           d.attributes);
    r.line("      created %s, accessed %s, written %s", fileTime(d.creationTime.low, d.creationTime.high).c_str(),
           fileTime(d.lastAccessTime.low, d.lastAccessTime.high).c_str(),
           fileTime(d.lastWriteTime.low, d.lastWriteTime.high).c_str());
    if (!s->has(d.storedSize)) return r.line("    damaged: data runs past the group's end"), void(s->at = s->size);
    s->at += d.storedSize;
}

// One group from `at` (a file offset) to its end, which must lie inside the file area.
uint64_t describeGroup(Report& r, const Bytes& file, uint64_t package, uint64_t at, uint64_t areaEnd, int index) {
    FileGroupHeader g;
    if (areaEnd - at < sizeof(g)) return r.line("  damaged: group %d header ends early", index), areaEnd;
    std::memcpy(&g, file.data() + at, sizeof(g));
    uint64_t end = package + g.groupEnd;
    if (end <= at || end > areaEnd) return r.line("  damaged: group %d ends at %u, outside the file area", index, g.groupEnd), areaEnd;
    ByteSpan s{file.data(), static_cast<size_t>(end), static_cast<size_t>(at + sizeof(g))};
    std::string destination;
    if (!s.text(&destination)) return r.line("  damaged: group %d destination", index), end;
    r.line("  group %d: destination %s, overwriteMode %u, compareBy %u, sharedGroup %u, groupEnd %u", index,
           quoted(destination).c_str(), g.overwriteMode, g.compareBy, g.sharedGroup, g.groupEnd);
    while (s.at < s.size) {
        std::string name;
        uint32_t depth;
        uint8_t flags;
        if (!s.text(&name) || !s.u32(&depth) || !s.u8(&flags)) return r.line("    damaged: entry ends early"), end;
        if (flags & fileEntryIsFile) describeFileEntry(r, &s, name, depth, flags);
        else r.line("    folder depth %u %s", depth, quoted(name).c_str());
    }
    return end;
}

void describeFileTable(Report& r, const Bytes& file, uint64_t package, const PackageHeader& h) {
    uint64_t at = package + h.fileAreaOffset, end = package + h.scriptOffset;
    if (h.scriptOffset < h.fileAreaOffset || end > file.size())
        return r.line("file table: damaged: offsets %u..%u lie outside the file", h.fileAreaOffset, h.scriptOffset);
    r.line("file table: %llu bytes", static_cast<unsigned long long>(end - at));
    for (int index = 0; at < end; ++index) at = describeGroup(r, file, package, at, end, index);
}

}  // namespace

InspectResult inspectSetup(const Bytes& file, std::string* report) {
    Report r{report};
    r.line("setup file: %zu bytes", file.size());
    if (file.size() < dosHeaderSize) return r.line("damaged: shorter than a DOS header"), InspectResult::notSetupFile;
    uint32_t packageOffset = file[dosPackageOffsetAt] | (file[dosPackageOffsetAt + 1] << 8);
    uint32_t readSize = loadU32(file.data() + dosScriptReadSizeAt), stored = loadU32(file.data() + dosFileChecksumAt);
    r.line("DOS fields: packageOffset %u, scriptReadSize %u, fileChecksum 0x%08X", packageOffset, readSize, stored);
    if (packageOffset == 0) {
        r.line("no package attached (an uninstaller image)");
        describeResources(r, file);
        return InspectResult::noPackage;
    }
    describeResources(r, file);
    if (packageOffset <= file.size() && file.size() - packageOffset >= sizeof(PackageHeader)) {
        PackageHeader h;
        std::memcpy(&h, file.data() + packageOffset, sizeof(h));
        r.line("package header: fileAreaOffset %u, scriptOffset %u, requiredSpace %u (%u Kb)", h.fileAreaOffset,
               h.scriptOffset, h.requiredSpace, h.requiredSpace >> 10);
        describeScript(r, file, packageOffset, h);
        describeFileTable(r, file, packageOffset, h);
    } else {
        r.line("package header: damaged: packageOffset lies outside the file");
    }
    uLong computed = adler32(0, nullptr, 0);
    if (file.size() > checksumStart)
        computed = adler32_z(computed, file.data() + checksumStart, file.size() - checksumStart);
    if (computed == stored) return r.line("checksum: ok"), InspectResult::checksumOk;
    SigningLayout layout;
    std::string why;
    if (!signingLayoutOf(file.data(), std::min<size_t>(file.size(), packageOffset), file.size(), packageOffset,
                         &layout, &why)) {
        r.line("signature: refused: %s", why.c_str());
    } else {
        uint32_t peSum = peCheckSumOf(file, layout.checkSumAt), peStored = loadU32(file.data() + layout.checkSumAt);
        r.line("PE CheckSum: 0x%08X (%s)", peStored, peSum == peStored ? "valid" : "wrong");
        if (layout.tableSize)
            r.line("signature: certificate table at %u, %u bytes, right behind the package", layout.tableAt,
                   layout.tableSize);
        uint32_t tolerant = tolerantChecksum(file, layout);
        if (tolerant == stored)
            return r.line("checksum: ok (bytes 40..%llu, PE CheckSum and security entry as zeros)",
                          static_cast<unsigned long long>(layout.packageEnd)), InspectResult::checksumOk;
        r.line("checksum: MISMATCH (stored 0x%08X, computed 0x%08X, as signed 0x%08X)", stored,
               static_cast<uint32_t>(computed), tolerant);
        return InspectResult::checksumMismatch;
    }
    r.line("checksum: MISMATCH (stored 0x%08X, computed 0x%08X)", stored, static_cast<uint32_t>(computed));
    return InspectResult::checksumMismatch;
}

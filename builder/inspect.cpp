// inspect.cpp -- decoding a setup file for people. Damaged parts are reported and skipped.
#include "inspect.h"

#include <zlib.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "deflate.h"
#include "format/package_format.h"

namespace {

constexpr size_t maxScriptSize = 256u << 20;  // refuses absurd sizes from a damaged header
constexpr size_t summaryBytes = 48;

struct Report {
    std::string* text;
    void line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char buffer[1024];
        va_list args;
        va_start(args, format);
        std::vsnprintf(buffer, sizeof(buffer), format, args);
        va_end(args);
        *text += buffer;
        *text += '\n';
    }
};

const char* recordName(uint32_t type) {
    static const char* const names[] = {"variable", "pages", "license", "readme", "text", "languages",
                                        "background", "accent colour", "product", "shortcut", "registry",
                                        "INI entry", "launch", "DLL call", "association", "requirements",
                                        "background text"};
    return type >= firstRecordType && type <= lastRecordType ? names[type - firstRecordType] : "unknown";
}

const char* pageName(uint32_t index) {
    static const char* const names[] = {"language", "welcome", "license", "readme", "(4)", "(5)",
                                        "destination", "(7)", "start_menu", "ready", "installing", "finish"};
    return index < wizardPageCount ? names[index] : "?";
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') out += static_cast<char>(c);
        else {
            char esc[8];
            std::snprintf(esc, sizeof(esc), "\\x%02X", c);
            out += esc;
        }
    }
    return out + "\"";
}

// A short hex and text view of a payload's first bytes.
std::string summary(const uint8_t* data, size_t size) {
    std::string hex, text;
    for (size_t i = 0; i < size && i < summaryBytes; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof(byte), "%02X ", data[i]);
        hex += byte;
        text += data[i] >= 0x20 && data[i] < 0x7F ? static_cast<char>(data[i]) : '.';
    }
    return hex + "|" + text + "|" + (size > summaryBytes ? " ..." : "");
}

std::string fileTime(uint32_t low, uint32_t high) {
    uint64_t ticks = static_cast<uint64_t>(high) << 32 | low;
    int64_t seconds = static_cast<int64_t>(ticks / 10000000u) - 11644473600;
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm parts;
    char out[40];
    if (!gmtime_r(&t, &parts) || !std::strftime(out, sizeof(out), "%Y-%m-%d %H:%M:%S", &parts)) return "?";
    return out;
}

void describeVariable(Report& r, ByteSpan p) {
    std::string name, value;
    if (!p.text(&name) || !p.text(&value)) return r.line("    damaged: texts without terminator");
    r.line("    %s = %s", quoted(name).c_str(), quoted(value).c_str());
}

void describePages(Report& r, ByteSpan p) {
    std::string on;
    for (uint32_t i = 0; i < wizardPageCount && i < p.size; ++i)
        if (p.data[i]) on += std::string(on.empty() ? "" : ", ") + pageName(i);
    if (p.size < wizardPageCount) r.line("    damaged: %zu bytes, 12 expected", p.size);
    r.line("    enabled: %s", on.empty() ? "(none)" : on.c_str());
}

void describeProduct(Report& r, ByteSpan p) {
    std::string name, title, textFont, titleFont, source, program, readme;
    uint32_t page, frame, header;
    uint8_t flagsA, flagsB, hideLink;
    if (!p.text(&name) || !p.text(&title) || !p.text(&textFont) || !p.u32(&page) || !p.u32(&frame) ||
        !p.text(&titleFont) || !p.u32(&header) || !p.u8(&flagsA) || !p.text(&source) || !p.text(&program) ||
        !p.text(&readme) || !p.u8(&flagsB) || !p.u8(&hideLink))
        return r.line("    damaged: record ends early");
    r.line("    productName %s", quoted(name).c_str());
    r.line("    productTitle %s", quoted(title).c_str());
    r.line("    textFont %s, pageColor 0x%08X, frameColor 0x%08X", quoted(textFont).c_str(), page, frame);
    r.line("    titleFont %s, headerColor 0x%08X", quoted(titleFont).c_str(), header);
    r.line("    flagsA 0x%02X (welcomeHeaderFill %d, backgroundCaption %d)", flagsA,
           (flagsA & productWelcomeHeaderFill) != 0, (flagsA & productBackgroundCaption) != 0);
    r.line("    defaultPathSource %s", quoted(source).c_str());
    r.line("    finishProgram %s, finishReadme %s", quoted(program).c_str(), quoted(readme).c_str());
    r.line("    flagsB 0x%02X (compact %d, groupChoice %d, desktopChoice %d, quickLaunchChoice %d, restart %d, "
           "createUninstaller %d), hideMakerLink %u",
           flagsB, (flagsB & productCompactDialogs) != 0, (flagsB & productGroupChoice) != 0,
           (flagsB & productDesktopChoice) != 0, (flagsB & productQuickLaunchChoice) != 0,
           (flagsB & productRestart) != 0, (flagsB & productCreateUninstaller) != 0, hideLink);
}

void describeRecords(Report& r, const Bytes& script) {
    ByteSpan walk{script.data(), script.size(), 0};
    uint32_t count = 0, type, length;
    for (;;) {
        size_t at = walk.at;
        if (!walk.u32(&type)) return r.line("  damaged: no terminator after %u records", count);
        if (type == scriptEnd) return r.line("  end of script at %zu (%u records)", at, count);
        if (!walk.u32(&length) || !walk.has(length))
            return r.line("  damaged: record at %zu (type %u) runs past the script's end", at, type);
        ByteSpan payload{script.data() + walk.at, length, 0};
        r.line("  record %u at %zu: type %u %s, length %u", count++, at, type, recordName(type), length);
        switch (type) {
        case recordVariable: describeVariable(r, payload); break;
        case recordPages: describePages(r, payload); break;
        case recordProduct: describeProduct(r, payload); break;
        default: r.line("    %s", summary(payload.data, length).c_str()); break;
        }
        walk.at += length;
    }
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
    if (packageOffset == 0) return r.line("no package attached (an uninstaller image)"), InspectResult::noPackage;
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
    r.line("checksum: MISMATCH (stored 0x%08X, computed 0x%08X)", stored, static_cast<uint32_t>(computed));
    return InspectResult::checksumMismatch;
}

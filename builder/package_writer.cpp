// package_writer.cpp -- assembles the setup file in a temporary file, patches the fields that
// point into it, and renames it into place.
#include "package_writer.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "deflate.h"
#include "file_area.h"
#include "output_file.h"
#include "script_writer.h"

bool loadStub(const std::string& path, Bytes* stub, std::string* err) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return *err = path + ": cannot open the stub (" + std::strerror(errno) + ")", false;
    stub->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) return *err = path + ": cannot read the stub", false;
    if (stub->size() >= maxStubSize)
        return *err = path + ": the stub is " + std::to_string(stub->size()) +
                      " bytes; it must be smaller than 65536 bytes, since the package offset is 16 bits", false;
    if (stub->size() < dosHeaderSize || (*stub)[0] != 'M' || (*stub)[1] != 'Z')
        return *err = path + ": not a program image (no DOS header)", false;
    return true;
}

bool packScript(const Project& project, Bytes* block, uint32_t* scriptSize, std::string* err) {
    Bytes script = buildScript(project);
    Bytes stream;
    if (!deflateSync(script.data(), script.size(), &stream)) return *err = "cannot compress the script", false;
    *scriptSize = static_cast<uint32_t>(script.size());
    block->clear();
    putU32(block, *scriptSize);
    block->insert(block->end(), stream.begin(), stream.end());
    return true;
}

// Writes the DOS-header fields, then the checksum over bytes 40..end last of all.
static bool patchDosFields(OutputFile* out, uint16_t packageOffset, uint32_t scriptReadSize, std::string* err) {
    uint8_t offset[2] = {static_cast<uint8_t>(packageOffset), static_cast<uint8_t>(packageOffset >> 8)};
    uint32_t checksum;
    return out->patch(dosPackageOffsetAt, offset, 2, err) && out->patchU32(dosScriptReadSizeAt, scriptReadSize, err) &&
           out->checksumFrom(checksumStart, &checksum, err) && out->patchU32(dosFileChecksumAt, checksum, err);
}

bool buildSetup(const Project& project, const BuildOptions& options, BuildSummary* summary, std::string* err) {
    Bytes stub, script;
    uint32_t scriptSize;
    if (!loadStub(options.stubPath, &stub, err) || !packScript(project, &script, &scriptSize, err)) return false;
    OutputFile out;
    if (!out.open(options.outputPath, err) || !out.write(stub, err)) return false;
    const uint64_t packageStart = stub.size();
    Bytes header;
    putU32(&header, sizeof(PackageHeader));  // the file area follows the header directly
    putU32(&header, 0);                      // scriptOffset and requiredSpace, patched below
    putU32(&header, 0);
    FileAreaResult area;
    if (!out.write(header, err) || !writeFileArea(project, packageStart, options.threads, &out, &area, err))
        return false;
    uint64_t scriptOffset = out.size() - packageStart;
    if (scriptOffset + script.size() > 0xFFFFFFFFu) return *err = "the package is larger than 4 GiB", false;
    uint32_t requiredSpace = area.requiredSpace > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(area.requiredSpace);
    uint32_t streamSize = static_cast<uint32_t>(script.size() - scriptSizeFieldSize);
    // The stub reads this many bytes for the stream; the end of the file cuts the read short.
    uint32_t scriptReadSize = scriptSize > streamSize ? scriptSize : streamSize;
    if (!out.write(script, err) || !out.patchU32(packageStart + 4, static_cast<uint32_t>(scriptOffset), err) ||
        !out.patchU32(packageStart + 8, requiredSpace, err) ||
        !patchDosFields(&out, static_cast<uint16_t>(packageStart), scriptReadSize, err))
        return false;
    *summary = BuildSummary{static_cast<uint32_t>(stub.size()), area.files, area.folders, requiredSpace,
                            scriptSize, streamSize, out.size()};
    return out.commit(err);
}

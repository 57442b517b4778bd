// package_writer.cpp -- assembles the setup file in a temporary file, patches the fields that
// point into it, and renames it into place.
#include "package_writer.h"

#include <cerrno>
#include <cstring>
#include <cstdio>

#include "deflate.h"
#include "file_area.h"
#include "host_files.h"
#include "output_file.h"
#include "pe_fields.h"
#include "script_writer.h"

bool loadStub(const std::string& path, Bytes* stub, std::string* err) {
    std::FILE* in = openHostFile(path, "rb");
    if (!in) return *err = path + ": cannot open the stub (" + std::strerror(errno) + ")", false;
    std::fclose(in);
    std::string bytes;
    if (!readHostFile(path, &bytes)) return *err = path + ": cannot read the stub", false;
    stub->assign(bytes.begin(), bytes.end());
    if (stub->size() >= maxStubSize)
        return *err = path + ": the stub is " + std::to_string(stub->size()) +
                      " bytes; it must be smaller than 65536 bytes, since the package offset is 16 bits", false;
    if (stub->size() < dosHeaderSize || (*stub)[0] != 'M' || (*stub)[1] != 'Z')
        return *err = path + ": not a program image (no DOS header)", false;
    SigningLayout layout;
    std::string noPe;
    if (!signingLayoutOf(stub->data(), stub->size(), stub->size(), 0, &layout, &noPe)) return true;  // no PE header
    if (layout.tableSize || loadU32(stub->data() + layout.securityAt))
        return *err = path + ": the stub is signed; sign the setup file instead (--sign)", false;
    patchU32(stub, layout.checkSumAt, 0);
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

// Writes the DOS-header fields, then the checksum over bytes 40..end (the PE CheckSum field and
// the security entry are still zeros, as the stub counts them), then the PE CheckSum last of all.
static bool patchDosFields(OutputFile* out, const Bytes& stub, uint32_t scriptReadSize, std::string* err) {
    uint16_t packageOffset = static_cast<uint16_t>(stub.size());
    uint8_t offset[2] = {static_cast<uint8_t>(packageOffset), static_cast<uint8_t>(packageOffset >> 8)};
    SigningLayout layout;
    std::string noPe;
    bool pe = signingLayoutOf(stub.data(), stub.size(), stub.size(), 0, &layout, &noPe);
    uint32_t checksum, peCheckSum;
    return out->patch(dosPackageOffsetAt, offset, 2, err) && out->patchU32(dosScriptReadSizeAt, scriptReadSize, err) &&
           out->checksumFrom(checksumStart, &checksum, err) && out->patchU32(dosFileChecksumAt, checksum, err) &&
           (!pe || (out->peCheckSum(layout.checkSumAt, &peCheckSum, err) &&
                    out->patchU32(layout.checkSumAt, peCheckSum, err)));
}

// Signs the closed temporary file into a second one beside it and checks that the signature sits
// where the stub looks for it: a certificate table right behind the package, to the end.
static bool signAndCommit(OutputFile* out, const Bytes& stub, uint64_t packageEnd, const SigningOptions& signing,
                          std::string* err) {
    std::string unsigned_ = out->temporaryPath(), signed_ = unsigned_ + ".signed";
    if (!out->close(err)) return false;
    bool ok = signFile(signing, unsigned_, signed_, err);
    if (ok) {
        std::FILE* in = openHostFile(signed_, "rb");
        int64_t size = in && seekHostFile(in, 0, SEEK_END) == 0 ? tellHostFile(in) : -1;
        Bytes header(stub.size());
        SigningLayout layout;
        ok = size >= 0 && seekHostFile(in, 0, SEEK_SET) == 0 &&
             std::fread(header.data(), 1, header.size(), in) == header.size() &&
             signingLayoutOf(header.data(), header.size(), static_cast<uint64_t>(size),
                             static_cast<uint32_t>(stub.size()), &layout, err);
        if (in) std::fclose(in);
        if (!ok && err->empty()) *err = "cannot read the signed file back";
        if (ok && (layout.tableSize == 0 || layout.packageEnd != packageEnd)) {
            ok = false;
            *err = "the signing tool did not put its certificate table right behind the package";
        }
        if (!ok) *err = signed_ + ": " + *err;
    }
    ok = ok && out->commitFrom(signed_, err);
    if (!ok) removeHostFile(signed_);
    return ok;
}

bool buildSetup(const Project& project, const BuildOptions& options, BuildSummary* summary, std::string* err) {
    if (!checkSigningOptions(options.signing, err)) return false;
    Bytes stub, script;
    uint32_t scriptSize;
    ResourceReport resources;
    if (!loadStub(options.stubPath, &stub, err) || !applySetupResources(project, &stub, &resources, err) ||
        !packScript(project, &script, &scriptSize, err))
        return false;
    OutputFile out;
    if (!out.open(options.outputPath, err) || !out.write(stub, err)) return false;
    const uint64_t packageStart = stub.size();
    Bytes header;
    putU32(&header, sizeof(PackageHeader));  // the file area follows the header directly
    putU32(&header, 0);                      // scriptOffset and requiredSpace, patched below
    putU32(&header, 0);
    FileAreaResult area;
    if (!out.write(header, err) || !writeFileArea(project, packageStart, {options.threads, options.latestTime, options.progress}, &out, &area, err))
        return false;
    uint64_t scriptOffset = out.size() - packageStart;
    if (scriptOffset + script.size() > 0xFFFFFFFFu) return *err = "the package is larger than 4 GiB", false;
    uint32_t requiredSpace = area.requiredSpace > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(area.requiredSpace);
    // The package ends on an 8-byte boundary: a signing tool then puts its certificate table
    // right behind it, with no padding between.
    padSyncStream(&script, out.size() + script.size(), certificateAlignment);
    uint32_t streamSize = static_cast<uint32_t>(script.size() - scriptSizeFieldSize);
    // The stub reads this many bytes for the stream; the end of the file cuts the read short.
    uint32_t scriptReadSize = scriptSize > streamSize ? scriptSize : streamSize;
    if (!out.write(script, err) || !out.patchU32(packageStart + 4, static_cast<uint32_t>(scriptOffset), err) ||
        !out.patchU32(packageStart + 8, requiredSpace, err) ||
        !patchDosFields(&out, stub, scriptReadSize, err))
        return false;
    *summary = BuildSummary{static_cast<uint32_t>(stub.size()), area.files, area.folders, requiredSpace,
                            scriptSize, streamSize, out.size(), resources};
    if (options.signing.enabled) return signAndCommit(&out, stub, out.size(), options.signing, err);
    return out.commit(err);
}

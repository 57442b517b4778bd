// setup_files.cpp -- setup files for the e2e tests: built with velkorin-pack, read and altered.
#include "setup_files.h"

#include <fstream>
#include <iterator>

#include "e2e_config.h"
#include "format/package_format.h"
#include "process.h"

namespace e2e {

using namespace std::chrono_literals;

Bytes readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint16_t packageOffsetOf(const Bytes& file) {
    if (file.size() < dosHeaderSize) return 0;
    return static_cast<uint16_t>(file[dosPackageOffsetAt] | (file[dosPackageOffsetAt + 1] << 8));
}

bool buildSetupFile(const std::filesystem::path& project, const std::filesystem::path& out,
                    const std::filesystem::path& scratch, std::string* error) {
    return buildSetupFileWithStub(project, out, scratch, config::stub(), error);
}

bool buildSetupFileWithStub(const std::filesystem::path& project, const std::filesystem::path& out,
                            const std::filesystem::path& scratch, const std::filesystem::path& stub,
                            std::string* error) {
    auto packer = config::packer();
    if (!packer) {
        *error = "velkorin-pack is not built";
        return false;
    }
    ProcessResult result = runProcess({packer->string(), "build", project.string(), "-o", out.string(), "--stub",
                                       stub.string()},
                                      120s, scratch);
    if (result.exitCode != 0 || !std::filesystem::exists(out)) {
        *error = "velkorin-pack build " + project.string() + ": " + describe(result);
        return false;
    }
    return true;
}

Bytes withChangedByte(const Bytes& file, size_t offset) {
    Bytes changed = file;
    changed.at(offset) ^= 0x5A;
    return changed;
}

}  // namespace e2e

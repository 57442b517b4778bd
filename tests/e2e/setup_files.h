// setup_files.h -- setup files for the e2e tests: built with velkorin-pack, read and altered.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

using Bytes = std::vector<unsigned char>;

// The whole file; empty when it cannot be read.
Bytes readBytes(const std::filesystem::path& path);

// The DOS-header field that tells where the package starts (0: no package).
uint16_t packageOffsetOf(const Bytes& file);

// Runs `velkorin-pack build PROJECT -o OUT` (with the stub as built). On failure returns false
// and describes what happened in *error.
bool buildSetupFile(const std::filesystem::path& project, const std::filesystem::path& out,
                    const std::filesystem::path& scratch, std::string* error);
// The same with another stub (a test build of it).
bool buildSetupFileWithStub(const std::filesystem::path& project, const std::filesystem::path& out,
                            const std::filesystem::path& scratch, const std::filesystem::path& stub,
                            std::string* error);

// A copy of the file with the byte at `offset` changed to a different value.
Bytes withChangedByte(const Bytes& file, size_t offset);

}  // namespace e2e

// output_file.cpp -- temporary-file writing with an atomic rename at the end.
#include "output_file.h"

#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "host_files.h"
#include "pe_fields.h"

OutputFile::~OutputFile() {
    if (file_) std::fclose(file_);
    if (!temporary_.empty()) removeHostFile(temporary_);
}

bool OutputFile::fail(const std::string& what, std::string* err) {
    *err = target_ + ": " + what + " (" + std::strerror(errno) + ")";
    return false;
}

bool OutputFile::open(const std::string& target, std::string* err) {
    target_ = target;
    file_ = createTemporaryBeside(target, &temporary_);
    if (!file_) return fail("cannot create a temporary file beside the output", err);
    return true;
}

bool OutputFile::write(const uint8_t* data, size_t size, std::string* err) {
    if (size && std::fwrite(data, 1, size, file_) != size) return fail("cannot write", err);
    size_ += size;
    return true;
}

bool OutputFile::patch(uint64_t at, const uint8_t* data, size_t size, std::string* err) {
    if (seekHostFile(file_, at, SEEK_SET) != 0 || std::fwrite(data, 1, size, file_) != size ||
        seekHostFile(file_, 0, SEEK_END) != 0)
        return fail("cannot write", err);
    return true;
}

bool OutputFile::patchU32(uint64_t at, uint32_t value, std::string* err) {
    uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
                        static_cast<uint8_t>(value >> 24)};
    return patch(at, bytes, 4, err);
}

template <typename Use>
bool OutputFile::readBack(uint64_t from, Use use, std::string* err) {
    if (std::fflush(file_) != 0 || seekHostFile(file_, from, SEEK_SET) != 0)
        return fail("cannot read back", err);
    std::vector<uint8_t> chunk(65536);
    size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), file_)) > 0) use(chunk.data(), got);
    if (std::ferror(file_) || seekHostFile(file_, 0, SEEK_END) != 0) return fail("cannot read back", err);
    return true;
}

bool OutputFile::checksumFrom(uint64_t from, uint32_t* checksum, std::string* err) {
    uLong running = adler32(0, nullptr, 0);
    if (!readBack(from, [&](const uint8_t* data, size_t size) { running = adler32_z(running, data, size); }, err))
        return false;
    *checksum = static_cast<uint32_t>(running);
    return true;
}

bool OutputFile::peCheckSum(uint32_t checkSumAt, uint32_t* value, std::string* err) {
    PeCheckSum sum(checkSumAt);
    if (!readBack(0, [&](const uint8_t* data, size_t size) { sum.update(data, size); }, err)) return false;
    *value = sum.value();
    return true;
}

bool OutputFile::close(std::string* err) {
    // The setup file is a program: give it the usual permissions of one.
    if (!makeExecutable(file_)) return fail("cannot set permissions", err);
    bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!closed) return fail("cannot write", err);
    return true;
}

bool OutputFile::commitFrom(const std::string& finished, std::string* err) {
    if (!replaceHostFile(finished, target_)) return fail("cannot rename the finished file", err);
    if (finished == temporary_) temporary_.clear();
    return true;
}

bool OutputFile::commit(std::string* err) { return close(err) && commitFrom(temporary_, err); }

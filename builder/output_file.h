// output_file.h -- the setup file being written: a temporary file beside the target that becomes
// the target only on commit(); anything else removes it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "byte_buffer.h"

class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file in target's folder.
    bool open(const std::string& target, std::string* err);
    // Appends bytes at the end.
    bool write(const uint8_t* data, size_t size, std::string* err);
    bool write(const Bytes& bytes, std::string* err) { return write(bytes.data(), bytes.size(), err); }
    // Bytes written so far.
    uint64_t size() const { return size_; }
    // Overwrites bytes already written, then returns to the end.
    bool patch(uint64_t at, const uint8_t* data, size_t size, std::string* err);
    bool patchU32(uint64_t at, uint32_t value, std::string* err);
    // Adler-32 of the bytes from offset `from` to the end.
    bool checksumFrom(uint64_t from, uint32_t* checksum, std::string* err);
    // The PE CheckSum of the whole file, the field at checkSumAt left out.
    bool peCheckSum(uint32_t checkSumAt, uint32_t* value, std::string* err);
    // Flushes and closes the temporary file, which stays in place; its name.
    bool close(std::string* err);
    const std::string& temporaryPath() const { return temporary_; }
    // Renames a closed temporary file, or another finished file, to the target.
    bool commitFrom(const std::string& finished, std::string* err);
    // Flushes, closes and renames the temporary file to the target.
    bool commit(std::string* err);

private:
    bool fail(const std::string& what, std::string* err);
    // Reads the file back from offset `from` to the end, handing each piece to use.
    template <typename Use> bool readBack(uint64_t from, Use use, std::string* err);
    std::FILE* file_ = nullptr;
    std::string target_, temporary_;
    uint64_t size_ = 0;
};

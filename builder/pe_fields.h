// pe_fields.h -- the parts of a setup file's PE header that signing rewrites, the PE CheckSum,
// and the package checksum the builder writes: bytes 40 to the package end, with the CheckSum
// field and the security directory entry counted as zeros. Every read is bounded.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "byte_buffer.h"

struct SigningLayout {
    uint32_t checkSumAt = 0;       // file offset of the PE CheckSum field
    uint32_t securityAt = 0;       // file offset of the security directory entry
    uint32_t tableAt = 0, tableSize = 0;  // the certificate table, as the entry names it (0: none)
    uint64_t packageEnd = 0;       // where the package ends: the table's start, else the file's end
};

// The layout of a file of size bytes whose first bytes are header (at least up to the security
// entry). False with a reason when the PE header is out of reach or the certificate table is
// not aligned, does not run to the end of the file or does not start behind the package.
bool signingLayoutOf(const uint8_t* header, size_t headerSize, uint64_t fileSize, uint32_t packageOffset,
                     SigningLayout* layout, std::string* err);

// Adler-32 as the stub proves the builder's files: bytes 40 to layout.packageEnd with the
// CheckSum field and the security entry counted as zeros.
uint32_t tolerantChecksum(const Bytes& file, const SigningLayout& layout);

// The PE CheckSum, fed in pieces of any size: 16-bit words with end-around carry, the field
// itself left out, plus the file length.
class PeCheckSum {
public:
    explicit PeCheckSum(uint64_t checkSumAt) : skipAt_(checkSumAt) {}
    // Adds the next bytes of the file.
    void update(const uint8_t* data, size_t size);
    // The CheckSum of everything added so far.
    uint32_t value() const;

private:
    void addWord(uint64_t at, uint32_t word);
    uint64_t skipAt_, position_ = 0;
    uint32_t sum_ = 0;
    int pending_ = -1;  // the first byte of a word whose second byte has not come yet
};

// The PE CheckSum of a whole file in memory.
uint32_t peCheckSumOf(const Bytes& file, uint32_t checkSumAt);

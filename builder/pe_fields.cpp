// pe_fields.cpp -- signing fields, the tolerant package checksum and the PE CheckSum.
#include "pe_fields.h"

#include <zlib.h>

#include "format/package_format.h"

bool signingLayoutOf(const uint8_t* header, size_t headerSize, uint64_t fileSize, uint32_t packageOffset,
                     SigningLayout* layout, std::string* err) {
    if (headerSize < dosHeaderSize) return *err = "no DOS header", false;
    uint32_t pe = loadU32(header + dosPeOffsetAt);
    if (pe > headerSize || headerSize - pe < peSecurityEntryAt + peSecurityEntrySize || pe + 4 > headerSize ||
        header[pe] != 'P' || header[pe + 1] != 'E' || header[pe + 2] || header[pe + 3])
        return *err = "the PE header lies outside the program image", false;
    *layout = SigningLayout{};
    layout->checkSumAt = pe + peCheckSumAt;
    layout->securityAt = pe + peSecurityEntryAt;
    layout->tableAt = loadU32(header + layout->securityAt);
    layout->tableSize = loadU32(header + layout->securityAt + 4);
    layout->packageEnd = fileSize;
    if (layout->tableSize == 0) return true;
    if (layout->tableAt % certificateAlignment)
        return *err = "the certificate table does not start on an 8-byte boundary", false;
    if (layout->tableAt > fileSize || fileSize - layout->tableAt != layout->tableSize)
        return *err = "the certificate table does not run to the end of the file", false;
    if (layout->tableAt < uint64_t{packageOffset} + sizeof(PackageHeader))
        return *err = "the certificate table starts inside the program image or the package header", false;
    layout->packageEnd = layout->tableAt;
    return true;
}

uint32_t tolerantChecksum(const Bytes& file, const SigningLayout& layout) {
    uLong sum = adler32(0, nullptr, 0);
    uint64_t end = layout.packageEnd < file.size() ? layout.packageEnd : file.size();
    uint64_t at = checksumStart;
    // The bytes between the fields as they are; each field as zeros.
    const struct { uint64_t at, size; } zeros[] = {{layout.checkSumAt, 4}, {layout.securityAt, peSecurityEntrySize}};
    static const uint8_t none[peSecurityEntrySize] = {};
    for (const auto& field : zeros) {
        if (field.at < at || field.at + field.size > end) continue;
        sum = adler32_z(sum, file.data() + at, field.at - at);
        sum = adler32_z(sum, none, field.size);
        at = field.at + field.size;
    }
    if (end > at) sum = adler32_z(sum, file.data() + at, end - at);
    return static_cast<uint32_t>(sum);
}

void PeCheckSum::addWord(uint64_t at, uint32_t word) {
    if (at == skipAt_ || at == skipAt_ + 2) return;
    sum_ += word;
    sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
}

void PeCheckSum::update(const uint8_t* data, size_t size) {
    size_t i = 0;
    if (pending_ >= 0 && size > 0) {
        addWord(position_ - 1, static_cast<uint32_t>(pending_) | data[0] << 8);
        pending_ = -1;
        i = 1;
    }
    for (; i + 1 < size; i += 2) addWord(position_ + i, data[i] | data[i + 1] << 8);
    if (i < size) pending_ = data[i];
    position_ += size;
}

uint32_t PeCheckSum::value() const {
    uint32_t sum = sum_;
    if (pending_ >= 0 && position_ - 1 != skipAt_ && position_ - 1 != skipAt_ + 2) {
        sum += static_cast<uint32_t>(pending_);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum + static_cast<uint32_t>(position_);
}

uint32_t peCheckSumOf(const Bytes& file, uint32_t checkSumAt) {
    PeCheckSum sum(checkSumAt);
    sum.update(file.data(), file.size());
    return sum.value();
}

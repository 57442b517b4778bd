// byte_buffer.h -- little-endian appends to a byte vector and bounded reads from a byte span.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Appends one byte.
inline void putU8(Bytes* out, uint8_t value) { out->push_back(value); }
// Appends a little-endian 16-bit value.
inline void putU16(Bytes* out, uint16_t value) {
    out->push_back(static_cast<uint8_t>(value));
    out->push_back(static_cast<uint8_t>(value >> 8));
}
// Appends a little-endian 32-bit value.
inline void putU32(Bytes* out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<uint8_t>(value >> shift));
}
// Appends a text and its zero terminator.
inline void putText(Bytes* out, const std::string& text) {
    out->insert(out->end(), text.begin(), text.end());
    out->push_back(0);
}
// Overwrites a little-endian 32-bit value at an offset that already exists.
inline void patchU32(Bytes* out, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) (*out)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A cursor over bytes that never reads past its end: each read reports whether it fit.
struct ByteSpan {
    const uint8_t* data;
    size_t size;
    size_t at;

    bool has(size_t count) const { return at <= size && size - at >= count; }
    bool u8(uint8_t* value) {
        if (!has(1)) return false;
        *value = data[at++];
        return true;
    }
    bool u16(uint16_t* value) {
        if (!has(2)) return false;
        *value = static_cast<uint16_t>(data[at] | (data[at + 1] << 8));
        at += 2;
        return true;
    }
    bool u32(uint32_t* value) {
        if (!has(4)) return false;
        *value = data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) | (static_cast<uint32_t>(data[at + 3]) << 24);
        at += 4;
        return true;
    }
    // A zero-terminated text; false when no terminator lies inside the span.
    bool text(std::string* value) {
        size_t end = at;
        while (end < size && data[end]) ++end;
        if (end >= size) return false;
        value->assign(reinterpret_cast<const char*>(data + at), end - at);
        at = end + 1;
        return true;
    }
};

// Reads a little-endian 32-bit value at p.
inline uint32_t loadU32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

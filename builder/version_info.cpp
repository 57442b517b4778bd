// version_info.cpp -- VS_VERSIONINFO blocks: each is u16 length, u16 value length, u16 type
// (0 binary, 1 text), a UTF-16 key, padding to 4, the value, padding to 4, then the children.
#include "version_info.h"

#include <cstdio>

namespace {

constexpr uint32_t fixedInfoSignature = 0xFEEF04BDu;
constexpr uint32_t fixedInfoStructure = 0x00010000u;
constexpr uint32_t fileFlagsMask = 0x3F;
constexpr uint32_t osWindows32 = 0x00000004u;  // VOS__WINDOWS32: Windows 95 and NT alike
constexpr uint32_t fileTypeApplication = 1;    // VFT_APP
constexpr uint16_t unicodeCodePage = 1200;

void pad4(Bytes* out) {
    while (out->size() % 4) out->push_back(0);
}

void putUtf16(Bytes* out, const std::u16string& text) {
    for (char16_t c : text) putU16(out, static_cast<uint16_t>(c));
    putU16(out, 0);
}

// One block; valueLength counts bytes for binary values and UTF-16 units for texts.
Bytes block(const std::string& key, const Bytes& value, uint16_t valueLength, uint16_t type,
            const std::vector<Bytes>& children) {
    Bytes out(6, 0);
    putUtf16(&out, utf16Of(key));
    pad4(&out);
    out.insert(out.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        pad4(&out);
        out.insert(out.end(), child.begin(), child.end());
    }
    out[0] = static_cast<uint8_t>(out.size());
    out[1] = static_cast<uint8_t>(out.size() >> 8);
    out[2] = static_cast<uint8_t>(valueLength);
    out[3] = static_cast<uint8_t>(valueLength >> 8);
    out[4] = static_cast<uint8_t>(type);
    return out;
}

Bytes textBlock(const std::string& key, const std::string& text) {
    std::u16string units = utf16Of(text);
    Bytes value;
    putUtf16(&value, units);
    return block(key, value, static_cast<uint16_t>(units.size() + 1), 1, {});
}

Bytes fixedInfo(const VersionFields& f) {
    uint32_t ms = static_cast<uint32_t>(f.parts[0]) << 16 | f.parts[1];
    uint32_t ls = static_cast<uint32_t>(f.parts[2]) << 16 | f.parts[3];
    Bytes out;
    for (uint32_t v : {fixedInfoSignature, fixedInfoStructure, ms, ls, ms, ls, fileFlagsMask, 0u, osWindows32,
                       fileTypeApplication, 0u, 0u, 0u})
        putU32(&out, v);
    return out;
}

// A parsed block: where its value and its children lie.
struct Block {
    std::string key;
    size_t valueAt = 0, valueSize = 0, end = 0, childrenAt = 0;
    uint16_t type = 0;
};

// Reads the block at `at`, which must end by `limit`.
bool readBlock(const Bytes& d, size_t at, size_t limit, Block* b) {
    if (at % 4 || limit > d.size() || at > limit || limit - at < 6) return false;
    size_t length = d[at] | d[at + 1] << 8, valueLength = d[at + 2] | d[at + 3] << 8;
    if (length < 6 || length > limit - at) return false;
    b->end = at + length;
    b->type = static_cast<uint16_t>(d[at + 4] | d[at + 5] << 8);
    std::u16string key;
    size_t cursor = at + 6;
    for (;; cursor += 2) {
        if (cursor + 2 > b->end) return false;
        char16_t c = static_cast<char16_t>(d[cursor] | d[cursor + 1] << 8);
        if (!c) break;
        key.push_back(c);
    }
    b->key = utf8Of(key);
    b->valueAt = (cursor + 2 + 3) & ~size_t{3};
    b->valueSize = b->type == 1 ? valueLength * 2 : valueLength;
    if (b->valueAt > b->end || b->end - b->valueAt < b->valueSize) return false;
    b->childrenAt = (b->valueAt + b->valueSize + 3) & ~size_t{3};
    return true;
}

// The children of a block, in order.
bool childrenOf(const Bytes& d, const Block& parent, std::vector<Block>* children) {
    children->clear();
    for (size_t at = parent.childrenAt; at < parent.end; at = (at + 3) & ~size_t{3}) {
        Block child;
        if (!readBlock(d, at, parent.end, &child)) return false;
        children->push_back(child);
        at = child.end;
        if (children->size() > 1024) return false;
    }
    return true;
}

std::string textValue(const Bytes& d, const Block& b) {
    std::u16string text;
    for (size_t i = 0; i + 1 < b.valueSize; i += 2) {
        char16_t c = static_cast<char16_t>(d[b.valueAt + i] | d[b.valueAt + i + 1] << 8);
        if (!c) break;
        text.push_back(c);
    }
    return utf8Of(text);
}

bool readStringFileInfo(const Bytes& d, const Block& info, VersionReadBack* out) {
    std::vector<Block> tables, strings;
    if (!childrenOf(d, info, &tables) || tables.empty()) return false;
    out->table = tables[0].key;
    if (!childrenOf(d, tables[0], &strings)) return false;
    for (const Block& s : strings) out->strings.push_back({s.key, textValue(d, s)});
    return true;
}

bool readVarFileInfo(const Bytes& d, const Block& info, VersionReadBack* out) {
    std::vector<Block> vars;
    if (!childrenOf(d, info, &vars)) return false;
    for (const Block& v : vars)
        if (v.key == "Translation" && v.valueSize >= 4) out->translation = loadU32(d.data() + v.valueAt);
    return true;
}

}  // namespace

bool parseVersionNumber(const std::string& text, uint16_t parts[4]) {
    size_t count = 0, at = 0;
    for (int i = 0; i < 4; ++i) parts[i] = 0;
    while (at <= text.size()) {
        size_t end = text.find('.', at);
        if (end == std::string::npos) end = text.size();
        std::string part = text.substr(at, end - at);
        if (part.empty() || part.size() > 5 || count == 4) return false;
        unsigned long value = 0;
        for (char c : part) {
            if (c < '0' || c > '9') return false;
            value = value * 10 + static_cast<unsigned long>(c - '0');
        }
        if (value > 0xFFFF) return false;
        parts[count++] = static_cast<uint16_t>(value);
        at = end + 1;
    }
    return count >= 1;
}

Bytes versionResource(const VersionFields& f) {
    char tableKey[9];
    std::snprintf(tableKey, sizeof tableKey, "%04X%04X", f.language, unicodeCodePage);
    std::vector<Bytes> strings;
    for (const auto& [name, value] : f.strings) strings.push_back(textBlock(name, value));
    Bytes translation;
    putU16(&translation, f.language);
    putU16(&translation, unicodeCodePage);
    Bytes table = block(tableKey, {}, 0, 1, strings);
    Bytes stringInfo = block("StringFileInfo", {}, 0, 1, {table});
    Bytes var = block("Translation", translation, 4, 0, {});
    Bytes varInfo = block("VarFileInfo", {}, 0, 1, {var});
    Bytes fixed = fixedInfo(f);
    return block("VS_VERSION_INFO", fixed, static_cast<uint16_t>(fixed.size()), 0, {stringInfo, varInfo});
}

bool readVersionResource(const Bytes& data, VersionReadBack* out) {
    *out = VersionReadBack{};
    Block root;
    if (!readBlock(data, 0, data.size(), &root) || root.key != "VS_VERSION_INFO" || root.valueSize < 52) return false;
    const uint8_t* fixed = data.data() + root.valueAt;
    if (loadU32(fixed) != fixedInfoSignature) return false;
    out->fileMs = loadU32(fixed + 8);
    out->fileLs = loadU32(fixed + 12);
    out->productMs = loadU32(fixed + 16);
    out->productLs = loadU32(fixed + 20);
    std::vector<Block> children;
    if (!childrenOf(data, root, &children)) return false;
    for (const Block& child : children) {
        if (child.key == "StringFileInfo" && !readStringFileInfo(data, child, out)) return false;
        if (child.key == "VarFileInfo" && !readVarFileInfo(data, child, out)) return false;
    }
    return true;
}

std::u16string utf16Of(const std::string& utf8) {
    std::u16string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        uint32_t code = extra ? c & (0x3F >> extra) : c;
        ++i;
        for (int k = 0; k < extra && i < utf8.size(); ++k, ++i)
            code = code << 6 | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
    }
    return out;
}

std::string utf8Of(const std::u16string& utf16) {
    std::string out;
    for (size_t i = 0; i < utf16.size(); ++i) {
        uint32_t code = utf16[i];
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] < 0xE000)
            code = 0x10000 + ((code - 0xD800) << 10) + (utf16[++i] - 0xDC00);
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

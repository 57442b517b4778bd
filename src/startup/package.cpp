// package.cpp -- DOS-header fields, checksum, inflater and record walk.
#include "startup/package.h"

#include <zlib.h>

#include "support/heap.h"

DWORD readU32(const BYTE* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24); }

DosFields readDosFields(const BYTE* header) {
    DosFields fields;
    fields.packageOffset = static_cast<WORD>(header[dosPackageOffsetAt] | (header[dosPackageOffsetAt + 1] << 8));
    fields.scriptReadSize = readU32(header + dosScriptReadSizeAt);
    fields.fileChecksum = readU32(header + dosFileChecksumAt);
    return fields;
}

bool computePackageChecksum(ChunkReader read, void* context, DWORD fileSize, DWORD* checksum,
                            const SigningFields* signing, DWORD* tolerant) {
    BYTE small[checksumSmallBlock];
    BYTE* block = static_cast<BYTE*>(heapAlloc(checksumBlock));
    DWORD blockSize = block ? checksumBlock : checksumSmallBlock;
    BYTE* buffer = block ? block : small;
    uLong running = adler32(0, nullptr, 0), atPackageEnd = running;
    DWORD position = checksumStart;
    DWORD remaining = fileSize > checksumStart ? fileSize - checksumStart : 0;
    bool complete = true;
    while (remaining > 0) {
        DWORD size = remaining <= blockSize ? remaining : blockSize;
        if (read(context, buffer, size) != size) {
            complete = false;
            break;
        }
        // The tolerant sum is the running value where the package ends, when that is in this block.
        bool endsHere = signing && signing->packageEnd > position && signing->packageEnd - position <= size;
        DWORD head = endsHere ? signing->packageEnd - position : size;
        running = adler32(running, buffer, head);
        if (endsHere) atPackageEnd = running;
        running = adler32(running, buffer + head, size - head);
        position += size;
        remaining -= size;
    }
    heapFree(block);
    if (complete) *checksum = static_cast<DWORD>(running);
    if (complete && signing) {
        DWORD length = signing->packageEnd - checksumStart;
        DWORD sum = adlerWithZeros(static_cast<DWORD>(atPackageEnd), length, signing->checkSumAt - checksumStart,
                                   signing->checkSum, sizeof(signing->checkSum));
        *tolerant = adlerWithZeros(sum, length, signing->securityAt - checksumStart, signing->security,
                                   sizeof(signing->security));
    }
    return complete;
}

DWORD adlerWithZeros(DWORD sum, DWORD length, DWORD position, const BYTE* bytes, DWORD count) {
    const DWORD base = 65521;
    DWORD a = sum & 0xFFFF, b = sum >> 16;
    for (DWORD i = 0; i < count; ++i) {
        DWORD weight = (length - position - i) % base;  // the byte is counted this often into b
        a = (a + base - bytes[i]) % base;
        b = (b + base - weight * bytes[i] % base) % base;
    }
    return b << 16 | a;
}

static voidpf inflaterAlloc(voidpf, uInt items, uInt size) { return heapAlloc(items * size); }
static void inflaterFree(voidpf, voidpf block) { heapFree(block); }

int inflateBlock(const BYTE* source, DWORD sourceLength, BYTE* destination, DWORD destinationLength,
                 HWND progressBar, DWORD progressTotal) {
    z_stream stream;
    BYTE* clear = reinterpret_cast<BYTE*>(&stream);
    for (DWORD i = 0; i < sizeof(stream); ++i) clear[i] = 0;
    stream.zalloc = inflaterAlloc;
    stream.zfree = inflaterFree;
    stream.next_out = destination;
    stream.avail_out = destinationLength;
    if (inflateInit(&stream) != Z_OK) return -1;

    DWORD startPosition = 0, lastPosition = 0;
    if (progressBar) lastPosition = startPosition = static_cast<DWORD>(SendMessageA(progressBar, PBM_GETPOS, 0, 0));

    const BYTE* cursor = source;
    DWORD remaining = sourceLength;
    for (;;) {
        DWORD chunk = remaining < 4096 ? remaining : 4096;
        stream.next_in = const_cast<BYTE*>(cursor);
        stream.avail_in = chunk;
        int result = inflate(&stream, remaining == 0 ? Z_FINISH : Z_NO_FLUSH);
        if (result == Z_NEED_DICT || result == Z_DATA_ERROR || result == Z_STREAM_ERROR) break;
        if (remaining == 0) break;
        cursor += chunk;
        remaining -= chunk;
        if (progressBar && progressTotal) {
            DWORD position = startPosition + static_cast<DWORD>(
                static_cast<unsigned long long>(cursor - source) * 100 / progressTotal);
            if (position != lastPosition) {
                SendMessageA(progressBar, PBM_SETPOS, position, 0);
                lastPosition = position;
            }
        }
    }
    inflateEnd(&stream);
    return static_cast<int>(stream.next_out - destination);
}

DWORD walkScript(const BYTE* script, DWORD size, RecordHandler apply) {
    DWORD records = 0;
    DWORD at = 0;
    while (size - at >= 4) {
        DWORD type = readU32(script + at);
        if (type == scriptEnd) break;
        if (size - at < sizeof(RecordHeader)) break;
        DWORD length = readU32(script + at + 4);
        if (length > size - at - sizeof(RecordHeader)) break;
        apply(type, script + at + 4);
        ++records;
        at += sizeof(RecordHeader) + length;
    }
    return records;
}

// deflate.h -- the package's zlib streams: level 9, ended by a sync flush (00 00 FF FF) with no
// final block and no Adler-32 trailer; and the matching inflater used by inspect.
#pragma once
#include <cstdint>
#include <string>

#include "byte_buffer.h"

// Compresses a stream fed in chunks; the result is complete after finish().
class SyncDeflater {
public:
    SyncDeflater();
    ~SyncDeflater();
    SyncDeflater(const SyncDeflater&) = delete;
    SyncDeflater& operator=(const SyncDeflater&) = delete;

    // Compresses the next chunk of input into the output; false on a zlib failure.
    bool feed(const uint8_t* data, size_t size);
    // Ends the stream with a sync flush and returns the whole compressed stream.
    bool finish(Bytes* out);

private:
    bool run(const uint8_t* data, size_t size, int flush);
    struct State;
    State* state_;
    Bytes out_;
};

// Compresses a whole buffer into one package stream.
bool deflateSync(const uint8_t* data, size_t size, Bytes* out);
// Appends empty stored blocks (00 00 00 FF FF, each a complete sync flush) to a package stream
// that will end at file offset end, until that end is a multiple of alignment (a power of two,
// at most 8: five bytes a block reach every remainder).
void padSyncStream(Bytes* stream, uint64_t end, uint32_t alignment);
// Inflates a package stream (no final block needed) into at most limit bytes. False when the
// stream is damaged; *out then holds what could be produced.
bool inflateSync(const uint8_t* data, size_t size, size_t limit, Bytes* out);
// Compresses one block of a package stream that is cut into blocks: primed with the input just
// before it (at most the last 32 KiB are used), ended by a sync flush, and after the zlib header
// when it is the first block. The blocks of a stream, put together in order, are the stream.
bool deflateBlock(const uint8_t* before, size_t beforeSize, const uint8_t* data, size_t size, bool first,
                  Bytes* out);

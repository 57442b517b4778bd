// deflate.cpp -- zlib streams in the package's shape.
#include "deflate.h"

#include <zlib.h>

#include <cstring>

struct SyncDeflater::State {
    z_stream stream;
    bool ready;
};

SyncDeflater::SyncDeflater() : state_(new State) {
    std::memset(&state_->stream, 0, sizeof(state_->stream));
    // Window 15 with memory level 9: zlib then writes the header 0x78 0xDA.
    state_->ready = deflateInit2(&state_->stream, 9, Z_DEFLATED, 15, 9, Z_DEFAULT_STRATEGY) == Z_OK;
}

SyncDeflater::~SyncDeflater() {
    if (state_->ready) deflateEnd(&state_->stream);
    delete state_;
}

bool SyncDeflater::run(const uint8_t* data, size_t size, int flush) {
    if (!state_->ready) return false;
    z_stream& s = state_->stream;
    s.next_in = const_cast<Bytef*>(data);
    s.avail_in = static_cast<uInt>(size);
    uint8_t chunk[65536];
    do {
        s.next_out = chunk;
        s.avail_out = sizeof(chunk);
        int result = deflate(&s, flush);
        if (result == Z_STREAM_ERROR) return false;
        out_.insert(out_.end(), chunk, chunk + (sizeof(chunk) - s.avail_out));
    } while (s.avail_out == 0 || s.avail_in > 0);
    return true;
}

bool SyncDeflater::feed(const uint8_t* data, size_t size) {
    // Chunks stay below 4 GiB; callers feed at most a read buffer at a time.
    return run(data, size, Z_NO_FLUSH);
}

bool SyncDeflater::finish(Bytes* out) {
    if (!run(nullptr, 0, Z_SYNC_FLUSH)) return false;
    out->swap(out_);
    out_.clear();
    return true;
}

bool deflateSync(const uint8_t* data, size_t size, Bytes* out) {
    SyncDeflater deflater;
    const size_t step = 1 << 20;
    for (size_t at = 0; at < size; at += step)
        if (!deflater.feed(data + at, size - at < step ? size - at : step)) return false;
    return deflater.finish(out);
}

bool deflateBlock(const uint8_t* before, size_t beforeSize, const uint8_t* data, size_t size, bool first,
                  Bytes* out) {
    const size_t window = 32768;
    z_stream s;
    std::memset(&s, 0, sizeof(s));
    // Raw deflate with the same level and memory as the whole-stream deflater; the header that
    // SyncDeflater's zlib writes (0x78 0xDA) goes in front of the first block.
    if (deflateInit2(&s, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) return false;
    bool ok = true;
    if (beforeSize > window) before += beforeSize - window, beforeSize = window;
    if (beforeSize) ok = deflateSetDictionary(&s, before, static_cast<uInt>(beforeSize)) == Z_OK;
    out->clear();
    if (first) {
        out->push_back(0x78);
        out->push_back(0xDA);
    }
    size_t head = out->size();
    out->resize(head + deflateBound(&s, size) + 16);
    s.next_in = const_cast<Bytef*>(data);
    s.avail_in = static_cast<uInt>(size);
    s.next_out = out->data() + head;
    s.avail_out = static_cast<uInt>(out->size() - head);
    ok = ok && deflate(&s, Z_SYNC_FLUSH) == Z_OK && s.avail_in == 0 && s.avail_out > 0;
    out->resize(out->size() - s.avail_out);
    deflateEnd(&s);
    return ok;
}

bool inflateSync(const uint8_t* data, size_t size, size_t limit, Bytes* out) {
    z_stream s;
    std::memset(&s, 0, sizeof(s));
    if (inflateInit(&s) != Z_OK) return false;
    out->clear();
    s.next_in = const_cast<Bytef*>(data);
    s.avail_in = static_cast<uInt>(size);
    uint8_t chunk[65536];
    bool ok = true;
    while (out->size() < limit) {
        s.next_out = chunk;
        s.avail_out = sizeof(chunk);
        int result = inflate(&s, Z_SYNC_FLUSH);
        size_t produced = sizeof(chunk) - s.avail_out;
        size_t room = limit - out->size();
        out->insert(out->end(), chunk, chunk + (produced < room ? produced : room));
        if (result == Z_STREAM_END) break;
        if (result != Z_OK && result != Z_BUF_ERROR) {
            ok = false;
            break;
        }
        if (produced == 0 && s.avail_in == 0) break;  // input used up: the sync flush ended it
        if (produced == 0 && result == Z_BUF_ERROR) break;
    }
    inflateEnd(&s);
    return ok;
}

void padSyncStream(Bytes* stream, uint64_t end, uint32_t alignment) {
    static const uint8_t emptyStoredBlock[] = {0x00, 0x00, 0x00, 0xFF, 0xFF};
    for (; end % alignment; end += sizeof(emptyStoredBlock))
        stream->insert(stream->end(), emptyStoredBlock, emptyStoredBlock + sizeof(emptyStoredBlock));
}

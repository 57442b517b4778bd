// compression_queue.h -- compresses the files of the file area on several threads. Each file is
// cut into blocks of compressionBlock input bytes, compressed one by one by deflateBlock (primed
// with the 32 KiB before them), so that even one large file keeps every thread busy. The cut
// depends only on the file's size, so the streams are the same whatever the thread count.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "byte_buffer.h"

constexpr size_t compressionBlock = size_t(1) << 20;

struct CompressionJob {
    std::string path;
    uint64_t size;  // what the file must still hold when it is read
};

class CompressionQueue {
public:
    // Starts `threads` threads (at least one) on the jobs' blocks.
    CompressionQueue(std::vector<CompressionJob> jobs, unsigned threads);
    // Stops the threads; blocks not yet taken are dropped.
    ~CompressionQueue();
    CompressionQueue(const CompressionQueue&) = delete;
    CompressionQueue& operator=(const CompressionQueue&) = delete;

    // The whole stream of job `job`, waiting for its blocks; jobs are taken in order. False with
    // *err when the file could not be read or changed since its size was taken.
    bool take(size_t job, Bytes* stream, std::string* err);

private:
    struct Block {
        size_t job;
        uint64_t offset;
        size_t length;
        bool done;
        Bytes out;
        std::string err;
    };
    void work();
    bool claim(size_t* block);
    bool mayHandOut() const;

    std::vector<CompressionJob> jobs_;
    std::vector<Block> blocks_;
    std::vector<size_t> firstBlock_;  // per job, and the block count at the end
    size_t minimumAhead_;             // blocks that may always be handed out ahead of the writer
    uint64_t aheadBytes_ = 0;         // input bytes of the blocks handed out and not yet taken
    size_t next_ = 0, taken_ = 0;
    bool stop_ = false;
    std::mutex mutex_;
    std::condition_variable workable_, finished_;
    std::vector<std::thread> threads_;
};

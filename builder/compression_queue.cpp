// compression_queue.cpp -- the blocks of the compressed files, spread over a pool of threads and
// collected in order by the writer.
#include "compression_queue.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "deflate.h"
#include "host_files.h"

namespace {

constexpr size_t primeBytes = 32768;  // the deflate window: what a block may refer back to
constexpr uint64_t aheadLimit = uint64_t(64) << 20;  // input bytes handed out ahead of the writer

// Reads the block and the bytes before it that prime it, and compresses it. A file that ends
// before the block does, or goes on after its last block, has changed since its size was taken.
bool compressBlock(const CompressionJob& job, uint64_t offset, size_t length, Bytes* out, std::string* err) {
    std::FILE* file = openHostFile(job.path, "rb");
    if (!file) return *err = job.path + ": cannot open (" + std::strerror(errno) + ")", false;
    size_t before = offset < primeBytes ? static_cast<size_t>(offset) : primeBytes;
    Bytes input(before + length);
    bool read = seekHostFile(file, offset - before, SEEK_SET) == 0 && std::fread(input.data(), 1, input.size(), file) == input.size();
    bool ended = read && (offset + length < job.size || std::fgetc(file) == EOF);
    bool failed = std::ferror(file);
    std::fclose(file);
    if (failed) return *err = job.path + ": cannot read or compress", false;
    if (!read || !ended) return *err = job.path + ": changed while the package was built", false;
    if (!deflateBlock(input.data(), before, input.data() + before, length, offset == 0, out))
        return *err = job.path + ": cannot read or compress", false;
    return true;
}

}  // namespace

CompressionQueue::CompressionQueue(std::vector<CompressionJob> jobs, unsigned threads) : jobs_(std::move(jobs)) {
    if (threads == 0) threads = 1;
    for (size_t j = 0; j < jobs_.size(); ++j) {
        firstBlock_.push_back(blocks_.size());
        uint64_t offset = 0;
        do {  // an empty file is one empty block
            uint64_t rest = jobs_[j].size - offset;
            size_t length = rest < compressionBlock ? static_cast<size_t>(rest) : compressionBlock;
            blocks_.push_back({j, offset, length, false, {}, {}});
            offset += length;
        } while (offset < jobs_[j].size);
    }
    firstBlock_.push_back(blocks_.size());
    minimumAhead_ = size_t(threads) * 4;
    for (unsigned t = 0; t < threads; ++t) threads_.emplace_back([this] { work(); });
}

CompressionQueue::~CompressionQueue() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    workable_.notify_all();
    for (std::thread& t : threads_) t.join();
}

// Whether the next block may be handed out: the threads run ahead of the writer by a few blocks
// at least and by up to aheadLimit input bytes, which bounds the output held at once. A count of
// blocks alone would leave threads idle behind one slow block when the blocks ahead are small
// files, a bound in bytes alone behind one large block.
bool CompressionQueue::mayHandOut() const {
    return next_ < taken_ + minimumAhead_ || aheadBytes_ + blocks_[next_].length <= aheadLimit;
}

// The next block to compress, once the writer is near enough; false when the work has ended.
bool CompressionQueue::claim(size_t* block) {
    std::unique_lock<std::mutex> lock(mutex_);
    workable_.wait(lock, [this] { return stop_ || next_ >= blocks_.size() || mayHandOut(); });
    if (stop_ || next_ >= blocks_.size()) return false;
    aheadBytes_ += blocks_[next_].length;
    *block = next_++;
    return true;
}

void CompressionQueue::work() {
    size_t index;
    while (claim(&index)) {
        Block& block = blocks_[index];
        Bytes out;
        std::string err;
        compressBlock(jobs_[block.job], block.offset, block.length, &out, &err);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            block.out.swap(out);
            block.err.swap(err);
            block.done = true;
        }
        finished_.notify_all();
    }
}

bool CompressionQueue::take(size_t job, Bytes* stream, std::string* err) {
    stream->clear();
    for (size_t index = firstBlock_[job]; index < firstBlock_[job + 1]; ++index) {
        Bytes out;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            Block& block = blocks_[index];
            finished_.wait(lock, [&block] { return block.done; });
            if (!block.err.empty()) return *err = block.err, false;
            out.swap(block.out);
            aheadBytes_ -= block.length;
            taken_ = index + 1;
        }
        workable_.notify_all();
        stream->insert(stream->end(), out.begin(), out.end());
    }
    return true;
}

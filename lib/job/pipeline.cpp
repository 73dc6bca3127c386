#include "job/pipeline.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "codec/dec/block_decoder.h"
#include "codec/enc/block_encoder.h"
#include "codec/stream_records.h"
#include "codec/working_state.h"
#include "system/block_memory.h"
#include "system/worker_signals.h"

namespace {

/**** Input and output ****/

// Reads up to `length` bytes; fewer only at the end of the input.  -1 when
// the input cannot be read.
int32_t read_some(const JobIo& io, uint8_t* data, int32_t length) {
    int32_t done = 0;
    while (done < length) {
        ptrdiff_t got = io.read(io.read_user, data + done, static_cast<size_t>(length - done));
        if (got < 0 || got > length - done) return -1;
        if (got == 0) break;
        done += static_cast<int32_t>(got);
    }
    return done;
}

// The compressed input, read forward in large pieces: a block's records
// are many small reads, and each read of the system costs far more than a
// copy out of memory (above all under a layer that emulates the system).
struct ForwardReader {
    static constexpr int32_t kCapacity = 1 << 18;
    const JobIo* io;
    uint8_t* buffer;
    int32_t at;
    int32_t end;
    bool failed;  // a read failed, rather than the input ending
};

bool read_exactly(void* source, uint8_t* data, int32_t length) {
    ForwardReader* r = static_cast<ForwardReader*>(source);
    int32_t have = r->end - r->at;
    if (have >= length) {
        std::memcpy(data, r->buffer + r->at, static_cast<size_t>(length));
        r->at += length;
        return true;
    }
    if (have > 0) std::memcpy(data, r->buffer + r->at, static_cast<size_t>(have));
    r->at = r->end = 0;
    int32_t rest = length - have;
    // What is larger than the buffer goes straight to its place.
    int32_t got = rest >= ForwardReader::kCapacity ? read_some(*r->io, data + have, rest)
                                                   : read_some(*r->io, r->buffer, ForwardReader::kCapacity);
    if (got < 0) r->failed = true;
    if (got < rest) return false;
    if (rest >= ForwardReader::kCapacity) return true;
    std::memcpy(data + have, r->buffer, static_cast<size_t>(rest));
    r->at = rest;
    r->end = got;
    return true;
}

bool write_all(const JobIo& io, const uint8_t* data, int32_t length) {
    return length == 0 || io.write(io.write_user, data, static_cast<size_t>(length)) == 0;
}

/**** Blocks in flight ****/

enum class Direction { compress, expand };

// One block between its reading and its writing.  `in` holds what was
// read (the block's bytes, or its records), `out` what is written (its
// records, or its bytes).
struct Block {
    enum Stage { free, read, coding, coded } stage = free;
    int32_t n = 0;
    CodecStatus status = CodecStatus::ok;
    uint8_t* in = nullptr;
    uint8_t* out = nullptr;
    int32_t out_length = 0;
    InputStream input[20];
};

struct Buffers {
    int32_t in_size;
    int32_t out_size;
};

Buffers buffers_for(Direction direction) {
    if (direction == Direction::compress) return {kBlockSize, kMaxBlockRecordBytes};
    return {kMaxReadRecordBytes, kBlockSize};
}

bool give_buffers(Block* block, Buffers sizes) {
    if (block->in == nullptr) block->in = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(sizes.in_size)));
    if (block->out == nullptr) block->out = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(sizes.out_size)));
    return block->in != nullptr && block->out != nullptr;
}

void code_block(CodecState* s, Direction direction, Block* block) {
    if (block->status != CodecStatus::ok) return;
    if (s == nullptr) {
        block->status = CodecStatus::no_memory;
    } else if (direction == Direction::compress) {
        encode_block(s, block->in, block->n);
        block->out_length = store_block_records(s, block->n, block->out);
    } else {
        block->status = decode_block(s, block->input, block->n, block->out);
        block->out_length = block->n;
    }
}

// What the job is: which way, its input and output, and the bytes not yet
// read as blocks.
struct Stream {
    Direction direction;
    const JobIo& io;
    int64_t left;
    ForwardReader reader;  // expansion: the records, read ahead
};

// Reads the next block into `block`; false at the end of the input, when
// there is no block to read.  A failure is left in the block's status.
bool read_block(Stream& stream, Block* block) {
    block->status = CodecStatus::ok;
    if (stream.left <= 0) return false;
    block->n = static_cast<int32_t>(stream.left < kBlockSize ? stream.left : kBlockSize);
    stream.left -= block->n;
    if (stream.direction == Direction::compress) {
        if (read_some(stream.io, block->in, block->n) != block->n) block->status = CodecStatus::read_failed;
        return true;
    }
    block->status = read_block_records(block->n, read_exactly, &stream.reader, block->in, block->input);
    if (block->status == CodecStatus::damaged && stream.reader.failed) block->status = CodecStatus::read_failed;
    return true;
}

// Tells the caller how far the job has come; false when it asks to stop.
bool block_written(const JobIo& io, int64_t done) {
    if (io.progress == nullptr) return true;
    return io.progress(io.progress_user, io.base + static_cast<uint64_t>(done), io.total) == 0;
}

/**** One thread ****/

CodecStatus run_alone(Stream& stream) {
    CodecState* s = new_codec_state();
    if (s == nullptr) return CodecStatus::no_memory;
    // The block's bytes stay in the state's own buffer, read there when
    // compressing and decoded there when expanding.
    Block block;
    uint8_t** own = stream.direction == Direction::compress ? &block.in : &block.out;
    *own = s->block_buffer;
    CodecStatus result = give_buffers(&block, buffers_for(stream.direction)) ? CodecStatus::ok : CodecStatus::no_memory;
    int64_t done = 0;
    while (result == CodecStatus::ok) {
        if (!read_block(stream, &block)) break;
        code_block(s, stream.direction, &block);
        result = block.status;
        if (result != CodecStatus::ok) break;
        if (!write_all(stream.io, block.out, block.out_length)) {
            result = CodecStatus::write_failed;
            break;
        }
        done += block.n;
        if (!block_written(stream.io, done)) result = CodecStatus::stopped;
    }
    *own = nullptr;
    std::free(block.in);
    std::free(block.out);
    delete_codec_state(s);
    return result;
}

/**** Several threads ****/

// The calling thread reads the blocks in order into a ring of 2T places
// and writes each block's result in order as soon as it is coded; T
// workers code the blocks in between, in the order they were read.  A
// worker starts only when a block waits and every worker is busy, so a
// short file starts no more workers than it has blocks.
class Pipeline {
public:
    Pipeline(Stream& stream, int threads)
        : stream_(stream), threads_(threads), ring_(2 * static_cast<size_t>(threads)) {
        // The buffers that every block fills whole (a compression's bytes
        // read, an expansion's bytes made) lie side by side in one piece,
        // which the system can give in large pages; should it have no such
        // piece, each is allocated alone when first used.
        whole_size_ = ring_.size() * static_cast<size_t>(kBlockSize);
        whole_ = allocate_block_memory(whole_size_);
        for (size_t k = 0; whole_ != nullptr && k < ring_.size(); ++k) {
            *filled_whole(&ring_[k]) = whole_ + k * kBlockSize;
        }
    }

    ~Pipeline() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        work_ready_.notify_all();
        for (std::thread& worker : workers_) worker.join();
        for (Block& block : ring_) {
            if (whole_ != nullptr) *filled_whole(&block) = nullptr;
            std::free(block.in);
            std::free(block.out);
        }
        free_block_memory(whole_, whole_size_);
    }

    CodecStatus run() {
        const int64_t places = static_cast<int64_t>(ring_.size());
        bool input_ended = false;
        int64_t done = 0;
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            Block* oldest = &ring_[static_cast<size_t>(next_write_ % places)];
            if (next_write_ < next_read_ && oldest->stage == Block::coded) {
                lock.unlock();
                if (oldest->status != CodecStatus::ok) return oldest->status;
                if (!write_all(stream_.io, oldest->out, oldest->out_length)) return CodecStatus::write_failed;
                done += oldest->n;
                if (!block_written(stream_.io, done)) return CodecStatus::stopped;
                lock.lock();
                oldest->stage = Block::free;
                ++next_write_;
                continue;
            }
            if (!input_ended && next_read_ - next_write_ < places) {
                Block* next = &ring_[static_cast<size_t>(next_read_ % places)];
                lock.unlock();
                bool got = give_buffers(next, buffers_for(stream_.direction));
                if (!got) {
                    next->status = CodecStatus::no_memory;
                } else {
                    got = read_block(stream_, next);
                }
                // A block that failed to read is the input's last.
                input_ended = !got || next->status != CodecStatus::ok;
                lock.lock();
                if (got || next->status != CodecStatus::ok) {
                    next->stage = Block::read;
                    ++next_read_;
                    if (idle_ == 0 && static_cast<int>(workers_.size()) < threads_ && !start_worker()) {
                        return CodecStatus::no_memory;
                    }
                    if (idle_ > 0) work_ready_.notify_one();
                }
                continue;
            }
            if (input_ended && next_write_ == next_read_) return CodecStatus::ok;
            block_done_.wait(lock);
        }
    }

private:
    uint8_t** filled_whole(Block* block) const {
        return stream_.direction == Direction::compress ? &block->in : &block->out;
    }

    // False when the system gives no thread at all; with one at least, the
    // job goes on with fewer.
    bool start_worker() {
        try {
            workers_.emplace_back(&Pipeline::work, this);
        } catch (const std::system_error&) {
            return !workers_.empty();
        }
        return true;
    }

    void work() {
        keep_signals_off_this_thread();
        CodecState* s = new_codec_state();
        const int64_t places = static_cast<int64_t>(ring_.size());
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            while (!quit_ && next_code_ == next_read_) {
                ++idle_;
                work_ready_.wait(lock);
                --idle_;
            }
            if (quit_) break;
            const int64_t number = next_code_++;
            Block* block = &ring_[static_cast<size_t>(number % places)];
            block->stage = Block::coding;
            lock.unlock();
            code_block(s, stream_.direction, block);
            lock.lock();
            block->stage = Block::coded;
            // The calling thread only ever waits for the oldest block: a
            // later one finished first would wake it for nothing, and a wake
            // costs a switch on its processor (far more under a layer that
            // emulates the system's waits).
            if (number == next_write_) block_done_.notify_one();
        }
        lock.unlock();
        delete_codec_state(s);
    }

    Stream& stream_;
    const int threads_;
    std::vector<Block> ring_;
    uint8_t* whole_ = nullptr;
    size_t whole_size_ = 0;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable work_ready_;  // a block waits to be coded, or quit
    std::condition_variable block_done_;  // a block has been coded
    // Blocks are numbered in file order: read up to next_read_, handed to
    // workers up to next_code_, written up to next_write_.
    int64_t next_read_ = 0;
    int64_t next_code_ = 0;
    int64_t next_write_ = 0;
    int idle_ = 0;
    bool quit_ = false;
};

CodecStatus run_stream(Stream& stream, int threads) {
    if (stream.direction == Direction::expand) {
        stream.reader.buffer = static_cast<uint8_t*>(std::malloc(ForwardReader::kCapacity));
        if (stream.reader.buffer == nullptr) return CodecStatus::no_memory;
    }
    // A job never has more workers than blocks; a job of one block has
    // nothing to share out: it runs alone, without the ring's buffers and a
    // thread to start.
    int64_t blocks = (stream.left + kBlockSize - 1) / kBlockSize;
    if (blocks < threads) threads = static_cast<int>(blocks > 0 ? blocks : 1);
    CodecStatus status;
    if (threads <= 1) {
        status = run_alone(stream);
    } else {
        Pipeline pipeline(stream, threads);
        status = pipeline.run();
    }
    std::free(stream.reader.buffer);
    return status;
}

}  // namespace

CodecStatus compress_blocks(const JobIo& io, int64_t size, int threads) {
    Stream stream{Direction::compress, io, size, ForwardReader{&io, nullptr, 0, 0, false}};
    return run_stream(stream, threads);
}

CodecStatus expand_blocks(const JobIo& io, int64_t size, int threads) {
    if (size < 0 || (size & 1) != 0) return CodecStatus::damaged;
    Stream stream{Direction::expand, io, size, ForwardReader{&io, nullptr, 0, 0, false}};
    return run_stream(stream, threads);
}

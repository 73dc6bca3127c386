// The job's pipeline: reads the input forward through the caller's read
// function, block after block, has the blocks coded by `threads` workers and
// hands each result in block order to the caller's write function.
//
// threads 1 codes every block on the calling thread and starts no thread;
// more keep at most about two blocks per worker in flight, so memory stays
// bounded whatever the input's size.  The read, write and progress
// functions are called on the calling thread only, one call at a time.
// Neither direction seeks: the input may be a pipe.  On a failure, the first
// failing block in input order decides the status and nothing behind it is
// written.
#pragma once

#include <cstdint>

#include "codec/codec_status.h"
#include "q73.h"

struct JobIo {
    q73_read_fn read;
    void* read_user;
    q73_write_fn write;
    void* write_user;
    // Called after each block is written, with the original's bytes done
    // (`base` plus the blocks' bytes) and `total`; a nonzero return stops
    // the job.  Null for none.
    q73_progress_fn progress;
    void* progress_user;
    uint64_t base;   // bytes of the original handled before the blocks
    uint64_t total;  // the whole original
};

// Reads exactly `size` bytes (even, below 2^31) and writes their blocks.
// read_failed when the input ends before.
CodecStatus compress_blocks(const JobIo& io, int64_t size, int threads);

// Produces `size` bytes (even, below 2^31) from the blocks that the input
// holds and writes them.  damaged when the blocks are cut short or broken.
CodecStatus expand_blocks(const JobIo& io, int64_t size, int threads);

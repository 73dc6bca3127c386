// The job's pipeline: reads the input forward, block after block, has the
// blocks coded by `threads` workers and writes each result in block order.
//
// threads 1 codes every block on the calling thread and starts no thread;
// more keep at most about two blocks per worker in flight, so memory stays
// bounded whatever the file's size.  Neither direction seeks: the input may
// be a pipe.  On a failure, the first failing block in file order decides
// the status and nothing behind it is written.
#pragma once

#include <cstdint>

#include "codec/codec_status.h"
#include "job/job_control.h"
#include "platform/win32.h"

// Compresses `in` from its position to its end and appends the blocks to
// `out`.
CodecStatus compress_stream(HFILE in, HFILE out, int threads, JobControl* control);

// Produces `size` bytes (even, not negative) from the blocks of `in` and
// appends them to `out`; with out == HFILE_ERROR the bytes are checked and
// dropped (a test of the file).
CodecStatus expand_stream(HFILE in, HFILE out, int32_t size, int threads, JobControl* control);

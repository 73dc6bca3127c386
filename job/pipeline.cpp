#include "job/pipeline.h"

#include "codec/dec/block_decoder.h"
#include "codec/enc/block_encoder.h"
#include "codec/job_files.h"
#include "codec/stream_records.h"
#include "codec/working_state.h"

static void block_written(JobControl* control, int64_t done) {
    control->bytes_done.store(done, std::memory_order_relaxed);
    if (control->on_block != nullptr) control->on_block(done);
}

CodecStatus compress_stream(HFILE in, HFILE out, int, JobControl* control) {
    input_file = in;
    output_file = out;
    reset_level_streams();
    int64_t done = 0;
    for (;;) {
        if (control->stop.load(std::memory_order_relaxed)) return CodecStatus::stopped;
        UINT got = _lread(in, block_buffer, static_cast<UINT>(kBlockSize));
        if (got == static_cast<UINT>(HFILE_ERROR)) return CodecStatus::read_failed;
        int32_t n = static_cast<int32_t>(got) & ~1;
        if (n == 0) return CodecStatus::ok;
        encode_block(block_buffer, n);
        CodecStatus status = write_block_records(n);
        if (status != CodecStatus::ok) return status;
        done += n;
        block_written(control, done);
    }
}

CodecStatus expand_stream(HFILE in, HFILE out, int32_t size, int, JobControl* control) {
    input_file = in;
    output_file = out;
    for (int depth = 0; depth < 20; ++depth) level_totals[depth][2] = kBlockSize >> depth;
    if (size < 0 || (size & 1) != 0) return CodecStatus::damaged;
    InputStream input[20];
    bool pool_whole = false;
    int64_t done = 0;
    while (size > 0) {
        if (control->stop.load(std::memory_order_relaxed)) return CodecStatus::stopped;
        int32_t n = size < kBlockSize ? size : kBlockSize;
        CodecStatus status = read_block_records(n, input);
        if (status == CodecStatus::ok) status = decode_block(input, n, pool_whole);
        free_block_records(input);
        if (status != CodecStatus::ok) return status;
        pool_whole = true;
        if (out != HFILE_ERROR) {
            UINT put = _lwrite(out, reinterpret_cast<LPCSTR>(block_buffer), static_cast<UINT>(n));
            if (put != static_cast<UINT>(n)) return CodecStatus::write_failed;
        }
        size -= n;
        done += n;
        block_written(control, done);
    }
    return CodecStatus::ok;
}

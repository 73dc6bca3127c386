// Runs of the codec on bytes in memory, through real files.
#pragma once

#include "codec/codec_status.h"
#include "tests/support/temp_files.h"

// The block records that compress_blocks writes for `coded` bytes (even).
Bytes encode_records(const Bytes& coded);

struct Decoded {
    CodecStatus status;
    Bytes bytes;
};

// expand_blocks(size) over `records`.
Decoded decode_records(const Bytes& records, int32_t size);

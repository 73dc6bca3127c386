// Runs of the codec on bytes in memory, through real files.
#pragma once

#include "codec/codec_status.h"
#include "tests/support/temp_files.h"

// The block records that the compressor writes for `coded` bytes (even).
Bytes encode_records(const Bytes& coded);

struct Decoded {
    CodecStatus status;
    Bytes bytes;
};

// The expander producing `size` bytes from `records`.
Decoded decode_records(const Bytes& records, int32_t size);

struct CodecState;

// The same, block after block in the caller's state, in memory.
Decoded decode_in_state(CodecState* s, const Bytes& records, int32_t size);

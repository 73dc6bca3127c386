#include "tests/support/codec_runs.h"

#include <gtest/gtest.h>

#include "codec/dec/block_decoder.h"
#include "codec/enc/block_encoder.h"
#include "codec/job_files.h"
#include "codec/working_state.h"

Bytes encode_records(const Bytes& coded) {
    TempDir dir;
    write_file(dir.file("in"), coded);
    OFSTRUCT of;
    input_file = OpenFile(dir.file("in").c_str(), &of, OF_READ);
    output_file = OpenFile(dir.file("out").c_str(), &of, OF_CREATE);
    CodecStatus status = compress_blocks(block_buffer);
    _lclose(input_file);
    _lclose(output_file);
    input_file = output_file = HFILE_ERROR;
    EXPECT_EQ(status, CodecStatus::ok);
    return read_file(dir.file("out"));
}

Decoded decode_records(const Bytes& records, int32_t size) {
    TempDir dir;
    write_file(dir.file("in"), records);
    OFSTRUCT of;
    input_file = OpenFile(dir.file("in").c_str(), &of, OF_READ);
    output_file = OpenFile(dir.file("out").c_str(), &of, OF_CREATE);
    CodecStatus status = expand_blocks(size);
    _lclose(input_file);
    _lclose(output_file);
    input_file = output_file = HFILE_ERROR;
    return Decoded{status, read_file(dir.file("out"))};
}

#include "tests/support/codec_runs.h"

#include <gtest/gtest.h>

#include <cstring>

#include "codec/dec/block_decoder.h"
#include "codec/stream_records.h"
#include "codec/working_state.h"
#include "job/pipeline.h"

Bytes encode_records(const Bytes& coded) {
    TempDir dir;
    write_file(dir.file("in"), coded);
    OFSTRUCT of;
    HFILE in = OpenFile(dir.file("in").c_str(), &of, OF_READ);
    HFILE out = OpenFile(dir.file("out").c_str(), &of, OF_CREATE);
    JobControl control;
    CodecStatus status = compress_stream(in, out, 1, &control);
    _lclose(in);
    _lclose(out);
    EXPECT_EQ(status, CodecStatus::ok);
    return read_file(dir.file("out"));
}

Decoded decode_records(const Bytes& records, int32_t size) {
    TempDir dir;
    write_file(dir.file("in"), records);
    OFSTRUCT of;
    HFILE in = OpenFile(dir.file("in").c_str(), &of, OF_READ);
    HFILE out = OpenFile(dir.file("out").c_str(), &of, OF_CREATE);
    JobControl control;
    CodecStatus status = expand_stream(in, out, size, 1, &control);
    _lclose(in);
    _lclose(out);
    return Decoded{status, read_file(dir.file("out"))};
}

namespace {

struct Source {
    const Bytes* bytes;
    size_t at;
};

bool read_source(void* source, uint8_t* data, int32_t length) {
    Source* s = static_cast<Source*>(source);
    if (s->bytes->size() - s->at < static_cast<size_t>(length)) return false;
    if (length > 0) std::memcpy(data, s->bytes->data() + s->at, static_cast<size_t>(length));
    s->at += static_cast<size_t>(length);
    return true;
}

}  // namespace

Decoded decode_in_state(CodecState* s, const Bytes& records, int32_t size) {
    Source source{&records, 0};
    Bytes buffer(kMaxReadRecordBytes);
    Decoded d{CodecStatus::ok, Bytes()};
    while (size > 0 && d.status == CodecStatus::ok) {
        int32_t n = size < kBlockSize ? size : kBlockSize;
        InputStream input[20];
        d.status = read_block_records(n, read_source, &source, buffer.data(), input);
        if (d.status == CodecStatus::ok) d.status = decode_block(s, input, n, s->block_buffer);
        if (d.status == CodecStatus::ok) d.bytes.insert(d.bytes.end(), s->block_buffer, s->block_buffer + n);
        size -= n;
    }
    return d;
}

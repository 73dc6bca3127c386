#include "tests/support/codec_runs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "codec/dec/block_decoder.h"
#include "codec/stream_records.h"
#include "codec/working_state.h"
#include "job/pipeline.h"

namespace {

struct Memory {
    const Bytes* in;
    size_t at;
    Bytes out;
};

ptrdiff_t read_memory(void* user, void* buffer, size_t size) {
    Memory* m = static_cast<Memory*>(user);
    size = std::min(size, m->in->size() - m->at);
    if (size > 0) std::memcpy(buffer, m->in->data() + m->at, size);
    m->at += size;
    return static_cast<ptrdiff_t>(size);
}

int write_memory(void* user, const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    static_cast<Memory*>(user)->out.insert(static_cast<Memory*>(user)->out.end(), bytes, bytes + size);
    return 0;
}

}  // namespace

Bytes encode_records(const Bytes& coded) {
    Memory m{&coded, 0, Bytes()};
    JobIo io{read_memory, &m, write_memory, &m, nullptr, nullptr, 0, coded.size()};
    EXPECT_EQ(compress_blocks(io, static_cast<int64_t>(coded.size()), 1), CodecStatus::ok);
    return m.out;
}

Decoded decode_records(const Bytes& records, int32_t size) {
    Memory m{&records, 0, Bytes()};
    JobIo io{read_memory, &m, write_memory, &m, nullptr, nullptr, 0, static_cast<uint64_t>(size)};
    CodecStatus status = expand_blocks(io, size, 1);
    return Decoded{status, m.out};
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

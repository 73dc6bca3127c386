#include "codec/stream_records.h"

#include <cstdlib>
#include <cstring>

#include "codec/working_state.h"

int record_count(int32_t n) {
    int r = 1;
    for (int32_t c = 1; c < n; c *= 2) ++r;
    return r;
}

void put_le32(uint8_t out[4], uint32_t value) {
    out[0] = static_cast<uint8_t>(value);
    out[1] = static_cast<uint8_t>(value >> 8);
    out[2] = static_cast<uint8_t>(value >> 16);
    out[3] = static_cast<uint8_t>(value >> 24);
}

uint32_t get_le32(const uint8_t in[4]) {
    return static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
           static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
}

static uint8_t* store_record(const LevelStream* stream, uint8_t* out) {
    int32_t length = used_length(stream);
    put_le32(out, static_cast<uint32_t>(length));
    std::memcpy(out + 4, stream->buffer, static_cast<size_t>(length));
    return out + 4 + length;
}

int32_t store_block_records(CodecState* s, int32_t n, uint8_t* out) {
    int r = record_count(n);
    uint8_t* end = store_record(&s->level_streams[kRootStream], out);
    for (int level = r - 2; level >= 0; --level) end = store_record(&s->level_streams[level], end);
    reset_level_streams(s);
    return static_cast<int32_t>(end - out);
}

// Each record's bytes are read together with the length of the record
// after it, which lands in the padding and is taken out of it again; only
// the last record of the block is read alone.
static_assert(kInputPadding >= 4, "room for the next record's length");

CodecStatus read_block_records(int32_t n, ReadBytes read, void* source, uint8_t* buffer,
                               InputStream input[20]) {
    int r = record_count(n);
    for (int depth = 0; depth < 20; ++depth) input[depth] = InputStream{nullptr, 0, 0, 0, 0};
    uint8_t head[4];
    if (!read(source, head, 4)) return CodecStatus::damaged;
    uint8_t* data = buffer;
    for (int depth = 20 - r; depth < 20; ++depth) {
        uint32_t length = get_le32(head);
        if (length > static_cast<uint32_t>(kMaxRecordLength)) return CodecStatus::damaged;
        int32_t ahead = depth < 19 ? 4 : 0;
        if (!read(source, data, static_cast<int32_t>(length) + ahead)) return CodecStatus::damaged;
        std::memcpy(head, data + length, 4);
        std::memset(data + length, 0, kInputPadding);
        input[depth] = open_input(data, static_cast<int32_t>(length));
        data += length + kInputPadding;
    }
    return CodecStatus::ok;
}

#include "codec/stream_records.h"

#include <cstdlib>
#include <cstring>

#include "codec/job_files.h"
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

static bool write_all(const void* data, int32_t length) {
    if (length == 0) return true;
    UINT put = _lwrite(output_file, static_cast<LPCSTR>(data), static_cast<UINT>(length));
    return put == static_cast<UINT>(length);
}

static bool write_record(const LevelStream* stream) {
    int32_t length = used_length(stream);
    uint8_t head[4];
    put_le32(head, static_cast<uint32_t>(length));
    return write_all(head, 4) && write_all(stream->buffer, length);
}

CodecStatus write_block_records(int32_t n) {
    int r = record_count(n);
    bool ok = write_record(&level_streams[kRootStream]);
    for (int level = r - 2; ok && level >= 0; --level) ok = write_record(&level_streams[level]);
    reset_level_streams();
    return ok ? CodecStatus::ok : CodecStatus::write_failed;
}

static bool read_all(void* data, int32_t length) {
    if (length == 0) return true;
    UINT got = _lread(input_file, data, static_cast<UINT>(length));
    return got == static_cast<UINT>(length);
}

// Each record's bytes are read together with the length of the record
// after it, which lands in the padding and is taken out of it again; only
// the last record of the block is read alone.
static_assert(kInputPadding >= 4, "room for the next record's length");

CodecStatus read_block_records(int32_t n, InputStream input[20]) {
    int r = record_count(n);
    for (int depth = 0; depth < 20; ++depth) input[depth] = InputStream{nullptr, 0, 0, 0, 0};
    uint8_t head[4];
    if (!read_all(head, 4)) return CodecStatus::damaged;
    for (int depth = 20 - r; depth < 20; ++depth) {
        uint32_t length = get_le32(head);
        if (length > static_cast<uint32_t>(kMaxRecordLength)) return CodecStatus::damaged;
        uint8_t* data = static_cast<uint8_t*>(std::calloc(length + kInputPadding, 1));
        if (data == nullptr) return CodecStatus::no_memory;
        input[depth] = InputStream{data, 0, 0, 0, 0};
        int32_t ahead = depth < 19 ? 4 : 0;
        if (!read_all(data, static_cast<int32_t>(length) + ahead)) return CodecStatus::damaged;
        std::memcpy(head, data + length, 4);
        std::memset(data + length, 0, 4);
        input[depth] = open_input(data, static_cast<int32_t>(length));
    }
    return CodecStatus::ok;
}

void free_block_records(InputStream input[20]) {
    for (int depth = 0; depth < 20; ++depth) {
        std::free(const_cast<uint8_t*>(input[depth].data));
        input[depth].data = nullptr;
    }
}

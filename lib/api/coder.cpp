// The coder that the caller pushes its input into, piece by piece.
//
// A compressor gathers each block's bytes in its state's block buffer and
// codes the block when its last byte arrives.  An expander gathers a
// block's records whole (their lengths tell where the block ends), then
// opens them and decodes the block.  Either way one block is in memory at a
// time, whatever the size of the pieces.
#include <cstdlib>
#include <cstring>
#include <new>

#include "api/job_parts.h"
#include "codec/dec/block_decoder.h"
#include "codec/enc/block_encoder.h"
#include "codec/stream_records.h"
#include "codec/working_state.h"

struct q73_coder {
    bool compressing;
    q73_result result;  // once not Q73_OK, the job's end
    CodecState* state;
    uint8_t* records;   // a block's records: made (compressing) or gathered
    uint64_t done;      // bytes of the original coded or written
    uint64_t total;
    int32_t fill;       // bytes gathered of the current block
    int32_t n;          // the current block's length
    // Compression.
    uint8_t extension[3];
    bool stores_extension;
    bool header_written;
    // Expansion.
    uint8_t head[kMaxHeaderSize];
    int head_have;
    bool header_read;
    Header header;
    int records_left;   // records of the current block not yet whole
    int32_t record_end; // where, in `records`, the record being gathered ends
    bool in_length;     // gathering a record's length rather than its data
    uint8_t* opened;    // the records with room behind each, for the decoder
};

namespace {

q73_coder* new_coder(bool compressing) {
    q73_coder* c = new (std::nothrow) q73_coder{};
    if (c == nullptr) return nullptr;
    c->compressing = compressing;
    c->state = new_codec_state();
    c->records = static_cast<uint8_t*>(std::malloc(kMaxBlockRecordBytes));
    if (!compressing) c->opened = static_cast<uint8_t*>(std::malloc(kMaxReadRecordBytes));
    if (c->state == nullptr || c->records == nullptr || (!compressing && c->opened == nullptr)) {
        q73_coder_free(c);
        return nullptr;
    }
    return c;
}

q73_result fail(q73_coder* c, q73_result result) {
    if (c->result == Q73_OK) c->result = result;
    return c->result;
}

int32_t next_block_length(const q73_coder* c) {
    uint64_t left = (c->total - c->done) & ~uint64_t{1};
    return left < static_cast<uint64_t>(kBlockSize) ? static_cast<int32_t>(left) : kBlockSize;
}

/**** Compression ****/

q73_result write_compress_header(q73_coder* c, uint8_t first, q73_write_fn write, void* user) {
    uint8_t header[kMaxHeaderSize];
    int size = write_header(header, static_cast<uint32_t>(c->total), first,
                            c->stores_extension ? c->extension : nullptr);
    if (write(user, header, static_cast<size_t>(size)) != 0) return fail(c, Q73_WRITE_FAILED);
    c->header_written = true;
    c->done = c->total & 1;
    c->n = next_block_length(c);
    return Q73_OK;
}

q73_result push_to_compress(q73_coder* c, const uint8_t* data, size_t size, q73_write_fn write, void* user) {
    if (!c->header_written) {
        // An odd length's first byte goes raw into the header.
        if ((c->total & 1) && size == 0) return Q73_OK;
        uint8_t first = (c->total & 1) ? *data : 0;
        if (c->total & 1) {
            ++data;
            --size;
        }
        if (write_compress_header(c, first, write, user) != Q73_OK) return c->result;
    }
    while (size > 0) {
        if (c->n == 0) return fail(c, Q73_READ_FAILED);  // more than the length said
        size_t take = static_cast<size_t>(c->n - c->fill);
        if (take > size) take = size;
        std::memcpy(c->state->block_buffer + c->fill, data, take);
        c->fill += static_cast<int32_t>(take);
        data += take;
        size -= take;
        if (c->fill < c->n) break;
        encode_block(c->state, c->state->block_buffer, c->n);
        int32_t length = store_block_records(c->state, c->n, c->records);
        if (write(user, c->records, static_cast<size_t>(length)) != 0) return fail(c, Q73_WRITE_FAILED);
        c->done += static_cast<uint64_t>(c->n);
        c->fill = 0;
        c->n = next_block_length(c);
    }
    return Q73_OK;
}

/**** Expansion ****/

bool read_gathered(void* source, uint8_t* data, int32_t length) {
    uint8_t** at = static_cast<uint8_t**>(source);
    std::memcpy(data, *at, static_cast<size_t>(length));
    *at += length;
    return true;
}

void start_block(q73_coder* c) {
    c->n = next_block_length(c);
    c->fill = 0;
    c->records_left = c->n > 0 ? record_count(c->n) : 0;
    c->record_end = 4;
    c->in_length = true;
}

q73_result take_header(q73_coder* c, const uint8_t** data, size_t* size, q73_write_fn write, void* user) {
    while (*size > 0 && !c->header_read) {
        c->head[c->head_have++] = *(*data)++;
        --*size;
        if ((c->head[0] & kFlagFormatMark) == 0) return fail(c, Q73_BAD_DATA);
        if (c->head_have < header_size_for(c->head[0])) continue;
        if (!parse_header(c->head, static_cast<size_t>(c->head_have), &c->header)) return fail(c, Q73_BAD_DATA);
        c->header_read = true;
        c->total = c->header.length;
        if ((c->total & 1) && write(user, &c->header.first, 1) != 0) return fail(c, Q73_WRITE_FAILED);
        c->done = c->total & 1;
        start_block(c);
    }
    return Q73_OK;
}

q73_result decode_gathered(q73_coder* c, q73_write_fn write, void* user) {
    InputStream input[20];
    uint8_t* at = c->records;
    CodecStatus status = read_block_records(c->n, read_gathered, &at, c->opened, input);
    if (status == CodecStatus::ok) status = decode_block(c->state, input, c->n, c->state->block_buffer);
    if (status != CodecStatus::ok) return fail(c, result_of(status));
    if (write(user, c->state->block_buffer, static_cast<size_t>(c->n)) != 0) return fail(c, Q73_WRITE_FAILED);
    c->done += static_cast<uint64_t>(c->n);
    start_block(c);
    return Q73_OK;
}

q73_result push_to_expand(q73_coder* c, const uint8_t* data, size_t size, q73_write_fn write, void* user) {
    if (take_header(c, &data, &size, write, user) != Q73_OK) return c->result;
    while (size > 0 && c->records_left > 0) {
        size_t take = static_cast<size_t>(c->record_end - c->fill);
        if (take > size) take = size;
        std::memcpy(c->records + c->fill, data, take);
        c->fill += static_cast<int32_t>(take);
        data += take;
        size -= take;
        if (c->fill < c->record_end) break;
        if (c->in_length) {
            uint32_t length = get_le32(c->records + c->fill - 4);
            if (length > static_cast<uint32_t>(kMaxRecordLength)) return fail(c, Q73_BAD_DATA);
            c->record_end += static_cast<int32_t>(length);
            c->in_length = false;
        }
        if (!c->in_length && c->fill == c->record_end) {
            c->in_length = true;
            c->record_end += 4;
            if (--c->records_left == 0 && decode_gathered(c, write, user) != Q73_OK) return c->result;
        }
    }
    // What follows the last block is not looked at.
    return Q73_OK;
}

}  // namespace

extern "C" q73_result q73_coder_compress(uint64_t size, const char* extension, q73_coder** coder) {
    if (coder == nullptr) return Q73_BAD_ARGUMENT;
    *coder = nullptr;
    if (!valid_extension_argument(extension)) return Q73_BAD_ARGUMENT;
    if (size > kMaxOriginalLength) return Q73_TOO_LARGE;
    q73_coder* c = new_coder(true);
    if (c == nullptr) return Q73_NO_MEMORY;
    c->total = size;
    c->stores_extension = extension != nullptr;
    if (extension != nullptr) std::memcpy(c->extension, extension, 3);
    *coder = c;
    return Q73_OK;
}

extern "C" q73_result q73_coder_expand(q73_coder** coder) {
    if (coder == nullptr) return Q73_BAD_ARGUMENT;
    *coder = new_coder(false);
    return *coder != nullptr ? Q73_OK : Q73_NO_MEMORY;
}

extern "C" q73_result q73_coder_push(q73_coder* coder, const void* data, size_t size, q73_write_fn write,
                                     void* write_user) {
    if (coder == nullptr) return Q73_BAD_ARGUMENT;
    if (coder->result != Q73_OK) return coder->result;
    if (write == nullptr || (data == nullptr && size > 0)) return fail(coder, Q73_BAD_ARGUMENT);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    return coder->compressing ? push_to_compress(coder, bytes, size, write, write_user)
                              : push_to_expand(coder, bytes, size, write, write_user);
}

extern "C" q73_result q73_coder_finish(q73_coder* coder, q73_write_fn write, void* write_user) {
    if (coder == nullptr) return Q73_BAD_ARGUMENT;
    if (coder->result != Q73_OK) return coder->result;
    if (coder->compressing) {
        if (!coder->header_written && coder->total == 0) {
            if (write == nullptr) return fail(coder, Q73_BAD_ARGUMENT);
            if (write_compress_header(coder, 0, write, write_user) != Q73_OK) return coder->result;
        }
        if (!coder->header_written || coder->done != coder->total) return fail(coder, Q73_READ_FAILED);
        return Q73_OK;
    }
    if (!coder->header_read || coder->done != coder->total) return fail(coder, Q73_BAD_DATA);
    return Q73_OK;
}

extern "C" q73_result q73_coder_header(const q73_coder* coder, q73_header* header) {
    if (coder == nullptr || header == nullptr) return Q73_BAD_ARGUMENT;
    *header = q73_header{};
    if (coder->compressing) return Q73_BAD_ARGUMENT;
    if (coder->header_read) return q73_read_header(coder->head, static_cast<size_t>(coder->head_have), header);
    if (coder->head_have > 0 && (coder->head[0] & kFlagFormatMark) == 0) return Q73_BAD_DATA;
    return coder->result == Q73_BAD_DATA ? Q73_BAD_DATA : Q73_SHORT_OUTPUT;
}

extern "C" uint64_t q73_coder_done(const q73_coder* coder) {
    return coder != nullptr ? coder->done : 0;
}

extern "C" void q73_coder_free(q73_coder* coder) {
    if (coder == nullptr) return;
    delete_codec_state(coder->state);
    std::free(coder->records);
    std::free(coder->opened);
    delete coder;
}

// Compression and expansion from a buffer into a buffer, as streams over
// memory.
#include <cstring>

#include "api/job_parts.h"
#include "codec/stream_records.h"
#include "codec/working_state.h"

namespace {

struct MemoryIn {
    const uint8_t* at;
    size_t left;
};

ptrdiff_t read_memory(void* user, void* buffer, size_t size) {
    MemoryIn* in = static_cast<MemoryIn*>(user);
    if (size > in->left) size = in->left;
    if (size > 0) std::memcpy(buffer, in->at, size);
    in->at += size;
    in->left -= size;
    return static_cast<ptrdiff_t>(size);
}

// A write that does not fit writes nothing and fails the job.
struct MemoryOut {
    uint8_t* data;
    size_t capacity;
    size_t size;
    bool overflowed;
};

int write_memory(void* user, const void* data, size_t size) {
    MemoryOut* out = static_cast<MemoryOut*>(user);
    if (size > out->capacity - out->size) {
        out->overflowed = true;
        return 1;
    }
    std::memcpy(out->data + out->size, data, size);
    out->size += size;
    return 0;
}

q73_result finish(q73_result result, const MemoryOut& out, size_t* dst_size) {
    if (result == Q73_WRITE_FAILED && out.overflowed) result = Q73_SHORT_OUTPUT;
    *dst_size = result == Q73_OK ? out.size : 0;
    return result;
}

}  // namespace

extern "C" size_t q73_compress_bound(size_t size) {
    if (static_cast<uint64_t>(size) > kMaxOriginalLength) return 0;
    // Every block at its records' full capacity: the root stream and one
    // record per level below the block's top.
    size_t bound = kMaxHeaderSize;
    for (size_t left = size & ~size_t{1}; left > 0;) {
        int32_t n = left < kBlockSize ? static_cast<int32_t>(left) : kBlockSize;
        bound += static_cast<size_t>(record_count(n)) * (4 + kMaxRecordLength);
        left -= static_cast<size_t>(n);
    }
    return bound;
}

extern "C" q73_result q73_compress(const void* src, size_t src_size, const char* extension, void* dst,
                                   size_t dst_capacity, size_t* dst_size, const q73_options* options) {
    if (dst_size == nullptr) return Q73_BAD_ARGUMENT;
    *dst_size = 0;
    if ((src == nullptr && src_size > 0) || (dst == nullptr && dst_capacity > 0)) return Q73_BAD_ARGUMENT;
    MemoryIn in{static_cast<const uint8_t*>(src), src_size};
    MemoryOut out{static_cast<uint8_t*>(dst), dst_capacity, 0, false};
    q73_result result = q73_compress_stream(read_memory, &in, src_size, extension, write_memory, &out, options);
    return finish(result, out, dst_size);
}

extern "C" q73_result q73_expand(const void* src, size_t src_size, void* dst, size_t dst_capacity,
                                 size_t* dst_size, const q73_options* options) {
    if (dst_size == nullptr) return Q73_BAD_ARGUMENT;
    *dst_size = 0;
    if ((src == nullptr && src_size > 0) || (dst == nullptr && dst_capacity > 0)) return Q73_BAD_ARGUMENT;
    q73_header header;
    q73_result result = q73_read_header(src, src_size, &header);
    if (result != Q73_OK) return result;
    if (header.original_size > dst_capacity) return Q73_SHORT_OUTPUT;
    MemoryIn in{static_cast<const uint8_t*>(src), src_size};
    MemoryOut out{static_cast<uint8_t*>(dst), dst_capacity, 0, false};
    result = q73_expand_stream(read_memory, &in, write_memory, &out, options);
    return finish(result, out, dst_size);
}

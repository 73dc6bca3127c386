// The header and the streams that the library pulls.
#include <cstring>

#include "api/job_parts.h"
#include "job/pipeline.h"

namespace {

bool progress_goes_on(const JobIo& io, uint64_t done) {
    return io.progress == nullptr || io.progress(io.progress_user, done, io.total) == 0;
}

}  // namespace

extern "C" q73_result q73_read_header(const void* data, size_t size, q73_header* header) {
    if (header == nullptr) return Q73_BAD_ARGUMENT;
    *header = q73_header{};
    if (data == nullptr && size > 0) return Q73_BAD_ARGUMENT;
    Header h;
    if (data == nullptr || !parse_header(static_cast<const uint8_t*>(data), size, &h)) return Q73_BAD_DATA;
    header->original_size = h.length;
    if (h.flags & kFlagExtensionStored) {
        std::memcpy(header->extension, h.extension, 3);
        header->extension[3] = '\0';
    }
    header->header_size = static_cast<size_t>(h.size);
    return Q73_OK;
}

extern "C" q73_result q73_compress_stream(q73_read_fn read, void* read_user, uint64_t size,
                                          const char* extension, q73_write_fn write,
                                          void* write_user, const q73_options* options) {
    if (read == nullptr || write == nullptr || !valid_extension_argument(extension)) return Q73_BAD_ARGUMENT;
    if (size > kMaxOriginalLength) return Q73_TOO_LARGE;
    JobIo io{read, read_user, write, write_user, nullptr, nullptr, size & 1, size};
    if (options != nullptr) {
        io.progress = options->progress;
        io.progress_user = options->progress_user;
    }
    // An odd length's first byte is stored raw in the header.
    uint8_t first = 0;
    if ((size & 1) && read(read_user, &first, 1) != 1) return Q73_READ_FAILED;
    uint8_t header[kMaxHeaderSize];
    int header_size = write_header(header, static_cast<uint32_t>(size), first,
                                   reinterpret_cast<const uint8_t*>(extension));
    if (write(write_user, header, static_cast<size_t>(header_size)) != 0) return Q73_WRITE_FAILED;
    if (!progress_goes_on(io, io.base)) return Q73_STOPPED;
    return result_of(compress_blocks(io, static_cast<int64_t>(size & ~uint64_t{1}), worker_count(options)));
}

extern "C" q73_result q73_expand_stream(q73_read_fn read, void* read_user, q73_write_fn write,
                                        void* write_user, const q73_options* options) {
    if (read == nullptr || write == nullptr) return Q73_BAD_ARGUMENT;
    Header header;
    q73_result result = read_header_from(read, read_user, &header);
    if (result != Q73_OK) return result;
    JobIo io{read, read_user, write, write_user, nullptr, nullptr, header.length & 1u, header.length};
    if (options != nullptr) {
        io.progress = options->progress;
        io.progress_user = options->progress_user;
    }
    if ((header.length & 1) && write(write_user, &header.first, 1) != 0) return Q73_WRITE_FAILED;
    if (!progress_goes_on(io, io.base)) return Q73_STOPPED;
    return result_of(expand_blocks(io, static_cast<int64_t>(header.length & ~1u), worker_count(options)));
}

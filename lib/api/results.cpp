// The version, the results' texts and the options.

#include "api/job_parts.h"
#include "system/processors.h"

namespace {
// Enough for any machine; a count beyond it would only take memory.
constexpr unsigned kMostWorkers = 512;
}  // namespace

extern "C" const char* q73_version(void) {
    return Q73_VERSION_STRING;
}

extern "C" const char* q73_result_text(q73_result result) {
    switch (result) {
        case Q73_OK: return "Done.";
        case Q73_BAD_DATA: return "The data is not Q73 data, or it is damaged or cut short.";
        case Q73_SHORT_OUTPUT: return "The output does not fit in the room given.";
        case Q73_TOO_LARGE: return "The input is too large (2 GB or more).";
        case Q73_NO_MEMORY: return "There is not enough memory.";
        case Q73_READ_FAILED: return "The input could not be read, or it ended early.";
        case Q73_WRITE_FAILED: return "The output could not be written.";
        case Q73_STOPPED: return "The job was stopped.";
        case Q73_BAD_ARGUMENT: return "An argument is out of its range.";
    }
    return "Unknown result.";
}

q73_result result_of(CodecStatus status) {
    switch (status) {
        case CodecStatus::ok: return Q73_OK;
        case CodecStatus::read_failed: return Q73_READ_FAILED;
        case CodecStatus::write_failed: return Q73_WRITE_FAILED;
        case CodecStatus::damaged: return Q73_BAD_DATA;
        case CodecStatus::no_memory: return Q73_NO_MEMORY;
        case CodecStatus::stopped: return Q73_STOPPED;
    }
    return Q73_BAD_DATA;
}

int worker_count(const q73_options* options) {
    unsigned threads = options != nullptr ? options->threads : 0;
    if (threads == Q73_ALL_PROCESSORS) threads = static_cast<unsigned>(usable_processors());
    if (threads > kMostWorkers) threads = kMostWorkers;
    return threads > 1 ? static_cast<int>(threads) : 1;
}

q73_result read_header_from(q73_read_fn read, void* user, Header* header) {
    uint8_t bytes[kMaxHeaderSize];
    int have = 0;
    int want = 1;
    while (have < want) {
        ptrdiff_t got = read(user, bytes + have, static_cast<size_t>(want - have));
        if (got < 0 || got > want - have) return Q73_READ_FAILED;
        if (got == 0) return Q73_BAD_DATA;
        have += static_cast<int>(got);
        if (have == 1) {
            if ((bytes[0] & kFlagFormatMark) == 0) return Q73_BAD_DATA;
            want = header_size_for(bytes[0]);
        }
    }
    return parse_header(bytes, static_cast<size_t>(have), header) ? Q73_OK : Q73_BAD_DATA;
}

// Expansion of arbitrary bytes.
//
// Each input is written as a compressed file and expanded by the real job,
// exactly as the program does it for `q73 NAME.q73`.  Whatever the bytes,
// the job must not crash (the sanitizers watch every read and write), and
// it must end in one of two ways:
//   - a reported failure, with nothing but the compressed file left in the
//     folder, or
//   - success, with one restored file beside the compressed one, as long as
//     the header's length field says.
// The compressed file itself must never change.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/status_job.h"
#include "format/container.h"
#include "tests/fuzz/fuzz_folder.h"

namespace {

const char kCompressedName[] = "sample.q73";

// The uncompressed length the header announces, or -1 when the input is
// too short to hold a header.
int64_t announced_length(const uint8_t* data, size_t size) {
    if (size < 1) return -1;
    size_t at = 1;
    if (data[0] & 0x02) at += 1;  // the raw first byte of an odd length
    if (data[0] & FLAG_EXTENSION_STORED) at += 3;
    if (size < at + 4) return -1;
    return static_cast<int64_t>(data[at]) | static_cast<int64_t>(data[at + 1]) << 8 |
           static_cast<int64_t>(data[at + 2]) << 16 | static_cast<int64_t>(data[at + 3]) << 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Two workers, so that the threaded pipeline is what the inputs meet.
    requested_threads = 2;
    const std::string compressed = fuzz::path_in_folder(kCompressedName);
    fuzz::write_whole_file(compressed, data, size);
    if (compressed.size() >= sizeof file_name) fuzz::fail("fuzz folder path too long");
    std::strcpy(file_name, compressed.c_str());
    job_failed = false;
    job_files.output_name[0] = '\0';

    expand_job(nullptr);
    // A failure inside the container leaves the compressed file open until
    // the run ends; one run here is many jobs, so close it.
    close_input_file(&job_files);
    if (job_files.output_file != HFILE_ERROR) fuzz::fail("output file left open");

    std::vector<std::string> entries = fuzz::folder_entries();
    if (fuzz::read_whole_file(compressed) != std::vector<uint8_t>(data, data + size)) {
        fuzz::fail("the compressed file was changed");
    }
    if (job_failed) {
        if (entries.size() != 1) fuzz::fail("a failed expansion left a file behind");
    } else {
        if (entries.size() != 2) fuzz::fail("a finished expansion did not leave one file");
        std::string restored = entries[0] == kCompressedName ? entries[1] : entries[0];
        std::vector<uint8_t> bytes = fuzz::read_whole_file(fuzz::path_in_folder(restored));
        if (static_cast<int64_t>(bytes.size()) != announced_length(data, size)) {
            fuzz::fail("restored length differs from the length field");
        }
    }
    fuzz::empty_folder();
    return 0;
}

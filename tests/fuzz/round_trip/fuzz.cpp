// Compression of arbitrary bytes, then expansion of the result.
//
// Both runs are the real jobs, as `q73 NAME` runs them.  Compressing any
// file must succeed and leave the compressed file beside it; expanding that
// file, with the original moved out of the way, must succeed and give back
// exactly the original bytes under the original name.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/status_job.h"
#include "format/container.h"
#include "tests/fuzz/fuzz_folder.h"

namespace {

void run_job(const std::string& path, void (*job)(HWND)) {
    if (path.size() >= sizeof file_name) fuzz::fail("fuzz folder path too long");
    std::strcpy(file_name, path.c_str());
    job_failed = false;
    job(nullptr);
    close_input_file(&job_files);
    if (job_files.output_file != HFILE_ERROR) fuzz::fail("output file left open");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Two workers, so that the threaded pipeline is what the inputs meet.
    requested_threads = 2;
    const std::vector<uint8_t> original(data, data + size);
    const std::string plain = fuzz::path_in_folder("sample.txt");
    const std::string compressed = fuzz::path_in_folder("sample.Q73");
    const std::string kept = fuzz::path_in_folder("original");
    fuzz::write_whole_file(plain, data, size);

    run_job(plain, compress_job);
    if (job_failed) fuzz::fail("compression reported a failure");
    if (fuzz::read_whole_file(plain) != original) fuzz::fail("compression changed its input");
    if (rename(plain.c_str(), kept.c_str()) != 0) fuzz::fail("cannot move the original away");

    run_job(compressed, expand_job);
    if (job_failed) fuzz::fail("expansion of a fresh compressed file failed");
    if (fuzz::read_whole_file(plain) != original) fuzz::fail("expansion did not give the input back");
    fuzz::empty_folder();
    return 0;
}

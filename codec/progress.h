// How far a codec run has come, for whoever shows it.
//
// The job sets progress_hook before it runs the codec; the codec calls it
// after each block with the number of uncompressed bytes handled so far in
// this run: read from input_file when compressing, written to output_file
// when expanding.  The codec knows nothing of what the hook does with it;
// a null hook costs one test per block.
#pragma once

#include <cstdint>

typedef void (*ProgressHook)(int64_t bytes_done);

extern ProgressHook progress_hook;

inline void report_progress(int64_t bytes_done) {
    if (progress_hook != nullptr) progress_hook(bytes_done);
}

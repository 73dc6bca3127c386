// The program's jobs run in this process on files in a folder, with what
// they report captured.
#pragma once

#include <string>
#include <vector>

#include "tests/support/temp_files.h"

struct JobRun {
    bool failed;          // the job stopped on a reported failure
    std::string message;  // what it reported (empty after success)
    bool output_left_open;  // the job returned with output_file still open
};

// Runs the compress or the expand job on `path`, as `q73 PATH` would, and
// closes whatever the job leaves open.
JobRun run_compress_job(const std::string& path);
JobRun run_expand_job(const std::string& path);

// The names of the files in a folder, sorted.

#include "tests/faults/job_runs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "app/status_job.h"
#include "format/container.h"

// Error messages go to stderr; it is pointed at a file while the job runs.
static JobRun run_job(const std::string& path, void (*job)(HWND)) {
    if (path.size() >= sizeof file_name) throw std::runtime_error("path too long: " + path);
    std::strcpy(file_name, path.c_str());
    job_failed = false;

    char capture_name[] = "/tmp/q73-messages-XXXXXX";
    int capture = mkstemp(capture_name);
    if (capture < 0) throw std::runtime_error("mkstemp failed");
    std::fflush(stderr);
    int saved = dup(2);
    dup2(capture, 2);
    job(nullptr);
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    close_input_file(&job_files);
    bool left_open = job_files.output_file != HFILE_ERROR;
    discard_output_file(&job_files);

    std::string message;
    char chunk[512];
    lseek(capture, 0, SEEK_SET);
    for (ssize_t got; (got = read(capture, chunk, sizeof chunk)) > 0;) message.append(chunk, got);
    close(capture);
    unlink(capture_name);
    while (!message.empty() && message.back() == '\n') message.pop_back();
    return JobRun{job_failed, message, left_open};
}

JobRun run_compress_job(const std::string& path) { return run_job(path, compress_job); }
JobRun run_expand_job(const std::string& path) { return run_job(path, expand_job); }


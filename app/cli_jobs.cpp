#include "app/cli_jobs.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "app/command_line.h"
#include "app/startup.h"
#include "app/status_job.h"
#include "format/container.h"
#include "platform/files.h"
#include "platform/linux/spooled_input.h"

static const char* const kMsgNoRestoredName =
    "ERROR: Name does not end in .q73 (name the output with -o, or use -c)";
static const char* const kMsgCannotSpool =
    "ERROR: Can't keep standard input in a temporary file (is the disk full?)";
static const char* const kMsgCannotRemoveIn = "ERROR: Can't remove in file";

bool compresses(const CliOptions& options, const std::string& name) {
    if (options.mode == CliMode::by_name) return !names_compressed_file(name.c_str());
    return options.mode == CliMode::compress;
}

bool writes_stdout(const CliOptions& options, const std::string& name) {
    if (options.mode == CliMode::test) return false;
    return options.to_stdout || options.output == "-" || (name == "-" && options.output.empty());
}

// Sets input_stream for a job on standard input: itself when expanding,
// which reads forward only, or a copy in a temporary file when compressing,
// whose length comes first.  False after a reported failure.
static bool take_standard_input(bool compressing) {
    if (!compressing) {
        job_files.input_stream = dup(STDIN_FILENO);
        if (job_files.input_stream == HFILE_ERROR) report_error(kMsgCannotOpenIn);
        return job_files.input_stream != HFILE_ERROR;
    }
    switch (spool_to_unnamed_file(STDIN_FILENO, kMaxFileLength, &job_files.input_stream)) {
        case SpoolStatus::ok: return true;
        case SpoolStatus::read_failed: report_error(kMsgReadFailed); break;
        case SpoolStatus::write_failed: report_error(kMsgCannotSpool); break;
        case SpoolStatus::too_large: report_error(kMsgTooLarge); break;
    }
    return false;
}

// One job; false after a reported failure.
static bool run_cli_job(const CliOptions& options, const std::string& name) {
    bool compressing = compresses(options, name);
    bool to_stdout = writes_stdout(options, name);
    bool from_stdin = name == "-";
    if (name.size() > sizeof file_name - 1) {
        report_error(kMsgNameTooLong);
        return false;
    }
    if (!compressing && !to_stdout && options.output.empty() && !from_stdin &&
        options.mode != CliMode::test && !names_compressed_file(name.c_str())) {
        report_error(kMsgNoRestoredName);
        return false;
    }
    job_files.output_stream = to_stdout ? STDOUT_FILENO : HFILE_ERROR;
    job_files.output_choice = to_stdout || options.output.empty() ? nullptr : options.output.c_str();
    if (from_stdin && !take_standard_input(compressing)) return false;
    job_choice = compressing ? JobChoice::compress : JobChoice::expand;
    std::memcpy(file_name, name.c_str(), name.size() + 1);
    bool ok = run_one_job();
    // A job refused before it began may leave its input open.
    close_input_file(&job_files);
    job_files.input_stream = HFILE_ERROR;
    if (!ok) return false;
    if (options.mode == CliMode::test && !options.quiet) {
        std::fprintf(stderr, "%s: OK\n", name.c_str());
    }
    // The output is whole and on the disk, its name too: the input may go.
    if (options.remove_input && !from_stdin && !remove_file(name.c_str())) {
        report_error(kMsgCannotRemoveIn);
        return false;
    }
    return true;
}

int run_cli_jobs(const CliOptions& options, const std::vector<std::string>& names) {
    job_files.checking_only = options.mode == CliMode::test;
    job_files.sync_output_folder = options.remove_input;
    job_files.always_sync_output = options.sync;
    int failures = 0;
    for (const std::string& name : names) {
        // With several files, a message names the one it is about.
        error_subject = names.size() > 1 ? name.c_str() : nullptr;
        if (!run_cli_job(options, name)) ++failures;
    }
    error_subject = nullptr;
    file_name[0] = '\0';
    return failures;
}

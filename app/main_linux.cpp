// The command-line program: `q73 [OPTION]... [FILE]...`, one job per FILE.
// Dialogs become terminal text (see platform/linux/windows.cpp).  Exit
// status 0 when every job succeeded (or after the about text, the help or
// the version), 1 when any job failed, 2 on a usage error.
#include <malloc.h>
#include <unistd.h>

#include <cstdio>

#include "app/cli_jobs.h"
#include "app/cli_list.h"
#include "app/cli_options.h"
#include "app/cli_walk.h"
#include "app/linux_layouts.h"
#include "app/startup.h"
#include "app/status_job.h"
#include "format/container.h"
#include "platform/linux/text_dialogs.h"

static const char* const kMsgCompressedToTerminal =
    "ERROR: Compressed data is not written to a terminal (redirect standard output)";
static const char* const kMsgCompressedFromTerminal =
    "ERROR: Compressed data is not read from a terminal (redirect standard input)";

// Compressed bytes on a terminal help nobody and can upset it; expanded
// files may go there, as with cat.  Nor is a terminal read as compressed
// data: the user would be typing it.  Refused before any job runs.
static const char* terminal_refusal(const CliOptions& options,
                                    const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        bool compressing = options.mode != CliMode::list && compresses(options, name);
        if (compressing && writes_stdout(options, name) && isatty(STDOUT_FILENO)) {
            return kMsgCompressedToTerminal;
        }
        if (!compressing && name == "-" && isatty(STDIN_FILENO)) return kMsgCompressedFromTerminal;
    }
    return nullptr;
}

int main(int argc, char** argv) {
    // The expander allocates the stream records of every block and frees
    // them after it, a few hundred KB each time; the heap would hand that
    // memory back to the system at each free and take it in again, page by
    // page, for the next block.
    mallopt(M_TRIM_THRESHOLD, 16 << 20);
    CliOptions options = parse_cli(argc, argv);
    if (!options.error.empty()) {
        std::fprintf(stderr, "q73: %s\nTry 'q73 --help' for more information.\n",
                     options.error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kUsageText, stdout);
        return 0;
    }
    if (options.version) {
        std::puts(kVersionLine);
        return 0;
    }
    // Quiet with nothing to do: the about text is not an error, so nothing
    // is printed, and a script's empty list of files is no failure.
    if (options.quiet && options.files.empty()) return 0;
    register_linux_layouts();
    requested_threads = options.threads;
    if (options.files.empty()) return run_jobs(options.files);

    bool expanding = options.mode == CliMode::expand || options.mode == CliMode::test ||
                     options.mode == CliMode::list;
    int failures = 0;
    std::vector<std::string> names =
        collect_job_names(options.files, options.recursive, expanding, options.quiet, &failures);
    if (const char* refusal = terminal_refusal(options, names)) {
        std::fprintf(stderr, "%s\n", refusal);
        return 1;
    }
    if (options.mode == CliMode::list) {
        failures += list_compressed_files(names);
        return failures == 0 ? 0 : 1;
    }
    if (options.quiet || options.mode == CliMode::test) show_message_boxes_only();
    for (const std::string& name : names) {
        if (writes_stdout(options, name)) print_results_to_stderr();
    }
    failures += run_cli_jobs(options, names);
    return failures == 0 ? 0 : 1;
}

// The command-line program: `q73 [OPTION]... [FILE]...`, one job per FILE.
// Dialogs become terminal text (see platform/linux/windows.cpp).  Exit
// status 0 when every job succeeded (or after the about text, the help or
// the version), 1 when any job failed, 2 on a usage error.
#include <malloc.h>
#include <unistd.h>

#include <cstdio>

#include "app/cli_options.h"
#include "app/command_line.h"
#include "app/linux_layouts.h"
#include "app/startup.h"
#include "app/status_job.h"
#include "format/container.h"
#include "platform/linux/text_dialogs.h"

static const char* const kMsgCompressedToTerminal =
    "ERROR: Compressed data is not written to a terminal (redirect standard output)";

// Compressed bytes on a terminal help nobody and can upset it; expanded
// files may go there, as with cat.
static bool compresses_any(const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        if (!names_compressed_file(name.c_str())) return true;
    }
    return false;
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
    if (options.quiet) show_message_boxes_only();
    if (options.to_stdout) {
        if (isatty(STDOUT_FILENO) && compresses_any(options.files)) {
            std::fprintf(stderr, "%s\n", kMsgCompressedToTerminal);
            return 1;
        }
        output_stream = STDOUT_FILENO;
        print_results_to_stderr();
    }
    file_name[0] = '\0';
    return run_jobs(options.files) == 0 ? 0 : 1;
}

#include "app/cli_options.h"

#include <cstring>

const char* const kUsageText =
    "Usage: q73 [OPTION]... [FILE]...\n"
    "Compress each FILE into FILE's name with .Q73 in place of a three-letter\n"
    "extension, or expand each FILE whose name ends in .q73 (any case) back into\n"
    "the file it was made from, in the order given.  An existing output file is\n"
    "replaced without asking.  With no FILE, print the about text.\n"
    "\n"
    "  -c, --stdout   write the results to standard output and create no file;\n"
    "                 the result lines go to standard error, and compressed data\n"
    "                 is never written to a terminal\n"
    "  -q, --quiet    print nothing but errors\n"
    "  -h, --help     print this help and exit\n"
    "  -V, --version  print the version and exit\n"
    "  --             end of options: every later argument is a FILE\n"
    "\n"
    "On a terminal, a job that takes more than a second shows its progress.\n"
    "Files of 2 GiB and more cannot be compressed.\n"
    "\n"
    "Exit status: 0 when every job succeeded, 1 when any failed, 2 on a usage error.\n"
    "Full documentation: man q73\n";

static bool take_long(const char* name, CliOptions* options) {
    if (std::strcmp(name, "help") == 0) return options->help = true;
    if (std::strcmp(name, "version") == 0) return options->version = true;
    if (std::strcmp(name, "stdout") == 0) return options->to_stdout = true;
    if (std::strcmp(name, "quiet") == 0) return options->quiet = true;
    return false;
}

static bool take_short(char letter, CliOptions* options) {
    switch (letter) {
        case 'h': return options->help = true;
        case 'V': return options->version = true;
        case 'c': return options->to_stdout = true;
        case 'q': return options->quiet = true;
        default: return false;
    }
}

CliOptions parse_cli(int argc, const char* const* argv) {
    CliOptions options;
    bool options_ended = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (options_ended || arg[0] != '-' || arg[1] == '\0') {
            if (arg[0] != '\0') options.files.push_back(arg);
        } else if (arg[1] == '-' && arg[2] == '\0') {
            options_ended = true;
        } else if (arg[1] == '-') {
            if (!take_long(arg + 2, &options)) {
                options.error = std::string("unrecognized option '") + arg + "'";
                break;
            }
        } else {
            for (const char* p = arg + 1; *p != '\0'; ++p) {
                if (!take_short(*p, &options)) {
                    options.error = std::string("invalid option -- '") + *p + "'";
                    break;
                }
            }
            if (!options.error.empty()) break;
        }
    }
    return options;
}

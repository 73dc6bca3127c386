// The Linux program's command line: q73 [OPTION]... [FILE]...
#pragma once

#include <string>
#include <vector>

#include "app/version.h"

constexpr const char* kVersionLine = "q73 " Q73_VERSION " (" Q73_DESCRIPTION ")";

// What `q73 --help` prints.
extern const char* const kUsageText;

struct CliOptions {
    bool help = false;       // -h, --help
    bool version = false;    // -V, --version
    bool to_stdout = false;  // -c, --stdout: the result to standard output
    bool quiet = false;      // -q, --quiet: nothing but errors
    std::vector<std::string> files;
    std::string error;  // a usage error, for standard error; empty when none
};

// Options and names in any order, GNU style: short options may be grouped
// (-cq), "--" ends the options, and a lone "-" is a name.  Empty arguments
// name nothing.  The first unknown option sets `error` and stops.
CliOptions parse_cli(int argc, const char* const* argv);

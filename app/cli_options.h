// The Linux program's command line: q73 [OPTION]... [FILE]...
#pragma once

#include <string>
#include <vector>

#include "app/version.h"

constexpr const char* kVersionLine = "q73 " Q73_VERSION " (" Q73_DESCRIPTION ")";

// What `q73 --help` prints.
extern const char* const kUsageText;

// What the program does with each FILE.
enum class CliMode {
    by_name,   // expand a name ending in .q73, compress any other
    compress,  // -z
    expand,    // -d
    test,      // -t: expand in memory, write nothing
    list,      // -l: sizes and names from the headers
};

struct CliOptions {
    bool help = false;       // -h, --help
    bool version = false;    // -V, --version
    bool to_stdout = false;  // -c, --stdout: the result to standard output
    bool quiet = false;      // -q, --quiet: nothing but errors
    CliMode mode = CliMode::by_name;
    std::string output;        // -o, --output: the output's name ("-": standard output)
    bool recursive = false;    // -r, --recursive: walk the folders among the FILEs
    bool remove_input = false; // --rm: remove each input after its job succeeded
    bool sync = false;         // --sync: every output on the disk before it is named
    int threads = 0;           // -T, --threads: 0 for every usable processor
    std::vector<std::string> files;
    std::string error;  // a usage error, for standard error; empty when none
};

// Options and names in any order, as getopt_long reads them: short options
// may be grouped (-dc), long ones abbreviated and given their value after
// '=', "--" ends the options, and a lone "-" is a name (standard input).
// Empty arguments name nothing.  The program's name sets the mode first:
// unq73 expands, q73cat expands to standard output.  -z or -d with no FILE
// (and -t or -l with none) read standard input.  The first usage error sets
// `error` and stops.
CliOptions parse_cli(int argc, const char* const* argv);

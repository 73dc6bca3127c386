#include "app/cli_options.h"

#include <getopt.h>

#include <cstdlib>
#include <cstring>

const char* const kUsageText =
    "Usage: q73 [OPTION]... [FILE]...\n"
    "Compress each FILE into FILE's name with .Q73 in place of a three-letter\n"
    "extension, or expand each FILE whose name ends in .q73 (any case) back into\n"
    "the file it was made from, in the order given.  An existing output file is\n"
    "replaced without asking.  A FILE of - is standard input, and its result goes\n"
    "to standard output.  With no FILE and neither -z nor -d, print the about\n"
    "text.\n"
    "\n"
    "  -z, --compress     compress every FILE whatever its name (x.q73 gives\n"
    "                     x.q73.Q73); with no FILE, standard input\n"
    "  -d, --decompress   expand every FILE whatever its name (a name that does\n"
    "                     not end in .q73 needs -c or -o); with no FILE,\n"
    "                     standard input\n"
    "  -t, --test         expand each FILE in memory, write nothing, and say\n"
    "                     \"FILE: OK\" for each good one\n"
    "  -l, --list         list each compressed FILE's sizes and restored name\n"
    "  -c, --stdout       write the results to standard output and create no file;\n"
    "                     the result lines go to standard error, and compressed data\n"
    "                     is never written to a terminal\n"
    "  -o, --output=FILE  the output's name, for one FILE (- is standard output)\n"
    "  -r, --recursive    compress every file in each FILE that is a folder and\n"
    "                     in the folders below (with -d: expand every .q73 there);\n"
    "                     symbolic links are skipped\n"
    "      --rm           remove each input once its output is whole on disk\n"
    "  -k, --keep         keep the inputs (the default)\n"
    "      --sync         put every output on the disk before it takes its name\n"
    "                     (by default only one that replaces a file, or with --rm)\n"
    "  -T, --threads=N    code with N threads (0, the default: every processor)\n"
    "  -q, --quiet        print nothing but errors\n"
    "  -1 ... -9, --fast, --best\n"
    "                     accepted and ignored: the format has one ratio\n"
    "  -h, --help         print this help and exit\n"
    "  -V, --version      print the version and exit\n"
    "  --                 end of options: every later argument is a FILE\n"
    "\n"
    "Examples:\n"
    "  tar cf - dir | q73 - > dir.tar.Q73     compress a stream\n"
    "  q73 -d - < x.Q73 | less                read a compressed stream\n"
    "  q73 -r --rm logs                       compress a folder in place\n"
    "\n"
    "On a terminal, a job that takes more than a second shows its progress.\n"
    "Files of 2 GiB and more cannot be compressed.\n"
    "\n"
    "Exit status: 0 when every job succeeded, 1 when any failed, 2 on a usage error.\n"
    "Full documentation: man q73\n";

namespace {

constexpr int kRemoveInput = 256;  // --rm has no letter
constexpr int kLevel = 257;        // --fast, --best
constexpr int kSync = 258;         // --sync

const char kShortOptions[] = ":hVcqzdtlo:rkT:123456789";

const struct option kLongOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {"stdout", no_argument, nullptr, 'c'},
    {"quiet", no_argument, nullptr, 'q'},
    {"compress", no_argument, nullptr, 'z'},
    {"decompress", no_argument, nullptr, 'd'},
    {"test", no_argument, nullptr, 't'},
    {"list", no_argument, nullptr, 'l'},
    {"output", required_argument, nullptr, 'o'},
    {"recursive", no_argument, nullptr, 'r'},
    {"keep", no_argument, nullptr, 'k'},
    {"rm", no_argument, nullptr, kRemoveInput},
    {"sync", no_argument, nullptr, kSync},
    {"threads", required_argument, nullptr, 'T'},
    {"fast", no_argument, nullptr, kLevel},
    {"best", no_argument, nullptr, kLevel},
    {nullptr, 0, nullptr, 0},
};

// -d goes with -t and -l, which expand too; -z goes with nothing else.
bool set_mode(CliMode mode, CliOptions* options) {
    CliMode& current = options->mode;
    if (current == CliMode::by_name || current == mode) {
        current = mode;
        return true;
    }
    if (current == CliMode::expand && (mode == CliMode::test || mode == CliMode::list)) {
        current = mode;
        return true;
    }
    return mode == CliMode::expand && (current == CliMode::test || current == CliMode::list);
}

bool parse_threads(const char* text, int* threads) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || value < 0 || value > 1024) return false;
    *threads = static_cast<int>(value);
    return true;
}

// What getopt_long leaves unsaid when it returns '?' or ':' with its own
// messages turned off.
std::string describe_error(int result, const char* arg) {
    bool is_long = std::strncmp(arg, "--", 2) == 0;
    if (result == ':') {
        if (is_long) return std::string("option '") + arg + "' requires an argument";
        return std::string("option requires an argument -- '") + static_cast<char>(optopt) + "'";
    }
    if (!is_long) return std::string("invalid option -- '") + static_cast<char>(optopt) + "'";
    std::string name(arg + 2, std::strcspn(arg + 2, "="));
    int matches = 0;
    for (const struct option* o = kLongOptions; o->name != nullptr; ++o) {
        if (std::strncmp(o->name, name.c_str(), name.size()) == 0) ++matches;
    }
    if (optopt != 0) return "option '--" + name + "' doesn't allow an argument";
    if (matches > 1) return std::string("option '") + arg + "' is ambiguous";
    return std::string("unrecognized option '") + arg + "'";
}

// The combinations that cannot mean anything, found before any job runs.
std::string check_combination(const CliOptions& o) {
    bool expanding_only = o.mode == CliMode::test || o.mode == CliMode::list;
    if (!o.output.empty()) {
        if (expanding_only) return "-o cannot be used with -t or -l";
        if (o.to_stdout) return "-o and -c cannot be used together";
        if (o.recursive || o.files.size() != 1) return "-o names the output of one FILE";
    }
    if (o.remove_input && (o.to_stdout || o.output == "-" || expanding_only)) {
        return "--rm needs output files (not -c, -o -, -t or -l)";
    }
    return "";
}

}  // namespace

CliOptions parse_cli(int argc, const char* const* argv) {
    CliOptions options;
    const char* program = argc > 0 ? argv[0] : "q73";
    const char* base = std::strrchr(program, '/');
    base = base != nullptr ? base + 1 : program;
    if (std::strcmp(base, "unq73") == 0) options.mode = CliMode::expand;
    if (std::strcmp(base, "q73cat") == 0) {
        options.mode = CliMode::expand;
        options.to_stdout = true;
    }

    // getopt_long moves the names behind the options in this copy; the
    // caller's array is left as it was.
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) args.push_back(const_cast<char*>(argv[i]));
    args.push_back(nullptr);
    optind = 0;  // a fresh scan, however often this runs
    opterr = 0;
    for (;;) {
        int before = optind;
        int result = getopt_long(argc, args.data(), kShortOptions, kLongOptions, nullptr);
        if (result == -1) break;
        bool mode_ok = true;
        switch (result) {
            case 'h': options.help = true; break;
            case 'V': options.version = true; break;
            case 'c': options.to_stdout = true; break;
            case 'q': options.quiet = true; break;
            case 'z': mode_ok = set_mode(CliMode::compress, &options); break;
            case 'd': mode_ok = set_mode(CliMode::expand, &options); break;
            case 't': mode_ok = set_mode(CliMode::test, &options); break;
            case 'l': mode_ok = set_mode(CliMode::list, &options); break;
            case 'o':
                options.output = optarg;
                if (options.output.empty()) options.error = "-o needs a name";
                break;
            case 'r': options.recursive = true; break;
            case 'k': options.remove_input = false; break;
            case kRemoveInput: options.remove_input = true; break;
            case kSync: options.sync = true; break;
            case 'T':
                if (!parse_threads(optarg, &options.threads)) {
                    options.error = std::string("invalid number of threads '") + optarg + "'";
                }
                break;
            case kLevel: break;
            case '?':
            case ':': {
                // A long option that failed is the argument getopt just
                // left; a short one may be in the middle of its group.
                bool in_group = before != 0 && optind == before;
                options.error = describe_error(result, in_group ? "-" : args[optind - 1]);
                break;
            }
            default: break;  // -1 to -9
        }
        if (!mode_ok) options.error = "-z cannot be used with -d, -t or -l, nor -t with -l";
        if (!options.error.empty()) return options;
    }
    for (int i = optind; i < argc; ++i) {
        if (args[i][0] != '\0') options.files.push_back(args[i]);
    }
    if (options.files.empty() && options.mode != CliMode::by_name) options.files.push_back("-");
    options.error = check_combination(options);
    return options;
}

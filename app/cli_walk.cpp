#include "app/cli_walk.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/command_line.h"
#include "format/container.h"

static const char* const kMsgCannotReadFolder = "ERROR: Can't read folder";

namespace {

struct Walk {
    bool expanding;
    bool quiet;
    int* failures;
    std::vector<std::string>* names;
};

void warn(const Walk& walk, const std::string& name, const char* what) {
    if (!walk.quiet) std::fprintf(stderr, "q73: %s: %s, skipped\n", name.c_str(), what);
}

// A leftover of an output that was being written under a temporary name.
bool is_temporary_name(const char* entry) {
    size_t length = std::strlen(entry);
    return std::strncmp(entry, ".q73-", 5) == 0 && length > 9 &&
           std::strcmp(entry + length - 4, ".tmp") == 0;
}

void walk_folder(const std::string& folder, const Walk& walk) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) {
        error_subject = folder.c_str();
        report_error(kMsgCannotReadFolder);
        error_subject = nullptr;
        ++*walk.failures;
        return;
    }
    std::vector<std::string> entries;
    while (const struct dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
        if (is_temporary_name(entry->d_name)) continue;
        entries.push_back(entry->d_name);
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end());
    std::string prefix = folder.back() == '/' ? folder : folder + "/";
    for (const std::string& entry : entries) {
        std::string name = prefix + entry;
        struct stat st;
        if (lstat(name.c_str(), &st) != 0) continue;  // gone since it was listed
        if (S_ISLNK(st.st_mode)) {
            warn(walk, name, "symbolic link");
        } else if (S_ISDIR(st.st_mode)) {
            walk_folder(name, walk);
        } else if (!S_ISREG(st.st_mode)) {
            warn(walk, name, "not a regular file");
        } else if (names_compressed_file(name.c_str()) == walk.expanding) {
            walk.names->push_back(name);
        }
    }
}

}  // namespace

std::vector<std::string> collect_job_names(const std::vector<std::string>& files, bool recursive,
                                           bool expanding, bool quiet, int* failures) {
    std::vector<std::string> names;
    Walk walk{expanding, quiet, failures, &names};
    for (const std::string& file : files) {
        struct stat st;
        if (recursive && file != "-" && stat(file.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            walk_folder(file, walk);
        } else {
            names.push_back(file);
        }
    }
    return names;
}

#include "tests/fuzz/fuzz_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

const std::string& folder() {
    static const std::string path = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base ? base : "/tmp") + "/q73-fuzz-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) == nullptr) fail("cannot create the fuzz folder");
        return std::string(buffer.data());
    }();
    return path;
}

std::string path_in_folder(const std::string& name) { return folder() + "/" + name; }

std::vector<std::string> folder_entries() {
    std::vector<std::string> names;
    DIR* dir = opendir(folder().c_str());
    if (dir == nullptr) fail("cannot list the fuzz folder");
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

void write_whole_file(const std::string& path, const uint8_t* data, size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) fail("cannot create " + path);
    size_t done = 0;
    while (done < size) {
        ssize_t put = write(fd, data + done, size - done);
        if (put <= 0) fail("cannot write " + path);
        done += static_cast<size_t>(put);
    }
    close(fd);
}

std::vector<uint8_t> read_whole_file(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail("cannot open " + path);
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0) fail("cannot read " + path);
        if (got == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    close(fd);
    return bytes;
}

void empty_folder() {
    for (const std::string& name : folder_entries()) unlink(path_in_folder(name).c_str());
}

void fail(const std::string& message) {
    // Run with -close_fd_mask the program's own stderr is gone; the
    // sanitizer's report channel still reaches the fuzzer's log.
    std::string summary = "FUZZ CHECK FAILED: " + message;
    __sanitizer_report_error_summary(summary.c_str());
    std::fprintf(stderr, "%s\n", summary.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace fuzz

#include "app/cli_list.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "app/command_line.h"
#include "format/container.h"

namespace {

// The bytes left from the position of `fd` on: its size for a file, read
// through for a pipe.  -1 when it cannot be read.
int64_t bytes_left(int fd, int64_t position) {
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) return st.st_size - position;
    static char buffer[1 << 16];
    int64_t total = 0;
    for (;;) {
        ssize_t got = read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) return total;
        total += got;
    }
}

void print_line(int64_t compressed, int64_t uncompressed, const char* name) {
    double saved = uncompressed > 0 ? 100.0 * (1.0 - static_cast<double>(compressed) /
                                                         static_cast<double>(uncompressed))
                                    : 0.0;
    std::printf("%14lld %14lld %6.1f%%  %s\n", static_cast<long long>(compressed),
                static_cast<long long>(uncompressed), saved, name);
}

// One file's line; false after a reported failure.
bool list_one(const std::string& name, int64_t* compressed_total, int64_t* uncompressed_total) {
    bool from_stdin = name == "-";
    int fd = from_stdin ? STDIN_FILENO : open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        report_error(kMsgCannotOpenIn);
        return false;
    }
    ContainerHeader header;
    const char* fault = read_container_header(fd, &header);
    // Past the bytes read to find the header, which may go into the blocks.
    int64_t rest = fault == nullptr ? bytes_left(fd, header.bytes_read) : 0;
    if (rest >= 0) rest += header.bytes_read - static_cast<int64_t>(header.header.header_size);
    if (!from_stdin) close(fd);
    if (fault == nullptr && rest < 0) fault = kMsgReadFailed;
    if (fault != nullptr) {
        report_error(fault);
        return false;
    }
    char restored[kNameCapacity];
    const uint8_t* extension = reinterpret_cast<const uint8_t*>(header.header.extension);
    const char* shown = name.c_str();
    if (names_compressed_file(shown) &&
        make_restored_name(shown, header.extension_stored ? extension : nullptr, restored)) {
        shown = restored;
    }
    int64_t compressed = static_cast<int64_t>(header.header.header_size) + rest;
    int64_t uncompressed = static_cast<int64_t>(header.header.original_size);
    print_line(compressed, uncompressed, shown);
    *compressed_total += compressed;
    *uncompressed_total += uncompressed;
    return true;
}

}  // namespace

int list_compressed_files(const std::vector<std::string>& names) {
    std::printf("%14s %14s %7s  %s\n", "compressed", "uncompressed", "saved", "name");
    int failures = 0;
    int listed = 0;
    int64_t compressed_total = 0;
    int64_t uncompressed_total = 0;
    for (const std::string& name : names) {
        error_subject = names.size() > 1 ? name.c_str() : nullptr;
        std::fflush(stdout);
        if (list_one(name, &compressed_total, &uncompressed_total)) {
            ++listed;
        } else {
            ++failures;
        }
    }
    error_subject = nullptr;
    if (listed > 1) print_line(compressed_total, uncompressed_total, "(totals)");
    std::fflush(stdout);
    return failures;
}

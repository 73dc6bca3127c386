#include "platform/linux/spooled_input.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

// O_TMPFILE where the file system has it, else a named file removed at once.
static int create_spool() {
    const char* folder = std::getenv("TMPDIR");
    if (folder == nullptr || folder[0] == '\0') folder = "/tmp";
    int fd = open(folder, O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) return fd;
    std::string name = std::string(folder) + "/.q73-stdin-XXXXXX";
    fd = mkostemp(&name[0], O_CLOEXEC);
    if (fd >= 0) unlink(name.c_str());
    return fd;
}

static bool write_all(int fd, const char* data, size_t count) {
    while (count > 0) {
        ssize_t put = write(fd, data, count);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        count -= static_cast<size_t>(put);
    }
    return true;
}

SpoolStatus spool_to_unnamed_file(HFILE in, int64_t limit, HFILE* spool) {
    *spool = HFILE_ERROR;
    int fd = create_spool();
    if (fd < 0) return SpoolStatus::write_failed;
    static char buffer[1 << 16];
    int64_t total = 0;
    SpoolStatus status = SpoolStatus::ok;
    for (;;) {
        ssize_t got = read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            status = SpoolStatus::read_failed;
            break;
        }
        if (got == 0) break;
        total += got;
        if (total > limit) {
            status = SpoolStatus::too_large;
            break;
        }
        if (!write_all(fd, buffer, static_cast<size_t>(got))) {
            status = SpoolStatus::write_failed;
            break;
        }
    }
    if (status == SpoolStatus::ok && lseek(fd, 0, SEEK_SET) != 0) status = SpoolStatus::read_failed;
    if (status != SpoolStatus::ok) {
        close(fd);
        return status;
    }
    *spool = fd;
    return status;
}

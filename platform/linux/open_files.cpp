// Opening, creating and replacing files by name, over POSIX calls.
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"

HFILE open_file(LPCSTR name, UINT style) {
    return OpenFile(name, nullptr, style);
}

HFILE create_new_file(LPCSTR name) {
    int fd;
    do {
        fd = open(name, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? HFILE_ERROR : fd;
}

bool copy_file_metadata(HFILE from, HFILE to) {
    struct stat st;
    if (fstat(from, &st) != 0) return false;
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    bool ok = fchmod(to, st.st_mode & 0777) == 0;
    return futimens(to, times) == 0 && ok;
}

bool remove_file(LPCSTR name) {
    return unlink(name) == 0;
}

bool may_replace_file(LPCSTR name) {
    struct stat st;
    if (lstat(name, &st) != 0) return errno == ENOENT;
    return !S_ISDIR(st.st_mode);
}

bool name_taken(LPCSTR name) {
    struct stat st;
    return lstat(name, &st) == 0 || errno != ENOENT;
}

bool replace_file(LPCSTR from, LPCSTR to) {
    return rename(from, to) == 0;
}

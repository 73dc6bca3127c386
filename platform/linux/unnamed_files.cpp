// Unnamed outputs with O_TMPFILE and linkat.
#include "platform/unnamed_files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

static std::string folder_of(const char* name) {
    std::string folder(name);
    size_t slash = folder.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    folder.resize(slash);
    return folder;
}

// The name through which an unnamed file can be linked without privileges.
static std::string proc_name(HFILE file) {
    return "/proc/self/fd/" + std::to_string(file);
}

HFILE create_unnamed_file(const char* final_name) {
    // Without /proc, a file with no name could not be given one.
    if (access("/proc/self/fd", X_OK) != 0) return HFILE_ERROR;
    int fd;
    do {
        fd = open(folder_of(final_name).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? HFILE_ERROR : fd;
}

bool link_unnamed_file(HFILE file, const char* name) {
    return linkat(AT_FDCWD, proc_name(file).c_str(), AT_FDCWD, name, AT_SYMLINK_FOLLOW) == 0;
}

bool sync_file(HFILE file) {
    int result;
    do {
        result = fsync(file);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

void start_writing_out(HFILE file) {
    sync_file_range(file, 0, 0, SYNC_FILE_RANGE_WRITE);
}

bool sync_folder_of(const char* name) {
    int fd = open(folder_of(name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool synced = sync_file(fd);
    close(fd);
    return synced;
}

void give_new_file_mode(HFILE file) {
    mode_t mask = umask(0);
    umask(mask);
    fchmod(file, 0666 & ~mask);
}

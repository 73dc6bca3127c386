#include "platform/same_file.h"

#include <sys/stat.h>

bool names_open_file(HFILE file, const char* name) {
    struct stat open_one;
    struct stat named;
    if (fstat(file, &open_one) != 0 || stat(name, &named) != 0) return false;
    return open_one.st_dev == named.st_dev && open_one.st_ino == named.st_ino;
}

bool same_open_files(HFILE a, HFILE b) {
    struct stat one;
    struct stat other;
    if (fstat(a, &one) != 0 || fstat(b, &other) != 0) return false;
    return one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

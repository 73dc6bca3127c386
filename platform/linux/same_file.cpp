#include "platform/same_file.h"

#include <sys/stat.h>

bool names_open_file(HFILE file, const char* name) {
    struct stat open_one;
    struct stat named;
    if (fstat(file, &open_one) != 0 || stat(name, &named) != 0) return false;
    return open_one.st_dev == named.st_dev && open_one.st_ino == named.st_ino;
}

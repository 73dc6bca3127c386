// File calls over POSIX descriptors.
//
// The Win32 file calls that the program uses map one to one onto
// open/read/write/lseek/close.  Positions are 32-bit signed, as they are for
// _llseek on Windows: a position that does not fit is reported as an error
// (-1) rather than cut, and GetFileSize gives the full 64-bit size in two
// halves for callers that must know.  _lwrite counts what it writes to each
// descriptor, for written_mark: a pipe cannot tell its length by seeking.
#include "platform/files.h"
#include "platform/interrupts.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <unordered_map>

static std::unordered_map<int, int64_t> bytes_written;

HFILE OpenFile(LPCSTR name, OFSTRUCT* of, UINT style) {
    int flags = (style & OF_CREATE) ? (O_RDWR | O_CREAT | O_TRUNC) : O_RDONLY;
    int fd;
    do {
        fd = open(name, flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (of) {
        std::memset(of, 0, sizeof *of);
        of->cBytes = sizeof *of;
        of->nErrCode = fd < 0 ? static_cast<unsigned short>(errno) : 0;
    }
    if (fd < 0) return HFILE_ERROR;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        // A folder cannot be read as a file on Windows either.
        close(fd);
        return HFILE_ERROR;
    }
    return fd;
}

UINT _lread(HFILE file, LPVOID buffer, UINT count) {
    char* p = static_cast<char*>(buffer);
    UINT done = 0;
    while (done < count) {
        ssize_t got = read(file, p + done, count - done);
        if (got < 0 && errno == EINTR && pending_interrupt() == 0) continue;
        if (got < 0) return done ? done : static_cast<UINT>(HFILE_ERROR);
        if (got == 0) break;
        done += static_cast<UINT>(got);
    }
    return done;
}

UINT _lwrite(HFILE file, LPCSTR buffer, UINT count) {
    UINT done = 0;
    while (done < count) {
        ssize_t put = write(file, buffer + done, count - done);
        if (put < 0 && errno == EINTR && pending_interrupt() == 0) continue;
        if (put <= 0) {
            bytes_written[file] += done;
            return static_cast<UINT>(HFILE_ERROR);
        }
        done += static_cast<UINT>(put);
    }
    bytes_written[file] += done;
    return done;
}

int64_t written_mark(HFILE file) {
    auto found = bytes_written.find(file);
    return found == bytes_written.end() ? 0 : found->second;
}

LONG _llseek(HFILE file, LONG offset, int origin) {
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    off_t pos = lseek(file, offset, whence);
    if (pos < 0 || pos > INT32_MAX) return HFILE_ERROR;
    return static_cast<LONG>(pos);
}

HFILE _lclose(HFILE file) {
    return close(file) == 0 ? 0 : HFILE_ERROR;
}

DWORD GetFileSize(void* handle, DWORD* high) {
    struct stat st;
    int fd = static_cast<int>(reinterpret_cast<intptr_t>(handle));
    if (fstat(fd, &st) != 0) {
        if (high) *high = 0;
        return INVALID_FILE_SIZE;
    }
    uint64_t size = static_cast<uint64_t>(st.st_size);
    if (high) *high = static_cast<DWORD>(size >> 32);
    return static_cast<DWORD>(size & 0xFFFFFFFFu);
}

DWORD GetFileType(void* handle) {
    struct stat st;
    int fd = static_cast<int>(reinterpret_cast<intptr_t>(handle));
    if (fstat(fd, &st) != 0) return FILE_TYPE_UNKNOWN;
    if (S_ISREG(st.st_mode)) return FILE_TYPE_DISK;
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return FILE_TYPE_PIPE;
    return FILE_TYPE_CHAR;
}

BOOL DeleteFileA(LPCSTR name) {
    return unlink(name) == 0 ? TRUE : FALSE;
}

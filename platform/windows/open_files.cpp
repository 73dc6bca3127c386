// Opening, creating and replacing files by name with the handle calls
// underneath OpenFile, which has no room for names of 128 characters or
// more.  Names go to the wide calls (see wide_names.h), so that a name in
// any script and of any length reaches the file system intact.  A file
// handle fits the HFILE that the job passes around.
#include "platform/files.h"

#include <string>

#include "platform/windows/wide_names.h"

static HFILE as_hfile(HANDLE handle) {
    return static_cast<HFILE>(reinterpret_cast<INT_PTR>(handle));
}

static HANDLE as_handle(HFILE file) {
    return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file));
}

HFILE open_file(LPCSTR name, UINT style) {
    std::wstring wide;
    if (!wide_file_name(name, &wide)) return HFILE_ERROR;
    HANDLE handle;
    if (style & OF_CREATE) {
        handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    } else {
        handle = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    return handle == INVALID_HANDLE_VALUE ? HFILE_ERROR : as_hfile(handle);
}

static bool set_delete_on_close(HANDLE handle, bool deleted) {
    FILE_DISPOSITION_INFO disposition;
    disposition.DeleteFile = deleted ? TRUE : FALSE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

// The new file is marked for deletion at once: should the process end in
// any way before keep_file_on_close, the system removes it when it closes
// the process's handles.  The mark is a disposition, not
// FILE_FLAG_DELETE_ON_CLOSE, because only a disposition can be taken back.
HFILE create_new_file(LPCSTR name) {
    std::wstring wide;
    if (!wide_file_name(name, &wide)) return HFILE_ERROR;
    HANDLE handle = CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return HFILE_ERROR;
    // A file system without dispositions still gets its output; only the
    // removal after a killed process is then lost.
    set_delete_on_close(handle, true);
    return as_hfile(handle);
}

// Should taking the mark back fail, closing removes the file and the move
// that follows fails: the job is reported failed and nothing is lost.
bool keep_file_on_close(HFILE file, bool write_through) {
    bool flushed = !write_through || FlushFileBuffers(as_handle(file)) != 0;
    set_delete_on_close(as_handle(file), false);
    return flushed;
}

bool copy_file_metadata(HFILE from, HFILE to) {
    FILETIME written;
    if (!GetFileTime(as_handle(from), nullptr, nullptr, &written)) return false;
    return SetFileTime(as_handle(to), nullptr, nullptr, &written) != 0;
}

bool remove_file(LPCSTR name) {
    std::wstring wide;
    return wide_file_name(name, &wide) && DeleteFileW(wide.c_str()) != 0;
}

bool may_replace_file(LPCSTR name) {
    std::wstring wide;
    if (!wide_file_name(name, &wide)) return false;
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    return (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) == 0;
}

bool name_taken(LPCSTR name) {
    std::wstring wide;
    if (!wide_file_name(name, &wide)) return true;
    if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    DWORD error = GetLastError();
    return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
}

bool replace_file(LPCSTR from, LPCSTR to) {
    std::wstring wide_from;
    std::wstring wide_to;
    return wide_file_name(from, &wide_from) && wide_file_name(to, &wide_to) &&
           MoveFileExW(wide_from.c_str(), wide_to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// The job writes its output in order from the start, so the position is
// what has been written.
int64_t written_mark(HFILE file) {
    LARGE_INTEGER zero;
    LARGE_INTEGER position;
    zero.QuadPart = 0;
    if (!SetFilePointerEx(as_handle(file), zero, &position, FILE_CURRENT)) return 0;
    return position.QuadPart;
}

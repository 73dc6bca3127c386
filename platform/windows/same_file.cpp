#include "platform/same_file.h"

#include <string>

#include "platform/windows/wide_names.h"

bool names_open_file(HFILE file, const char* name) {
    BY_HANDLE_FILE_INFORMATION open_one;
    BY_HANDLE_FILE_INFORMATION named;
    HANDLE handle = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(file));
    if (!GetFileInformationByHandle(handle, &open_one)) return false;
    std::wstring wide;
    if (!wide_file_name(name, &wide)) return false;
    HANDLE other = CreateFileW(wide.c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (other == INVALID_HANDLE_VALUE) return false;
    BOOL ok = GetFileInformationByHandle(other, &named);
    CloseHandle(other);
    return ok && open_one.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
           open_one.nFileIndexHigh == named.nFileIndexHigh &&
           open_one.nFileIndexLow == named.nFileIndexLow;
}

bool same_open_files(HFILE a, HFILE b) {
    BY_HANDLE_FILE_INFORMATION one;
    BY_HANDLE_FILE_INFORMATION other;
    if (!GetFileInformationByHandle(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(a)), &one) ||
        !GetFileInformationByHandle(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(b)), &other)) {
        return false;
    }
    return one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
           one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}

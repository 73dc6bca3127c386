#include "platform/windows/wide_names.h"

#include <windows.h>

static bool to_utf16(const char* name, std::wstring* wide) {
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, nullptr, 0);
    if (length <= 0) return false;
    wide->assign(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1, &(*wide)[0], length) !=
        length) {
        return false;
    }
    wide->resize(static_cast<size_t>(length) - 1);  // the terminator
    return true;
}

// The full path of `relative`, with "." and ".." resolved and slashes
// turned round: an extended-length name is passed to the file system as it
// stands, so it must already be in that form.
static bool full_path(const std::wstring& relative, std::wstring* full) {
    DWORD needed = GetFullPathNameW(relative.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return false;
    full->assign(needed, L'\0');
    DWORD length = GetFullPathNameW(relative.c_str(), needed, &(*full)[0], nullptr);
    if (length == 0 || length >= needed) return false;
    full->resize(length);
    return true;
}

static bool starts_with(const std::wstring& text, const wchar_t* start) {
    return text.compare(0, wcslen(start), start) == 0;
}

bool wide_file_name(const char* name, std::wstring* wide) {
    if (!to_utf16(name, wide) || wide->empty()) return false;
    if (starts_with(*wide, L"\\\\?\\")) return true;
    std::wstring full;
    if (!full_path(*wide, &full)) return false;
    // A short name stays as it was given, exactly as the ANSI call saw it.
    if (full.size() < MAX_PATH) return true;
    if (starts_with(full, L"\\\\.\\") || starts_with(full, L"\\\\?\\")) {
        *wide = full;  // a device name: no prefix to add
    } else if (starts_with(full, L"\\\\")) {
        *wide = L"\\\\?\\UNC\\" + full.substr(2);
    } else {
        *wide = L"\\\\?\\" + full;
    }
    return true;
}

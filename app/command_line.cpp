#include "app/command_line.h"

#include <cstring>

static TailResult copy_name(const char* begin, size_t length, char out[kNameCapacity]) {
    if (length > kNameCapacity - 1) {
        out[0] = '\0';
        return TailResult::too_long;
    }
    std::memcpy(out, begin, length);
    out[length] = '\0';
    return TailResult::ok;
}

TailResult file_name_from_tail(const char* tail, char out[kNameCapacity]) {
    out[0] = '\0';
    if (tail == nullptr) return TailResult::ok;
    while (*tail == ' ') ++tail;
    if (*tail == '"') {
        const char* begin = tail + 1;
        const char* close = std::strchr(begin, '"');
        size_t length = close ? static_cast<size_t>(close - begin) : std::strlen(begin);
        return copy_name(begin, length, out);
    }
    const char* last_space = std::strrchr(tail, ' ');
    const char* begin = last_space ? last_space + 1 : tail;
    return copy_name(begin, std::strlen(begin), out);
}

bool names_compressed_file(const char* name) {
    size_t length = std::strlen(name);
    if (length < 4) return false;
    const char* end = name + length - 4;
    return same_name_ignoring_case(end, ".q73");
}

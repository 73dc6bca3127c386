#include "format/naming.h"

#include <cstring>

static char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_name_ignoring_case(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        if (fold(*a) != fold(*b)) return false;
    }
    return *a == *b;
}

bool make_compressed_name(const char* name, char out[kNameCapacity], char extension[3],
                          bool* stored) {
    size_t length = std::strlen(name);
    // Three characters that hold a separator or a control character are not
    // an extension ("v1.d/a" is the file a in the folder v1.d): stored, they
    // would put the compressed file in another folder and be refused when it
    // is expanded, so the whole name is kept instead.
    // A name that already ends in .q73 keeps it whole, so that its
    // compressed file never has the name of the file it was made from.
    *stored = length >= 4 && name[length - 4] == '.' &&
              !is_unsafe_extension(reinterpret_cast<const uint8_t*>(name + length - 3)) &&
              !same_name_ignoring_case(name + length - 4, ".q73");
    size_t keep = length;
    if (*stored) {
        std::memcpy(extension, name + length - 3, 3);
        keep = length - 4;
    }
    if (keep + 4 > kNameCapacity - 1) return false;
    std::memcpy(out, name, keep);
    std::memcpy(out + keep, ".Q73", 5);
    return true;
}

bool make_restored_name(const char* name, const uint8_t* extension, char out[kNameCapacity]) {
    size_t length = std::strlen(name);
    if (length < 4 || length > kNameCapacity - 1) return false;
    size_t keep = length - 4;
    size_t extra = 0;
    if (extension != nullptr) {
        extra = 1;
        while (extra < 4 && extension[extra - 1] != 0) ++extra;
    }
    if (keep + extra > kNameCapacity - 1) return false;
    std::memcpy(out, name, keep);
    if (extension != nullptr) {
        out[keep] = '.';
        std::memcpy(out + keep + 1, extension, extra - 1);
    }
    out[keep + extra] = '\0';
    return true;
}

bool is_unsafe_extension(const uint8_t extension[3]) {
    for (int i = 0; i < 3 && extension[i] != 0; ++i) {
        uint8_t c = extension[i];
        if (c < 32 || c == 127 || c == '/' || c == '\\' || c == ':') return true;
    }
    return false;
}

size_t folder_length(const char* name) {
    size_t folder = 0;
    for (size_t i = 0; name[i] != '\0'; ++i) {
        if (name[i] == '/' || name[i] == '\\' || (i == 1 && name[i] == ':')) folder = i + 1;
    }
    return folder;
}

static char* put_hex(char* out, uint32_t value, int digits) {
    static const char kDigits[] = "0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i) {
        out[i] = kDigits[value & 15];
        value >>= 4;
    }
    return out + digits;
}

void make_temporary_name(const char* final_name, uint32_t process_id, uint8_t attempt,
                         char out[kTemporaryNameCapacity]) {
    size_t folder = folder_length(final_name);
    std::memcpy(out, final_name, folder);
    char* p = out + folder;
    std::memcpy(p, ".q73-", 5);
    p = put_hex(p + 5, process_id, 8);
    *p++ = '-';
    p = put_hex(p, attempt, 2);
    std::memcpy(p, ".tmp", 5);
}

#include "app/command_line.h"

#include <cstring>

std::vector<std::string> names_from_tail(const char* tail) {
    std::vector<std::string> names;
    if (tail == nullptr) return names;
    std::string piece;
    bool quoted = false;
    for (const char* p = tail;; ++p) {
        if (*p == '\0' || (*p == ' ' && !quoted)) {
            if (!piece.empty()) names.push_back(piece);
            piece.clear();
            if (*p == '\0') break;
        } else if (*p == '"') {
            quoted = !quoted;
        } else {
            piece += *p;
        }
    }
    return names;
}

static bool is_blank(char c) { return c == ' ' || c == '\t'; }

const char* tail_of_command_line(const char* line) {
    if (line == nullptr) return "";
    const char* p = line;
    if (*p == '"') {
        ++p;
        while (*p != '\0' && *p != '"') ++p;
        if (*p == '"') ++p;
    } else {
        while (*p != '\0' && !is_blank(*p)) ++p;
    }
    while (is_blank(*p)) ++p;
    return p;
}

bool names_compressed_file(const char* name) {
    size_t length = std::strlen(name);
    if (length < 4) return false;
    const char* end = name + length - 4;
    return same_name_ignoring_case(end, ".q73");
}

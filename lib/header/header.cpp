#include "header/header.h"

#include <cstring>

#include "codec/stream_records.h"

int header_size_for(uint8_t flags) {
    return 1 + ((flags & kFlagOddLength) ? 1 : 0) + ((flags & kFlagExtensionStored) ? 3 : 0) + 4;
}

bool stored_extension_unsafe(const uint8_t extension[3]) {
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(extension, 0, 3));
    if (end == nullptr) end = extension + 3;
    for (const uint8_t* c = extension; c < end; ++c) {
        if (*c < 32 || *c == 127 || std::strchr("/\\:", *c) != nullptr) return true;
    }
    return false;
}

bool parse_header(const uint8_t* data, size_t size, Header* header) {
    *header = Header{};
    if (size < 1 || (data[0] & kFlagFormatMark) == 0) return false;
    uint8_t flags = data[0];
    int whole = header_size_for(flags);
    if (size < static_cast<size_t>(whole)) return false;
    const uint8_t* at = data + 1;
    Header h{};
    h.flags = flags;
    bool odd = (flags & kFlagOddLength) != 0;
    if (odd) h.first = *at++;
    if (flags & kFlagExtensionStored) {
        std::memcpy(h.extension, at, 3);
        at += 3;
        if (stored_extension_unsafe(h.extension)) return false;
    }
    h.length = get_le32(at);
    h.size = whole;
    if (h.length > kMaxOriginalLength || ((h.length & 1) != 0) != odd) return false;
    *header = h;
    return true;
}

int write_header(uint8_t out[kMaxHeaderSize], uint32_t length, uint8_t first,
                 const uint8_t* extension) {
    uint8_t flags = kFlagFormatMark;
    if (extension != nullptr) flags |= kFlagExtensionStored;
    if (length & 1) flags |= kFlagOddLength;
    int at = 0;
    out[at++] = flags;
    if (length & 1) out[at++] = first;
    if (extension != nullptr) {
        std::memcpy(out + at, extension, 3);
        at += 3;
    }
    put_le32(out + at, length);
    return at + 4;
}

bool valid_extension_argument(const char* extension) {
    if (extension == nullptr) return true;
    if (std::strlen(extension) != 3) return false;
    return !stored_extension_unsafe(reinterpret_cast<const uint8_t*>(extension));
}

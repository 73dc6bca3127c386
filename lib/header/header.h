// The compressed file's header, byte by byte:
//
//   flags                  1 byte, kFlagFormatMark always set
//   raw first byte         1 byte, when kFlagOddLength
//   stored extension       3 bytes, when kFlagExtensionStored
//   length                 4 bytes little-endian, the whole original
//
// The blocks follow.  The raw first byte leaves an even number of bytes for
// the codec.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint8_t kFlagFormatMark = 0x80;
constexpr uint8_t kFlagExtensionStored = 0x01;
constexpr uint8_t kFlagOddLength = 0x02;

constexpr int kMaxHeaderSize = 9;
// The largest length the 32-bit signed length field can describe.
constexpr uint64_t kMaxOriginalLength = 0x7FFFFFFF;

struct Header {
    uint8_t flags;
    uint8_t first;         // the raw first byte, when kFlagOddLength
    uint8_t extension[3];  // when kFlagExtensionStored
    uint32_t length;       // the whole original
    int size;              // bytes of the header
};

// The header's size from its flag byte alone.
int header_size_for(uint8_t flags);

// Whether a stored extension holds a character that no file name may end
// in (a control character, a slash, a backslash or a colon); it ends early
// at a zero byte.
bool stored_extension_unsafe(const uint8_t extension[3]);

// Reads a header from `size` bytes at `data`: false when they are not a
// whole and sound header (a flag byte without the mark, cut short, a length
// of 2^31 or more or whose evenness differs from the flags, an unsafe
// extension).
bool parse_header(const uint8_t* data, size_t size, Header* header);

// Writes the header of an original of `length` bytes (below 2^31) whose
// first byte is `first` (used when the length is odd), with the three
// extension bytes or none; returns its size.
int write_header(uint8_t out[kMaxHeaderSize], uint32_t length, uint8_t first,
                 const uint8_t* extension);

// Whether `extension` is NULL or three characters that may be stored.
bool valid_extension_argument(const char* extension);

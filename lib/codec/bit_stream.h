// The bit stream: a level's stream of bits, the writer that appends codes
// to it, and the reader of a stored record.
//
// Read me first:
//  - A stream holds its bits most significant first: the first bit of a
//    stream is bit 7 of its first byte.  That is the order of the file.
//  - Both the writer and the reader work on bytes turned around (each
//    byte's bits in the opposite order), so that the first bit in stream
//    order is bit 0 and a code is simply the low bits of a 64-bit word.
//    The writer turns the bytes it touched back when it is closed; the
//    reader turns a record's bytes once, in place, when it is opened.
//  - The reader never loads past a record's data and the kInputPadding
//    zero bytes behind it: bits past the end read as 0, and a reader that
//    took any of them is overrun.
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/byte_order.h"

constexpr int kStreamCapacity = 65536;  // bytes per LevelStream
constexpr uint8_t kFreshMask = 128;

// `mask` is the bit of *position that the next bit goes to.  Every byte
// past the last one touched is 0.
struct LevelStream {
    uint8_t mask;
    uint8_t buffer[kStreamCapacity];
    uint8_t* position;
};

// Clears the bytes that bits reached and starts the stream afresh.
void reset_level_stream(LevelStream* stream);

inline void put_bit(LevelStream* stream, int bit) {
    if (bit) *stream->position |= stream->mask;
    stream->mask >>= 1;
    if (stream->mask == 0) {
        stream->mask = kFreshMask;
        ++stream->position;
    }
}

// Bytes the stream's bits touch; a partly written last byte counts whole.
inline int32_t used_length(const LevelStream* stream) {
    return static_cast<int32_t>(stream->position - stream->buffer) +
           (stream->mask != kFreshMask ? 1 : 0);
}

/**** Turning bytes around ****/

extern const uint8_t kReversedByte[256];

// Each of the eight bytes of x with its bits in the opposite order.
inline uint64_t reverse_each_byte(uint64_t x) {
    x = (x >> 1 & 0x5555555555555555u) | (x & 0x5555555555555555u) << 1;
    x = (x >> 2 & 0x3333333333333333u) | (x & 0x3333333333333333u) << 2;
    return (x >> 4 & 0x0F0F0F0F0F0F0F0Fu) | (x & 0x0F0F0F0F0F0F0F0Fu) << 4;
}

// Turns the bits of each of `length` bytes around, in place.
void turn_bytes(uint8_t* data, int32_t length);

/**** Writing ****/

// A writer stays open on one LevelStream while codes are appended.  Codes
// are gathered in a 64-bit accumulator in the order they are written, the
// first bit in bit 0, and leave it four bytes at a time, least significant
// first.  The stream must not be touched by anything else while its writer
// is open; after close_writer its position and mask are right again.
struct LevelWriter {
    uint64_t bits;
    int count;          // bits in the accumulator, below 32 between codes
    uint8_t* position;  // where the accumulator's first byte goes
    uint8_t* start;     // the first byte this writer touched
};

inline LevelWriter open_writer(const LevelStream* stream) {
    int used = __builtin_clz(stream->mask) - 24;  // bits already in the current byte
    uint64_t bits = used ? kReversedByte[*stream->position] : 0u;
    return LevelWriter{bits, used, stream->position, stream->position};
}

// Appends the low `count` bits of v (0 to 25; v has no higher bits set).
// The accumulator's low word is stored every time, whether it is full or
// not, and the writer moves on only when it is: whether a code fills the
// word follows the data, too irregular for a branch to be guessed.  A word
// not yet full is stored again with more bits later; its bits not yet
// written are 0.  It never lies past the stream's capacity, since no
// stream holds as many bits as its capacity.
inline void write_bits(LevelWriter& w, uint32_t v, int count) {
    w.bits |= static_cast<uint64_t>(v) << w.count;
    w.count += count;
    uint32_t out = static_cast<uint32_t>(w.bits);
    store_le32(w.position, out);
    int full = w.count & 32;  // 0 or 32: the count stays below 64
    w.position += full >> 3;
    w.bits >>= full;
    w.count &= 31;  // two steps from one count to the next
}

inline void close_writer(LevelStream* stream, LevelWriter& w) {
    int tail = (w.count + 7) >> 3;
    for (int k = 0; k < tail; ++k) w.position[k] = static_cast<uint8_t>(w.bits >> (8 * k));
    turn_bytes(w.start, static_cast<int32_t>(w.position + tail - w.start));
    stream->position = w.position + (w.count >> 3);
    stream->mask = static_cast<uint8_t>(kFreshMask >> (w.count & 7));
}

/**** Reading ****/

constexpr int32_t kInputPadding = 8;

// `bits` holds the upcoming bits, the next one in bit 0, and `avail` of them
// are valid.  Each read first tops the buffer up to at least 56 valid bits
// with one unaligned 8-byte load at `next`, the first byte not yet loaded
// whole; the bits above `avail` that such a load also brings are loaded again
// onto themselves by the next one.
struct InputStream {
    const uint8_t* data;  // turned bytes; kInputPadding zero bytes follow them
    int32_t length;       // data bytes
    int32_t next;
    uint64_t bits;
    int avail;
};

// Opens a reader on `length` bytes of a stream as the writer left them,
// turning them around in place.  kInputPadding zero bytes must follow them.
inline InputStream open_input(uint8_t* data, int32_t length) {
    turn_bytes(data, length);
    return InputStream{data, length, 0, 0, 0};
}

inline void top_up(InputStream* stream) {
    int32_t at = stream->next < stream->length ? stream->next : stream->length;
    stream->bits |= load_le64(stream->data + at) << stream->avail;
    stream->next += (63 - stream->avail) >> 3;
    stream->avail |= 56;
}

inline int read_bit(InputStream* stream) {
    top_up(stream);
    int bit = static_cast<int>(stream->bits & 1);
    stream->bits >>= 1;
    stream->avail -= 1;
    return bit;
}

inline int64_t bits_read(const InputStream* stream) {
    return 8 * static_cast<int64_t>(stream->next) - stream->avail;
}

// True when the reader took bits that the record does not hold.
inline bool overran(const InputStream* stream) {
    return bits_read(stream) > 8 * static_cast<int64_t>(stream->length);
}

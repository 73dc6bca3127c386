// The bounded count code.
//
// A value v with a bound m known to both sides is written from its least
// significant bit upwards, and the writing stops as soon as the bits given
// so far together with the next bit would exceed m.  The reader repeats the
// writer's test after every bit, so it always takes exactly as many bits as
// were written and no separator is needed.  A bound below 1 costs no bit.
//
// That rule has a closed form, which is what the code below uses.  Let B be
// the bit length of m and h = 2^(B-1).  Bits 0 to B-2 of v are always
// written; bit B-1 only when (v mod h) <= m - h.  So a code is the value's
// low B-1 or B bits, least significant first, and both sides move all of
// them at once.  The writer gathers codes in an accumulator (LevelWriter,
// in level_writer.h); the reader takes a 32-bit big-endian window at its current bit
// and reverses it, so that the first bit in stream order becomes the
// value's bit 0.  A code has at most 20 bits and starts at most 7 bits into
// a byte, so it always fits the window.
//
// Reading is guarded: an input stream never yields bits from beyond its
// length.  A read that would start past the end returns 0 and leaves the
// stream marked as overrun (position beyond length), which the decoder
// checks once per block.  Buffers carry kInputPadding zero bytes behind the
// data so that the window of a value begun inside the data stays inside
// the buffer.
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/level_writer.h"
#include "codec/working_state.h"

constexpr int32_t kInputPadding = 4;

struct InputStream {
    const uint8_t* buffer;
    int32_t position;
    uint8_t mask;
    int32_t length;  // data bytes; the buffer holds kInputPadding more
};

/**** Bit helpers ****/

inline uint32_t reverse_bits(uint32_t x) {
    return static_cast<uint32_t>(kReversedByte[x & 0xFF]) << 24 |
           static_cast<uint32_t>(kReversedByte[(x >> 8) & 0xFF]) << 16 |
           static_cast<uint32_t>(kReversedByte[(x >> 16) & 0xFF]) << 8 |
           static_cast<uint32_t>(kReversedByte[x >> 24]);
}

// Bits already used in the current byte, 0 to 7, from its mask.
inline int used_bits_of(uint8_t mask) { return __builtin_clz(mask) - 24; }

inline int bit_length(uint32_t m) { return 32 - __builtin_clz(m); }

/**** Writing ****/

// The caller guarantees v <= m.  Nothing is written when m < 1.
inline void put_bounded(LevelStream* stream, int32_t v, int32_t m) {
    if (m < 1) return;
    LevelWriter writer = open_writer(stream);
    write_bounded(writer, v, m);
    close_writer(stream, writer);
}

/**** Reading ****/

inline int read_bit(InputStream* stream) {
    int bit = (stream->buffer[stream->position] & stream->mask) != 0;
    stream->mask >>= 1;
    if (stream->mask == 0) {
        stream->mask = kFreshMask;
        ++stream->position;
    }
    return bit;
}

// Reads the code under m.  Nothing is read and 0 is returned when m < 1.
inline int32_t get_bounded(InputStream* stream, int32_t m) {
    if (m < 1) return 0;
    if (stream->position >= stream->length) {
        stream->position = stream->length + 1;
        return 0;
    }
    int used = used_bits_of(stream->mask);
    uint32_t window;
    std::memcpy(&window, stream->buffer + stream->position, 4);
    window = __builtin_bswap32(window) << used;
    int b = bit_length(static_cast<uint32_t>(m));
    int32_t h = 1 << (b - 1);
    int32_t v = static_cast<int32_t>(reverse_bits(window) & ((1u << b) - 1));
    int count = b;
    if ((v & (h - 1)) > m - h) {
        v &= h - 1;
        count = b - 1;
    }
    int end = used + count;
    stream->position += end >> 3;
    stream->mask = static_cast<uint8_t>(kFreshMask >> (end & 7));
    return v;
}

// True when the reader took bits that the record does not hold.
inline bool overran(const InputStream* stream) {
    return stream->position > stream->length ||
           (stream->position == stream->length && stream->mask != kFreshMask);
}

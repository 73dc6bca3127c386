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
// them at once: the writer through a LevelWriter, the reader as the low
// bits of an InputStream's bit buffer (bit_stream.h).
#pragma once

#include <cstdint>

#include "codec/bit_stream.h"

/**** Codes of small bounds ****/

// The shape of the code under every bound m up to 2048, for the loops that
// move many small codes: h is the highest power of two not above m (1 for
// m = 0).  Of the value's low bits (long_mask, 2h - 1), a code is the
// low short_length bits (short_mask, h - 1) when those lie at or above
// long_end (m + 1 - h), else all of them, one bit more.  For m = 0,
// long_end is 0 and the code has no bits.  The short mask comes first, so
// that the entry's first four bytes ANDed with a value below 65536 give its
// short code.
struct CodeShape {
    uint16_t short_mask;
    uint8_t short_length;
    uint8_t unused;
    uint16_t long_mask;
    uint16_t long_end;
};

// The shape of the code under m, at most 65535.
constexpr CodeShape code_shape_of(uint32_t m) {
    uint32_t top = 0;
    while ((2u << top) <= (m | 1u)) ++top;
    uint32_t h = 1u << top;
    return CodeShape{static_cast<uint16_t>(h - 1), static_cast<uint8_t>(top), 0, static_cast<uint16_t>(2 * h - 1),
                     static_cast<uint16_t>(m + 1 - h)};
}

constexpr int kShapedBounds = 2048;
extern const CodeShape kCodeShapes[kShapedBounds + 1];

/**** Writing ****/

// Appends the bounded code of v under m (0 <= v <= m).  A bound of 0 comes
// out as a code of no bits without a test of its own: its bit length is
// taken as 1, and the long-code test 0 <= m - h fails.
inline void write_bounded(LevelWriter& w, int32_t v, int32_t m) {
    int top = __builtin_clz(static_cast<uint32_t>(m) | 1u) ^ 31;  // bit length - 1
    int32_t h = 1 << top;
    int32_t short_bits = v & (h - 1);
    int long_code = short_bits <= m - h;
    write_bits(w, static_cast<uint32_t>(long_code ? v : short_bits), top + long_code);
}

// The caller guarantees v <= m.  Nothing is written when m < 1.
inline void put_bounded(LevelStream* stream, int32_t v, int32_t m) {
    if (m < 1) return;
    LevelWriter writer = open_writer(stream);
    write_bounded(writer, v, m);
    close_writer(stream, writer);
}

/**** Reading ****/

// Takes the code under m, 0 <= m <= 2^19, from bits topped up before: a
// bound of 0 gives a code of no bits, as in write_bounded.
inline uint32_t take_bounded(InputStream* stream, uint32_t m) {
    int top = __builtin_clz(m | 1u) ^ 31;  // bit length - 1
    uint32_t h = 1u << top;
    uint32_t v = static_cast<uint32_t>(stream->bits) & (2 * h - 1);
    uint32_t short_bits = v & (h - 1);
    int long_code = short_bits + h <= m;
    int count = top + long_code;
    stream->bits >>= count;
    stream->avail -= count;
    return long_code ? v : short_bits;
}

// Reads the code under m.  Nothing is read and 0 is returned when m < 1.
inline int32_t get_bounded(InputStream* stream, int32_t m) {
    top_up(stream);
    return static_cast<int32_t>(take_bounded(stream, m > 0 ? static_cast<uint32_t>(m) : 0u));
}

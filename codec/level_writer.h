// A writer that stays open on one LevelStream while codes are appended.
//
// Codes are gathered in a 64-bit accumulator in the order they are written,
// the first bit in bit 0, and leave it four bytes at a time exactly as they
// stand.  Such bytes hold their bits least significant first, the reverse
// of the stream's order; close_writer turns every byte the writer touched
// around once, so the stream is in its own order again, with its position
// and mask right, after the writer is closed.  The stream must not be
// touched by anything else while its writer is open.
#pragma once

#include <cstdint>
#include <cstring>

#include "codec/working_state.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the writer stores its accumulator as it stands");

extern const uint8_t kReversedByte[256];

// Each of the eight bytes of x with its bits in the opposite order.
inline uint64_t reverse_each_byte(uint64_t x) {
    x = (x >> 1 & 0x5555555555555555u) | (x & 0x5555555555555555u) << 1;
    x = (x >> 2 & 0x3333333333333333u) | (x & 0x3333333333333333u) << 2;
    return (x >> 4 & 0x0F0F0F0F0F0F0F0Fu) | (x & 0x0F0F0F0F0F0F0F0Fu) << 4;
}

// Turns the bits of each of `length` bytes around, in place.
void turn_bytes(uint8_t* data, int32_t length);

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
inline void write_bits(LevelWriter& w, uint32_t v, int count) {
    w.bits |= static_cast<uint64_t>(v) << w.count;
    w.count += count;
    if (w.count >= 32) {
        uint32_t out = static_cast<uint32_t>(w.bits);
        std::memcpy(w.position, &out, 4);  // little-endian targets only
        w.position += 4;
        w.bits >>= 32;
        w.count -= 32;
    }
}

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

inline void close_writer(LevelStream* stream, LevelWriter& w) {
    int tail = (w.count + 7) >> 3;
    for (int k = 0; k < tail; ++k) w.position[k] = static_cast<uint8_t>(w.bits >> (8 * k));
    turn_bytes(w.start, static_cast<int32_t>(w.position + tail - w.start));
    stream->position = w.position + (w.count >> 3);
    stream->mask = static_cast<uint8_t>(kFreshMask >> (w.count & 7));
}

// The bounded count code.
//
// A value v with a bound m known to both sides is written from its least
// significant bit upwards, and the writing stops as soon as the bits given
// so far together with the next bit would exceed m.  The reader repeats the
// writer's test after every bit, so it always takes exactly as many bits as
// were written and no separator is needed.  A bound below 1 costs no bit.
//
// Reading is guarded: an input stream never yields bits from beyond its
// length.  A read that would start past the end returns 0 and leaves the
// stream marked as overrun (position beyond length), which the decoder
// checks once per block.  Buffers carry kInputPadding zero bytes behind the
// data so that one value begun inside the data never leaves the buffer.
#pragma once

#include <cstdint>

#include "codec/working_state.h"

constexpr int32_t kInputPadding = 4;

struct InputStream {
    const uint8_t* buffer;
    int32_t position;
    uint8_t mask;
    int32_t length;  // data bytes; the buffer holds kInputPadding more
};

void put_bounded(LevelStream* stream, int32_t v, int32_t m);
int32_t get_bounded(InputStream* stream, int32_t m);

inline int read_bit(InputStream* stream) {
    int bit = (stream->buffer[stream->position] & stream->mask) != 0;
    stream->mask >>= 1;
    if (stream->mask == 0) {
        stream->mask = kFreshMask;
        ++stream->position;
    }
    return bit;
}

// True when the reader took bits that the record does not hold.
inline bool overran(const InputStream* stream) {
    return stream->position > stream->length ||
           (stream->position == stream->length && stream->mask != kFreshMask);
}

// Reading back what a LevelStream holds, as a string of '0' and '1' in
// stream order.
#pragma once

#include <string>

#include "codec/bit_stream.h"

inline int bits_in(const LevelStream* stream) {
    int partial = 0;
    for (unsigned mask = kFreshMask; mask != stream->mask; mask >>= 1) ++partial;
    return static_cast<int>(stream->position - stream->buffer) * 8 + partial;
}

inline std::string bit_string(const LevelStream* stream) {
    std::string bits;
    for (int i = 0; i < bits_in(stream); ++i) {
        bits += (stream->buffer[i / 8] & (0x80 >> (i % 8))) ? '1' : '0';
    }
    return bits;
}

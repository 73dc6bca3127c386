// Spans of at most 4096 bytes, decoded in local arrays.
//
// A list has at most 256 runs, and below a certain depth it describes at
// most 4096 bytes, so that no bound of its splits exceeds 2048, the room of
// the earlier half, and the table of code shapes serves them all.  From
// there on the decoder copies the list into a SmallList and finishes the
// span's whole subtree in arrays on the stack, depth first as before (the
// earlier half of every split before the later one), so every stream is
// read in the same order; the run nodes are given back at once.
#pragma once

#include <cstdint>

#include "codec/bounded_code.h"

constexpr int kSmallDepth = 7;  // spans of 4096 bytes
constexpr int kSmallRuns = 256;

// Runs are copied eight at a time, so the arrays have room for seven more.
// The count behind the last run is kEndCount, above any count of a run.
struct SmallList {
    int runs;
    uint8_t symbol[kSmallRuns + 8];
    uint16_t count[kSmallRuns + 8];
};

constexpr uint16_t kEndCount = 0xFFFF;

inline void mark_end(SmallList& list) { list.count[list.runs] = kEndCount; }

// The depth at which a list of t bytes (t >= 2) describes its span whole:
// the top depth of a block of t bytes.
inline int top_depth_of(int32_t t) { return 19 - (32 - __builtin_clz(static_cast<uint32_t>(t - 1))); }

// The depth at which spans are t bytes long, t a power of two.
constexpr int top_depth_of_power(int32_t t) {
    int depth = 19;
    while ((int32_t{1} << (19 - depth)) < t) --depth;
    return depth;
}

// Writes the `total` bytes that `list` describes at `depth` (at least
// kSmallDepth, and top_depth_of(total)) to out, reading split values from
// input[depth + 1] on and order bits from input[19].  The list's counts add
// up to total.
void decode_small_span(int depth, const SmallList& list, int32_t total, InputStream input[20],
                       uint8_t* out);

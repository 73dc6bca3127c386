// A run list of a span of at most 4096 bytes, held in arrays on the stack.
//
// From kSmallDepth on a list describes at most 4096 bytes, so that no bound
// of its splits exceeds 2048, the room of the earlier half, and the table
// of code shapes serves them all.  The walk of a split (split_walk.h), the
// tables of the shortest lists (short_lists.h) and the spans' descent
// (small_spans.h) all work on this form.
#pragma once

#include <cstdint>

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

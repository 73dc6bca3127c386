// Four bytes at a time: the two pairs of a 4-byte span, their order bits and
// the level-1 merge of their leaf lists, looked up instead of computed.
//
// What those steps write and build depends only on how the four bytes
// compare with one another, not on their values.  Six three-way comparisons
// (first pair, second pair, and each byte of the first pair against each of
// the second) give an index into a table of 3^6 entries, which the table's
// builder fills by running the ordinary pair and merge steps once on small
// stand-in values for every possible ordering.
#pragma once

#include <cstdint>

struct QuadEntry {
    uint8_t order_bits;   // stream 0, first bit in bit 0
    uint8_t order_count;  // 0 to 2
    uint8_t split_bits;   // stream 1, first bit in bit 0
    uint8_t split_count;  // 0 to 6
    uint8_t runs;         // 1 to 4 runs in the 4-byte list
    uint8_t source[4];    // which of the four bytes gives each run its symbol
    uint8_t count[4];     // each run's count
};

constexpr int kQuadPatterns = 729;

struct CodecState;

// The table.  The first call builds it in the caller's state, which it
// leaves with the node pool used, the pending lists and streams 0 and 1
// empty and the level-1 totals set: so it comes before a block resets them.
// Building it in a state of its own would cost a fresh state's page faults,
// more than the table's own work, once in every compression.
const QuadEntry* quad_entries(CodecState* scratch);

// 0, 1 or 2 for x < y, x == y, x > y.
inline unsigned compare3(unsigned x, unsigned y) { return (x >= y) + (x > y); }

inline unsigned quad_index(const uint8_t* q) {
    return compare3(q[0], q[1]) + 3 * compare3(q[2], q[3]) + 9 * compare3(q[0], q[2]) +
           27 * compare3(q[0], q[3]) + 81 * compare3(q[1], q[2]) + 243 * compare3(q[1], q[3]);
}

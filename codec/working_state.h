// The codec's working state: fixed storage that exists once for the run.
//
// Read me first:
//  - A run list is a chain of RunNodes in strictly ascending symbol order;
//    its counts add up to the length of the span it describes.  That length
//    is never stored in the list, only in level_totals.
//  - The node pool's free list is first in, first out.  A node given back
//    keeps its next link until another node is given back behind it; the
//    merge relies on that when it steps past a node it has just returned.
//  - The encoder numbers pending_lists and level_totals as levels (1 = pairs,
//    20 = whole block); the decoder numbers the same entries as depths
//    (0 = a span of 524288 bytes, 19 = one byte).
//  - Nothing here allocates: a block's end costs a re-threading of the pool
//    and the zeroing of the stream bytes that were used.
#pragma once

#include <cstdint>

#include "codec/bit_stream.h"

constexpr int32_t kBlockSize = 524288;   // 2^19 bytes
constexpr int kLevels = 21;              // levels 0..20, streams 0..20
constexpr int kRootStream = 20;
constexpr int kPoolSize = 58255;

struct RunNode {
    uint16_t symbol;
    int32_t count;
    RunNode* next;
};

struct NodePool {
    RunNode nodes[kPoolSize];
    RunNode* free_head;
    RunNode* free_tail;
};

extern NodePool node_pool;
extern RunNode* pending_lists[kLevels][2];
// total 0, total 1 and, for the decoder only, the span of a depth.
extern int32_t level_totals[kLevels][3];
extern LevelStream level_streams[kLevels];
extern uint8_t block_buffer[kBlockSize];

void reset_node_pool();
// Threads only the first `count` nodes (at least 2) as the free list, for a
// side that never holds more than a part of the pool.
void thread_node_pool(int count);
void reset_pending_lists();
void reset_level_streams();

inline RunNode* take_node() {
    RunNode* node = node_pool.free_head;
    node_pool.free_head = node->next;
    return node;
}

inline void give_back_node(RunNode* node) {
    node_pool.free_tail->next = node;
    node_pool.free_tail = node;
}

// The codec's working state: the storage that one worker codes its blocks
// in.  Each worker owns one CodecState and passes it to every block
// function; nothing of the codec's is shared between workers.
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
//  - Nothing here allocates once the state exists: a block's end costs a
//    re-threading of the pool and the zeroing of the stream bytes that were
//    used.
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

struct CodecState {
    NodePool node_pool;
    RunNode* pending_lists[kLevels][2];
    // total 0, total 1 and, for the decoder only, the span of a depth.
    int32_t level_totals[kLevels][3];
    LevelStream level_streams[kLevels];
    // The encoder's writers, one per level, open while a block is coded.
    LevelWriter writers[kLevels];
    // The decoder's nodes are all on the free list, as after a block that
    // was decoded without fault.
    bool pool_whole;
    uint8_t block_buffer[kBlockSize];
};

// A fresh state, its streams empty; null when there is no memory.  Its
// pages are taken from the system as they are first written, so a state
// costs the memory that its blocks use, not its size.
CodecState* new_codec_state();
void delete_codec_state(CodecState* state);

void reset_node_pool(CodecState* s);
// Threads only the first `count` nodes (at least 2) as the free list, for a
// side that never holds more than a part of the pool.
void thread_node_pool(CodecState* s, int count);
void reset_pending_lists(CodecState* s);
void reset_level_streams(CodecState* s);

inline RunNode* take_node(CodecState* s) {
    RunNode* node = s->node_pool.free_head;
    s->node_pool.free_head = node->next;
    return node;
}

inline void give_back_node(CodecState* s, RunNode* node) {
    s->node_pool.free_tail->next = node;
    s->node_pool.free_tail = node;
}

#include "codec/working_state.h"

#include <cstring>

NodePool node_pool;
RunNode* pending_lists[kLevels][2];
int32_t level_totals[kLevels][3];
LevelStream level_streams[kLevels];
uint8_t block_buffer[kBlockSize];

void reset_node_pool() { thread_node_pool(kPoolSize); }

void thread_node_pool(int count) {
    RunNode* nodes = node_pool.nodes;
    for (int k = 0; k < count - 1; ++k) nodes[k].next = &nodes[k + 1];
    nodes[count - 1].next = nullptr;
    node_pool.free_head = &nodes[0];
    node_pool.free_tail = &nodes[count - 1];
}

void reset_pending_lists() {
    std::memset(pending_lists, 0, sizeof pending_lists);
}

void reset_level_streams() {
    for (LevelStream& stream : level_streams) reset_level_stream(&stream);
}

#include "codec/working_state.h"

#include <cstdlib>
#include <cstring>
#include <type_traits>

// Zero-filled memory is a valid state: empty streams at their first byte
// with the fresh mask set below, no lists, no nodes threaded.
static_assert(std::is_trivially_copyable<CodecState>::value, "a state is plain storage");

CodecState* new_codec_state() {
    CodecState* s = static_cast<CodecState*>(std::calloc(1, sizeof(CodecState)));
    if (s == nullptr) return nullptr;
    for (LevelStream& stream : s->level_streams) {
        stream.mask = kFreshMask;
        stream.position = stream.buffer;
    }
    return s;
}

void delete_codec_state(CodecState* state) { std::free(state); }

void reset_node_pool(CodecState* s) { thread_node_pool(s, kPoolSize); }

void thread_node_pool(CodecState* s, int count) {
    RunNode* nodes = s->node_pool.nodes;
    for (int k = 0; k < count - 1; ++k) nodes[k].next = &nodes[k + 1];
    nodes[count - 1].next = nullptr;
    s->node_pool.free_head = &nodes[0];
    s->node_pool.free_tail = &nodes[count - 1];
}

void reset_pending_lists(CodecState* s) {
    std::memset(s->pending_lists, 0, sizeof s->pending_lists);
}

void reset_level_streams(CodecState* s) {
    for (LevelStream& stream : s->level_streams) reset_level_stream(&stream);
}

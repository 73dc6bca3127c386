// The node pool's first-in, first-out free list.
#include <gtest/gtest.h>

#include "codec/working_state.h"

// The codec state that this file's cases code their blocks in.
static CodecState* const state = new_codec_state();

namespace {

TEST(NodePoolFreeList, AResetThreadsAllNodesInArrayOrder) {
    reset_node_pool(state);
    int count = 0;
    RunNode* last = nullptr;
    for (RunNode* n = state->node_pool.free_head; n != nullptr; n = n->next) {
        ASSERT_EQ(n, &state->node_pool.nodes[count]);
        last = n;
        ++count;
    }
    EXPECT_EQ(count, kPoolSize);
    EXPECT_EQ(last, state->node_pool.free_tail);
}

TEST(NodePoolFreeList, AGivenBackNodeComesBackOnlyAfterAllOthers) {
    reset_node_pool(state);
    RunNode* first = take_node(state);
    give_back_node(state, first);
    for (int i = 1; i < kPoolSize; ++i) ASSERT_NE(take_node(state), first);
    EXPECT_EQ(take_node(state), first);
}

}  // namespace

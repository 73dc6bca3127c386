// The node pool's first-in, first-out free list.
#include <gtest/gtest.h>

#include "codec/working_state.h"

namespace {

TEST(NodePoolFreeList, AResetThreadsAllNodesInArrayOrder) {
    reset_node_pool();
    int count = 0;
    RunNode* last = nullptr;
    for (RunNode* n = node_pool.free_head; n != nullptr; n = n->next) {
        ASSERT_EQ(n, &node_pool.nodes[count]);
        last = n;
        ++count;
    }
    EXPECT_EQ(count, kPoolSize);
    EXPECT_EQ(last, node_pool.free_tail);
}

TEST(NodePoolFreeList, AGivenBackNodeComesBackOnlyAfterAllOthers) {
    reset_node_pool();
    RunNode* first = take_node();
    give_back_node(first);
    for (int i = 1; i < kPoolSize; ++i) ASSERT_NE(take_node(), first);
    EXPECT_EQ(take_node(), first);
}

}  // namespace

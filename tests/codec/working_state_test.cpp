// The node pool's first-in, first-out free list and the level streams'
// bit order and used length.
#include <gtest/gtest.h>

#include "codec/working_state.h"
#include "tests/codec/stream_bits.h"

namespace {

TEST(LevelStreamBits, UsedLengthCountsEveryTouchedByte) {
    LevelStream& s = level_streams[3];
    reset_level_stream(&s);
    EXPECT_EQ(used_length(&s), 0);
    for (int i = 0; i < 8; ++i) put_bit(&s, 0);
    EXPECT_EQ(used_length(&s), 1);
    EXPECT_EQ(s.mask, kFreshMask);
    put_bit(&s, 0);
    EXPECT_EQ(used_length(&s), 2);
}

TEST(LevelStreamBits, BitsFillBytesFromTheMostSignificantEnd) {
    LevelStream& s = level_streams[3];
    reset_level_stream(&s);
    put_bit(&s, 1);
    put_bit(&s, 0);
    put_bit(&s, 1);
    EXPECT_EQ(s.buffer[0], 160);
    EXPECT_EQ(used_length(&s), 1);
}

TEST(LevelStreamBits, AResetClearsEveryByteThatWasWritten) {
    LevelStream& s = level_streams[4];
    reset_level_stream(&s);
    for (int i = 0; i < 8 * 1000 + 3; ++i) put_bit(&s, 1);
    reset_level_stream(&s);
    for (int i = 0; i < kStreamCapacity; ++i) ASSERT_EQ(s.buffer[i], 0) << i;
    EXPECT_EQ(used_length(&s), 0);
}

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

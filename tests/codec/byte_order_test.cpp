// The codec's word loads and stores: a word's least significant byte is the
// first in memory on every processor, at any alignment, and nothing past the
// word is touched.  The cross-built tests run this on a big-endian processor.
#include <gtest/gtest.h>

#include <cstdint>

#include "codec/byte_order.h"

namespace {

TEST(ByteOrder, WordsLieLeastSignificantByteFirstAtAnyAlignment) {
    uint8_t bytes[12] = {};
    for (int at = 0; at < 4; ++at) {
        store_le64(bytes + at, 0x8877665544332211u);
        for (int k = 0; k < 8; ++k) EXPECT_EQ(bytes[at + k], 0x11 * (k + 1)) << "at " << at << ", byte " << k;
        EXPECT_EQ(load_le64(bytes + at), 0x8877665544332211u);
        EXPECT_EQ(load_le32(bytes + at + 1), 0x55443322u);
    }
}

TEST(ByteOrder, AFourByteStoreLeavesTheBytesAroundIt) {
    uint8_t bytes[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    store_le32(bytes + 1, 0xDDCCBBAAu);
    const uint8_t expected[8] = {1, 0xAA, 0xBB, 0xCC, 0xDD, 6, 7, 8};
    for (int k = 0; k < 8; ++k) EXPECT_EQ(bytes[k], expected[k]) << "byte " << k;
    EXPECT_EQ(load_le64(bytes), 0x080706DDCCBBAA01u);
}

}  // namespace

// The decoder on hand-made records: known blocks decode to their bytes,
// and records that do not hold what the decoding takes are refused.
#include <gtest/gtest.h>

#include "codec/dec/block_decoder.h"
#include "codec/dec/short_lists.h"
#include "codec/working_state.h"
#include "tests/support/codec_runs.h"

// The codec state that this file's cases code their blocks in.
static CodecState* const state = new_codec_state();

namespace {

const Bytes kAbRecords = {0x07, 0, 0, 0, 0x40, 0x00, 0x10, 0xC4, 0x02, 0x31, 0x00,
                          0x01, 0, 0, 0, 0x80};

TEST(DecodedBlocks, TwoByteRecordsDecodeToTheirPair) {
    Decoded ab = decode_records(kAbRecords, 2);
    EXPECT_EQ(ab.status, CodecStatus::ok);
    EXPECT_EQ(ab.bytes, bytes_of("ab"));

    Bytes ba_records = kAbRecords;
    ba_records.back() = 0x00;
    Decoded ba = decode_records(ba_records, 2);
    EXPECT_EQ(ba.status, CodecStatus::ok);
    EXPECT_EQ(ba.bytes, bytes_of("ba"));
}

TEST(DecodedBlocks, TenBytesSplitAsTheyWereMerged) {
    Bytes records = encode_records(bytes_of("aaaabbbbcd"));
    Decoded d = decode_records(records, 10);
    EXPECT_EQ(d.status, CodecStatus::ok);
    EXPECT_EQ(d.bytes, bytes_of("aaaabbbbcd"));
}

TEST(DecodedBlocks, ASizeOfZeroReadsAndWritesNothing) {
    Decoded d = decode_records(Bytes{1, 2, 3}, 0);
    EXPECT_EQ(d.status, CodecStatus::ok);
    EXPECT_TRUE(d.bytes.empty());
}

TEST(DecodedBlocks, BytesBehindTheLastRecordAreNotRead) {
    Bytes records = kAbRecords;
    records.insert(records.end(), {0xDE, 0xAD, 0xBE, 0xEF});
    Decoded d = decode_records(records, 2);
    EXPECT_EQ(d.status, CodecStatus::ok);
    EXPECT_EQ(d.bytes, bytes_of("ab"));
}

TEST(DamagedBlocks, ATruncatedRecordIsRefused) {
    for (size_t cut = 0; cut < kAbRecords.size(); ++cut) {
        Bytes records(kAbRecords.begin(), kAbRecords.begin() + static_cast<long>(cut));
        EXPECT_EQ(decode_records(records, 2).status, CodecStatus::damaged) << "cut at " << cut;
    }
}

TEST(DamagedBlocks, ARecordWithTooFewBitsIsRefused) {
    // The order-bit record is empty although the pair holds two symbols.
    Bytes records(kAbRecords.begin(), kAbRecords.end() - 5);
    records.insert(records.end(), {0, 0, 0, 0});
    EXPECT_EQ(decode_records(records, 2).status, CodecStatus::damaged);
}

TEST(DamagedBlocks, ARecordLongerThanAStreamIsRefused) {
    Bytes records = {0x01, 0x00, 0x01, 0x00};  // 65537
    EXPECT_EQ(decode_records(records, 2).status, CodecStatus::damaged);
    records = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(decode_records(records, 2).status, CodecStatus::damaged);
}

TEST(DamagedBlocks, ARootListThatDoesNotDescribeTheBlockIsRefused) {
    // Stored byte count 4 for a block of 2.
    Bytes wrong_count = kAbRecords;
    wrong_count[4] = 0x20;
    EXPECT_EQ(decode_records(wrong_count, 2).status, CodecStatus::damaged);
    // A block length the records were not written for.
    Bytes records = encode_records(bytes_of("abcd"));
    EXPECT_EQ(decode_records(records, 6).status, CodecStatus::damaged);
    EXPECT_EQ(decode_records(records, 2).status, CodecStatus::damaged);
}

// Single flipped bits anywhere in the records of a block of text, which
// runs through the pool's depths, the arrays of small spans and the tables
// of short lists: the decoder reads every value under its bound, so it
// either refuses the block or gives back a block of the right length, and
// the same one each time (no byte may depend on memory it did not write).
TEST(DamagedBlocks, FlippedBitsInALargeBlockAreRefusedOrDecodedAlike) {
    Bytes text = corpus_file("lcet10.txt");
    Bytes data(text.begin(), text.begin() + 30000);
    Bytes records = encode_records(data);
    Bytes where = random_bytes(4 * 100, 2024);
    int refused = 0;
    for (int i = 0; i < 100; ++i) {
        uint32_t bit = (static_cast<uint32_t>(where[4 * i]) << 16 | where[4 * i + 1] << 8 | where[4 * i + 2]) %
                       static_cast<uint32_t>(8 * records.size());
        Bytes damaged = records;
        damaged[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
        Decoded first = decode_records(damaged, 30000);
        Decoded again = decode_records(damaged, 30000);
        ASSERT_TRUE(first.status == CodecStatus::ok || first.status == CodecStatus::damaged) << "bit " << bit;
        ASSERT_EQ(first.status, again.status) << "bit " << bit;
        ASSERT_TRUE(first.bytes == again.bytes) << "bit " << bit;
        if (first.status == CodecStatus::ok) {
            ASSERT_EQ(first.bytes.size(), data.size()) << "bit " << bit;
        } else {
            ++refused;
        }
    }
    EXPECT_GT(refused, 0);  // flips in the record lengths at least
}

// Blocks after the first are decoded on the pool as the block before left
// it, without threading it again: that holds only if a block gives every
// node back, whatever its lists were (text, noise, one byte).  Noise puts
// 256 runs in the lists of every depth, the most the decoder holds.
TEST(DecodedBlocks, EveryNodeIsBackOnTheFreeListAfterABlock) {
    Bytes text = corpus_file("urls.10K");
    Bytes noise = random_bytes(600000, 7);
    Bytes data(text.begin(), text.begin() + 600000);
    data.insert(data.end(), noise.begin(), noise.end());
    data.insert(data.end(), 400000, 'x');
    data.insert(data.end(), text.begin(), text.begin() + 50000);
    Decoded d = decode_in_state(state, encode_records(data), static_cast<int32_t>(data.size()));
    ASSERT_EQ(d.status, CodecStatus::ok);
    ASSERT_TRUE(d.bytes == data);
    std::vector<bool> seen(kDecoderNodes, false);
    int free_nodes = 0;
    const RunNode* node = state->node_pool.free_head;
    for (;;) {
        ptrdiff_t at = node - state->node_pool.nodes;
        ASSERT_TRUE(at >= 0 && at < kDecoderNodes && !seen[static_cast<size_t>(at)]) << "after " << free_nodes;
        seen[static_cast<size_t>(at)] = true;
        ++free_nodes;
        if (node == state->node_pool.free_tail) break;
        node = node->next;
    }
    EXPECT_EQ(free_nodes, kDecoderNodes);
}

TEST(DamagedBlocks, AnOddOrNegativeSizeIsRefused) {
    EXPECT_EQ(decode_records(kAbRecords, 3).status, CodecStatus::damaged);
    EXPECT_EQ(decode_records(kAbRecords, -2).status, CodecStatus::damaged);
}

// The table of 8-byte splits is worked out when the program is built, by a
// second form of the split's walk; every entry must be what the decoder's
// own walk makes of the list: the bits it takes, and each half's runs and
// shape.
TEST(DecodedBlocks, TheBuiltTableOfEightByteSplitsAgreesWithTheWalk) {
    EXPECT_TRUE(octet_splits_match_walks());
}

}  // namespace

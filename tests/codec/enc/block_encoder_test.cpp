// The encoder's merges and whole blocks, bit for bit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/enc/block_encoder.h"
#include "codec/enc/list_merge.h"
#include "codec/working_state.h"
#include "tests/codec/stream_bits.h"
#include "tests/support/codec_runs.h"

// The codec state that this file's cases code their blocks in.
static CodecState* const state = new_codec_state();

namespace {

struct Run {
    int symbol;
    int count;
};

RunNode* make_list(const std::vector<Run>& runs) {
    RunNode head;
    RunNode* last = &head;
    for (const Run& r : runs) {
        RunNode* node = take_node(state);
        node->symbol = static_cast<uint16_t>(r.symbol);
        node->count = r.count;
        last->next = node;
        last = node;
    }
    last->next = nullptr;
    return head.next;
}

std::vector<Run> runs_of(const RunNode* list) {
    std::vector<Run> runs;
    for (; list != nullptr; list = list->next) runs.push_back({list->symbol, list->count});
    return runs;
}

std::string text_of(const std::vector<Run>& runs) {
    std::string text;
    for (const Run& r : runs) text += std::string(1, static_cast<char>(r.symbol)) + ":" + std::to_string(r.count) + " ";
    return text;
}

struct MergeResult {
    std::string bits;
    std::string list;
    int32_t total;
};

MergeResult merge(const std::vector<Run>& earlier, int32_t total0, const std::vector<Run>& later,
                  int32_t total1) {
    reset_node_pool(state);
    reset_pending_lists(state);
    reset_level_stream(&state->level_streams[2]);
    state->pending_lists[2][0] = make_list(earlier);
    state->pending_lists[2][1] = make_list(later);
    state->level_totals[2][0] = total0;
    state->level_totals[2][1] = total1;
    merge_level(state, 2, 1);
    EXPECT_EQ(state->pending_lists[2][0], nullptr);
    EXPECT_EQ(state->pending_lists[2][1], nullptr);
    return {bit_string(&state->level_streams[2]), text_of(runs_of(state->pending_lists[3][1])), state->level_totals[3][1]};
}

TEST(MergeLevel, CodesOnlyTheSymbolsWhoseBoundIsAboveZero) {
    MergeResult r = merge({{'a', 1}, {'b', 1}}, 2, {{'a', 1}, {'b', 1}}, 2);
    EXPECT_EQ(r.bits, "1");
    EXPECT_EQ(r.list, "a:2 b:2 ");
    EXPECT_EQ(r.total, 4);

    r = merge({{'a', 2}}, 2, {{'b', 2}}, 2);
    EXPECT_EQ(r.bits, "01");
    EXPECT_EQ(r.list, "a:2 b:2 ");

    r = merge({{'b', 2}}, 2, {{'a', 1}, {'c', 1}}, 2);
    EXPECT_EQ(r.bits, "01");
    EXPECT_EQ(r.list, "a:1 b:2 c:1 ");

    r = merge({{'a', 1}, {'c', 1}}, 2, {{'b', 1}, {'d', 1}}, 2);
    EXPECT_EQ(r.bits, "101");
    EXPECT_EQ(r.list, "a:1 b:1 c:1 d:1 ");

    r = merge({{'a', 2}}, 2, {{'a', 2}}, 2);
    EXPECT_EQ(r.bits, "");
    EXPECT_EQ(r.list, "a:4 ");
}

TEST(MergeLevel, ASharedSymbolReturnsTheLaterNodeToThePool) {
    reset_level_streams(state);
    reset_node_pool(state);
    reset_pending_lists(state);
    state->pending_lists[1][0] = make_list({{'a', 2}});
    RunNode* later = make_list({{'a', 2}});
    state->pending_lists[1][1] = later;
    state->level_totals[1][0] = state->level_totals[1][1] = 2;
    merge_level(state, 1, 0);
    EXPECT_EQ(state->node_pool.free_tail, later);
}

std::string hex(const Bytes& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

TEST(EncodedBlocks, SmallBlocksAreStoredByteForByte) {
    EXPECT_EQ(hex(encode_records(bytes_of("ab"))), "07 00 00 00 40 00 10 C4 02 31 00 01 00 00 00 80");
    EXPECT_EQ(hex(encode_records(bytes_of("ba"))), "07 00 00 00 40 00 10 C4 02 31 00 01 00 00 00 00");
    EXPECT_EQ(hex(encode_records(bytes_of("aa"))), "05 00 00 00 40 00 10 C2 00 00 00 00 00");
    EXPECT_EQ(hex(encode_records(bytes_of("ello"))),
              "0A 00 00 00 20 00 14 C4 01 B0 81 EC 40 00 01 00 00 00 C0 01 00 00 00 C0");
}

TEST(EncodedBlocks, FourDistinctBytesTakeTwentySixBytes) {
    Bytes records = encode_records(bytes_of("abcd"));
    ASSERT_EQ(records.size(), 26u);
    EXPECT_EQ(records[0], 12);  // a root stream of 91 bits
    EXPECT_EQ(hex(Bytes(records.begin() + 16, records.end())), "01 00 00 00 C0 01 00 00 00 C0");
}

TEST(EncodedBlocks, TenBytesWithCarriesInTheClosingPass) {
    Bytes records = encode_records(bytes_of("aaaabbbbcd"));
    ASSERT_EQ(records.size(), 35u);
    EXPECT_EQ(records[0], 12);
    EXPECT_EQ(hex(Bytes(records.begin() + 16, records.end())),
              "01 00 00 00 50 01 00 00 00 20 00 00 00 00 01 00 00 00 80");
}

TEST(EncodedBlocks, AFullBlockOfEqualBytesIsFiftyRootBits) {
    Bytes records = encode_records(Bytes(524288, 'x'));
    ASSERT_EQ(records.size(), 4u + 7u + 19u * 4u);
    EXPECT_EQ(hex(Bytes(records.begin(), records.begin() + 11)),
              "07 00 00 00 00 00 11 E4 00 00 40");
    for (size_t i = 11; i < records.size(); ++i) ASSERT_EQ(records[i], 0) << i;
}

TEST(EncodedBlocks, ASixByteBlockCarriesItsLastPairUp) {
    reset_level_streams(state);
    encode_block(state, bytes_of("abcdef").data(), 6);
    const RunNode* list = state->pending_lists[20][0];
    EXPECT_EQ(text_of(runs_of(list)), "a:1 b:1 c:1 d:1 e:1 f:1 ");
    EXPECT_EQ(state->level_totals[3][0], 6);
    EXPECT_EQ(bit_string(&state->level_streams[0]), "111");
    EXPECT_EQ(bit_string(&state->level_streams[1]), "11");
    reset_level_streams(state);
}

TEST(EncodedBlocks, TheRootListIsSortedAndCoversTheBlock) {
    reset_level_streams(state);
    for (int32_t n : {2, 6, 70, 1000, 4098, 65536, 200002}) {
        Bytes data = random_bytes(static_cast<size_t>(n), static_cast<uint32_t>(n) * 7919u);
        for (size_t i = 0; i < data.size(); i += 3) data[i] = static_cast<uint8_t>(data[i] % 5);
        encode_block(state, data.data(), n);
        int previous = -1;
        int64_t total = 0;
        for (const RunNode* node = state->pending_lists[20][0]; node != nullptr; node = node->next) {
            EXPECT_GT(node->symbol, previous);
            previous = node->symbol;
            total += node->count;
        }
        EXPECT_EQ(total, n);
        reset_level_streams(state);
    }
}

// The pair-by-pair schedule, one pair and one merge at a time through the
// public steps, as the fast block loop (four bytes per table lookup, open
// writers) must reproduce it.
std::vector<std::string> streams_pair_by_pair(const Bytes& data) {
    int32_t n = static_cast<int32_t>(data.size());
    reset_level_streams(state);
    reset_node_pool(state);
    reset_pending_lists(state);
    state->level_totals[1][0] = state->level_totals[1][1] = 2;
    for (int32_t d = 0; d < n / 2; ++d) {
        unsigned x = data[2 * d];
        unsigned y = data[2 * d + 1];
        state->pending_lists[1][d & 1] = leaf_list(state, x, y);
        if (x != y) put_bit(&state->level_streams[0], x < y);
        for (int k = 1; (d >> (k - 1)) & 1; ++k) merge_level(state, k, (d >> k) & 1);
    }
    for (int level = 1; level <= 19; ++level) {
        int side = state->pending_lists[level + 1][0] != nullptr ? 1 : 0;
        if (state->pending_lists[level][1] != nullptr) {
            merge_level(state, level, side);
        } else if (state->pending_lists[level][0] != nullptr) {
            state->pending_lists[level + 1][side] = state->pending_lists[level][0];
            state->level_totals[level + 1][side] = state->level_totals[level][0];
            state->pending_lists[level][0] = nullptr;
        }
    }
    write_root_list(state, n);
    std::vector<std::string> streams;
    for (const LevelStream& stream : state->level_streams) streams.push_back(bit_string(&stream));
    reset_level_streams(state);
    return streams;
}

std::vector<std::string> streams_of_block(const Bytes& data) {
    reset_level_streams(state);
    encode_block(state, data.data(), static_cast<int32_t>(data.size()));
    std::vector<std::string> streams;
    for (const LevelStream& stream : state->level_streams) streams.push_back(bit_string(&stream));
    reset_level_streams(state);
    return streams;
}

TEST(EncodedBlocks, TheBlockLoopWritesWhatThePairByPairStepsWrite) {
    // Every ordering of four bytes, each as a block of its own.
    for (int k = 0; k < 256; ++k) {
        Bytes q = {static_cast<uint8_t>(k & 3), static_cast<uint8_t>((k >> 2) & 3),
                   static_cast<uint8_t>((k >> 4) & 3), static_cast<uint8_t>(k >> 6)};
        ASSERT_EQ(streams_of_block(q), streams_pair_by_pair(q)) << k;
    }
    // Runs of random lengths: many shared symbols, long lists whose ends
    // are copied, spans of one symbol.
    for (int alphabet : {1, 2, 5, 256}) {
        Bytes noise = random_bytes(200000, static_cast<uint32_t>(alphabet) * 7919u);
        Bytes data;
        for (size_t i = 0; data.size() < 131072 + 18; i += 2) {
            data.insert(data.end(), 1 + noise[i] % 40u, static_cast<uint8_t>(noise[i + 1] % alphabet));
        }
        data.resize(131072 + 18);
        ASSERT_EQ(streams_of_block(data), streams_pair_by_pair(data)) << "runs, alphabet " << alphabet;
    }
    // Runs of 64 to 512 bytes on span boundaries: a symbol that fills one
    // half of its span has the bound of the half's whole count (up to 256).
    Bytes halves;
    for (int k = 0; halves.size() < 65536; ++k) {
        halves.insert(halves.end(), static_cast<size_t>(64) << (k % 4), static_cast<uint8_t>("ab\xff"[k % 3]));
    }
    halves.resize(65536);
    ASSERT_EQ(streams_of_block(halves), streams_pair_by_pair(halves)) << "runs of whole halves";
    // Small and large alphabets, lengths with and without a last odd pair.
    for (int32_t n : {6, 8, 10, 14, 30, 34, 1002, 4096, 70002, 262146, 524288}) {
        for (int alphabet : {3, 40, 256}) {
            Bytes data = random_bytes(static_cast<size_t>(n), static_cast<uint32_t>(n + alphabet));
            for (uint8_t& b : data) b = static_cast<uint8_t>(b % alphabet);
            ASSERT_EQ(streams_of_block(data), streams_pair_by_pair(data)) << n << " " << alphabet;
        }
    }
}

// Blocks coded 4096 bytes at a time in sixteen 256-byte lanes, with the
// lanes unlike one another: every byte value once (the most runs a lane can
// have), one value throughout, falling bytes, a value 129 times among 127
// others (the longest codes where a run ends just past a 16-key chunk's
// start), two values alternating, and noise.  Lengths leave 0 to 8 whole
// 512-byte spans in the last group and a tail of quads and a pair.
TEST(EncodedBlocks, LaneGroupsWriteWhatThePairByPairStepsWrite) {
    Bytes noise = random_bytes(1 << 16, 4242u);
    Bytes data;
    for (int lane = 0; data.size() < 3 * 4096 + 512; ++lane) {
        Bytes span(256);
        switch (lane % 6) {
            case 0:
                for (int k = 0; k < 256; ++k) span[k] = static_cast<uint8_t>(k * 167 + lane);
                break;
            case 1:
                span.assign(256, static_cast<uint8_t>(lane));
                break;
            case 2:
                for (int k = 0; k < 256; ++k) span[k] = static_cast<uint8_t>(255 - k);
                break;
            case 3:
                for (int k = 0; k < 256; ++k) span[k] = static_cast<uint8_t>(k < 129 ? 7 : k);
                for (int k = 255; k > 0; --k) std::swap(span[k], span[noise[(lane * 256 + k) % noise.size()] % (k + 1)]);
                break;
            case 4:
                for (int k = 0; k < 256; ++k) span[k] = static_cast<uint8_t>((k & 1) ? 200 : 3);
                break;
            default:
                for (int k = 0; k < 256; ++k) span[k] = noise[(lane * 256 + k) % noise.size()];
        }
        data.insert(data.end(), span.begin(), span.end());
    }
    for (int spans = 0; spans <= 8; ++spans) {
        for (int tail : {0, 2, 258, 510}) {
            Bytes block(data.begin() + 512 * spans, data.begin() + 512 * spans + 4096 + 512 * spans + tail);
            ASSERT_EQ(streams_of_block(block), streams_pair_by_pair(block)) << spans << " spans, tail " << tail;
        }
    }
}

// The encoder threads only part of the pool.  Blocks that keep the most
// lists waiting at once (every level busy in the closing pass, 256 runs in
// every list) must end with every node either on the free list or in the
// root list: none lost, and none taken from beyond the threaded part.
TEST(EncodedBlocks, TheBusiestBlocksStayWithinTheThreadedNodes) {
    for (int32_t n : {524288, 524286, 262146, 4098}) {
        Bytes data = random_bytes(static_cast<size_t>(n), static_cast<uint32_t>(n) * 31u);
        reset_level_streams(state);
        encode_block(state, data.data(), n);
        int in_root = 0;
        for (const RunNode* node = state->pending_lists[20][0]; node != nullptr; node = node->next) ++in_root;
        EXPECT_EQ(in_root, 256) << n;
        int free_nodes = 0;
        // The free list ends at its tail; the tail's own link is not kept.
        for (const RunNode* node = state->node_pool.free_head; free_nodes <= kPoolSize; node = node->next) {
            ASSERT_NE(node, nullptr) << n;
            ASSERT_LT(node - state->node_pool.nodes, kEncoderNodes) << n;
            ++free_nodes;
            if (node == state->node_pool.free_tail) break;
        }
        EXPECT_EQ(free_nodes + in_root, kEncoderNodes) << n;
    }
    reset_level_streams(state);
}

TEST(EncodedBlocks, NoInputWritesNothing) {
    EXPECT_TRUE(encode_records(Bytes()).empty());
}

}  // namespace

// The lane kernel on its own: the lists it leaves and which lanes it codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "codec/bit_stream.h"
#include "codec/enc/lane_spans.h"
#include "codec/working_state.h"
#include "tests/codec/stream_bits.h"
#include "tests/support/codec_runs.h"

// The codec state that this file's cases code their blocks in.
static CodecState* const state = new_codec_state();

namespace {

struct LaneOutput {
    std::vector<std::string> streams;  // levels 0 to 7
    std::vector<ArrayList> lists;
};

LaneOutput run_lanes(const Bytes& group, int lanes) {
    reset_level_streams(state);
    LevelWriter writers[kLaneLevel];
    for (int level = 0; level < kLaneLevel; ++level) writers[level] = open_writer(&state->level_streams[level]);
    LaneOutput out;
    out.lists.resize(kLanes);
    code_lane_group(group.data(), lanes, writers, out.lists.data());
    for (int level = 0; level < kLaneLevel; ++level) {
        close_writer(&state->level_streams[level], writers[level]);
        out.streams.push_back(bit_string(&state->level_streams[level]));
    }
    reset_level_streams(state);
    return out;
}

Bytes group_of(int kind) {
    Bytes group = random_bytes(kLaneGroup, 99u + static_cast<uint32_t>(kind));
    for (int lane = 0; lane < kLanes; ++lane) {
        uint8_t* span = group.data() + kLaneSpan * lane;
        switch ((lane + kind) % 4) {
            case 0:
                for (int k = 0; k < kLaneSpan; ++k) span[k] = static_cast<uint8_t>(k);
                break;
            case 1:
                std::fill(span, span + kLaneSpan, static_cast<uint8_t>(lane * 17));
                break;
            case 2:
                for (int k = 0; k < kLaneSpan; ++k) span[k] = static_cast<uint8_t>(span[k] % 5);
                break;
            default:
                break;  // noise
        }
    }
    return group;
}

TEST(LaneSpans, EachLaneLeavesTheSortedCountsOfItsSpan) {
    for (int kind = 0; kind < 4; ++kind) {
        Bytes group = group_of(kind);
        LaneOutput out = run_lanes(group, kLanes);
        for (int lane = 0; lane < kLanes; ++lane) {
            std::map<int, int> counts;
            for (int k = 0; k < kLaneSpan; ++k) ++counts[group[kLaneSpan * lane + k]];
            const ArrayList& list = out.lists[lane];
            ASSERT_EQ(list.runs, static_cast<int>(counts.size())) << kind << " lane " << lane;
            int r = 0;
            for (const auto& [symbol, count] : counts) {
                EXPECT_EQ(list.cells[r], symbol) << kind << " lane " << lane << " run " << r;
                EXPECT_EQ(list.cells[kStride + r], count) << kind << " lane " << lane << " run " << r;
                ++r;
            }
            EXPECT_EQ(list.cells[list.runs], kSentinel);
        }
    }
}

// The block's last spans fill only some lanes: those past them may hold
// anything, and what is coded is the beginning of what all lanes give.
TEST(LaneSpans, OnlyTheCountedLanesAreCoded) {
    Bytes group = group_of(1);
    LaneOutput all = run_lanes(group, kLanes);
    for (int lanes : {2, 6, 14}) {
        Bytes changed = group;
        for (size_t k = static_cast<size_t>(kLaneSpan) * lanes; k < changed.size(); ++k) changed[k] ^= 0x5A;
        LaneOutput some = run_lanes(changed, lanes);
        LaneOutput same = run_lanes(group, lanes);
        EXPECT_EQ(some.streams, same.streams) << lanes;
        for (int level = 0; level < kLaneLevel; ++level) {
            EXPECT_EQ(all.streams[level].compare(0, some.streams[level].size(), some.streams[level]), 0)
                << lanes << " lanes, level " << level;
            EXPECT_LT(some.streams[level].size(), all.streams[level].size() + 1);
        }
        for (int lane = 0; lane < lanes; ++lane) EXPECT_EQ(some.lists[lane].runs, all.lists[lane].runs) << lane;
    }
}

}  // namespace

// Sixteen spans of 256 bytes at once, one per vector lane.
//
// Up to level 8 a span's merges are computed in vector lanes rather than one
// run after another: each lane holds one span as 256 keys (the byte
// above its position), which a sorting network merges level by level exactly
// as the counter pairs spans.  After each level's merge the keys of a span
// stand in symbol order, so every run and the split value of the merge that
// built it can be read off positions in that order: the runs' counts are the
// lengths of equal-byte stretches, and the remainders are counts of keys
// from the earlier half before them.
#pragma once

#include <cstdint>

#include "codec/bit_stream.h"
#include "codec/enc/array_list.h"

constexpr int kLaneLevel = 8;
constexpr int kLaneSpan = 1 << kLaneLevel;
constexpr int kLanes = 16;
constexpr int kLaneGroup = kLaneSpan * kLanes;

// Codes the first `lanes` spans of the 4096 bytes at `group` up to level 8:
// the pair order bits go to writers[0] and the merges producing levels 2 to
// 8 to writers[1] to writers[7], span by span in the order of the bytes;
// the level-8 list of span k lands in lists[k].  The bytes of the other
// lanes are read but not coded.
void code_lane_group(const uint8_t* group, int lanes, LevelWriter* writers, ArrayList* lists);

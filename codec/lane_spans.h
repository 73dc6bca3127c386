// Eight 32-byte spans at once, one per vector lane.
//
// Up to level 5 a span's merges are computed in vector lanes rather than one
// run after another: each lane holds one 32-byte span as 32 keys (the byte
// above its position), which a sorting network merges level by level exactly
// as the counter pairs spans.  After each level's merge the keys of a span
// stand in symbol order, so every run and the split value of the merge that
// built it can be read off positions in that order: the runs' counts are the
// lengths of equal-byte stretches, and the remainders are counts of keys
// from the earlier half before them.
#pragma once

#include <cstdint>

#include "codec/array_list.h"
#include "codec/level_writer.h"

constexpr int kLaneSpan = 32;
constexpr int kLanes = 8;
constexpr int kLaneGroup = kLaneSpan * kLanes;

// Codes the 256 bytes at `group` up to level 5: the pair order bits go to
// writers[0] and the merges producing levels 2 to 5 to writers[1] to
// writers[4], span by span in the order of the bytes; the level-5 list of
// span k lands in lists[k].
void code_lane_group(const uint8_t* group, LevelWriter* writers, ArrayList* lists);
